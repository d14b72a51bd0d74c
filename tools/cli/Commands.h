#pragma once

#include <QStringList>

// The commands of orvel-cli. Each takes the whole command line (program name
// and command first) and returns the program's exit code.
namespace cli {

int runSensors(const QStringList& arguments);
int runAcquire(const QStringList& arguments);
int runAnalyse(const QStringList& arguments);
int runExport(const QStringList& arguments);
int runRecover(const QStringList& arguments);

} // namespace cli
