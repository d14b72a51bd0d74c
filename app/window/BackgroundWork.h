#pragma once

#include <QStringList>

#include <functional>

class ConfigParam;
class LangmuirSettings;
class QFile;
class QWidget;
class measuredData;

// Runs `work` on a thread of its own while the window goes on drawing itself,
// and returns once it has returned. Until a moment has passed the window
// takes no input, so that nothing can start meanwhile; longer work shows a
// progress dialog over `parent` with `label` and the share of the work done
// that `done` tells (0 to 1, asked from this thread). With `cancel` given,
// the dialog's Cancel calls it (on this thread), and `work` should end soon.
void runWithProgress(QWidget* parent, const QString& label, const std::function<void()>& work,
                     const std::function<double()>& done, const std::function<void()>& cancel = {});

// How a session read in the background ended.
enum class BackgroundRead { Read, Refused, Cancelled };

// Reads the session file `file` (open for reading) as readSession does, with
// runWithProgress; its Cancel gives the read up. The session's data,
// configuration and settings are handed over only when the read is complete
// (data.fileName becomes the file's name, `warnings` what was read otherwise
// than the file says); refused or cancelled, they stay as they were.
BackgroundRead readSessionInBackground(QWidget* parent, QFile& file, measuredData& data, ConfigParam& config,
                                       LangmuirSettings& settings, QStringList& warnings);
