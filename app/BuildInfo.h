#pragma once

#include <QString>

// The program's version and the description of the build that produced it,
// shared by the log banner and the about box.
namespace BuildInfo {

constexpr int versionMajor = 1;
constexpr int versionMinor = 5;
constexpr int versionPatch = 0;
constexpr int buildNumber = 1030;

// "1.5.0"
QString versionNumber();

// "1.5.0 (Build 1030)"
QString versionText();

// Names the organisation ("Brisvane") and the application ("Orvel"), which
// selects the settings store, and registers the version number. The window and
// the command-line tool both call it, so they share one settings store and
// their exports carry the same header.
void registerApplication();

// One line naming the toolkit version, the compiler and the build date and time.
QString description();

} // namespace BuildInfo
