#pragma once

#include <QStringList>

class ConfigParam;
class LangmuirSettings;
class QFile;
class QWidget;
class measuredData;

// How a session read in the background ended.
enum class BackgroundRead { Read, Refused, Cancelled };

// Reads the session file `file` (open for reading) as readSession does, on a
// thread of its own, while the window goes on drawing itself. A read that
// takes longer than a moment shows a progress dialog over `parent`, whose
// Cancel gives the read up. The session's data, configuration and settings
// are handed over only when the read is complete (data.fileName becomes the
// file's name, `warnings` what was read otherwise than the file says);
// refused or cancelled, they stay as they were. Returns when the read ended.
BackgroundRead readSessionInBackground(QWidget* parent, QFile& file, measuredData& data, ConfigParam& config,
                                       LangmuirSettings& settings, QStringList& warnings);
