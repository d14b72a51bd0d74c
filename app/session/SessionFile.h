#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>

class ConfigParam;
class LangmuirSettings;
class measuredData;
class QIODevice;

// The session file (".ldf"): one XML document holding a session's data
// together with the scan configuration and analysis settings it was taken and
// analysed with. The session window owns the configuration and the settings,
// so both travel beside the data.

// The frames a save has written so far, for a thread watching it.
using FramesWritten = std::atomic<int>;

// Writes the session to an open device, stamping the header with `savedAt`
// (the current local time when not given). Sets data.fileName to the device's
// file name when the device is a file. Counts every frame written in
// `written` when given. Returns false when the device refused part of the
// document; the caller also checks the device after closing it.
bool writeSession(QIODevice& device, measuredData& data, const ConfigParam& config,
                  const LangmuirSettings& settings, const QDateTime& savedAt = QDateTime::currentDateTime(),
                  FramesWritten* written = nullptr);

// How saving a session file ended.
enum class SessionSave { Saved, NotOpened, NotWritten };

// Saves the session to the file `target`. The document is written beside the
// target and renamed over it only when complete, so that a failed or
// interrupted save leaves an earlier file as it was. On failure `reason` holds
// the system's explanation, data.fileName keeps its previous value, and the
// outcome tells whether the file could not be created at all or could not be
// written in full.
SessionSave saveSessionFile(const QString& target, measuredData& data, const ConfigParam& config,
                            const LangmuirSettings& settings, QString& reason, FramesWritten* written = nullptr);

// Reads a session document from an open device. On success replaces the
// device ID, comment, positions and file name of `data` (its base level stays),
// sets `config` and `settings` from their blocks, rebuilds each position's
// averages, and returns true; `warnings` then lists what was read otherwise
// than the file says (an analysis setting outside its range replaced by its
// default, averages left out for lack of memory). A document that is not a
// complete session file, or whose data would take far more memory than its
// size can justify, changes nothing and returns false, with the reason in
// `error` when given.
bool readSession(QIODevice& device, measuredData& data, ConfigParam& config, LangmuirSettings& settings,
                 QString* error = nullptr, QStringList* warnings = nullptr);
