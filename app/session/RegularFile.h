#pragma once

#include <QIODevice>
#include <QString>

class QFile;
class QFileDevice;
class QSaveFile;

// Files the program reads and replaces are regular files, and nothing else:
// a FIFO would block a reader forever, a device node must never be replaced
// by a saved file. Every reader and writer of files named from outside goes
// through these.

// Opens `file` (its name set) with `mode` (ReadOnly, optionally Text; or
// WriteOnly | Append, creating the file) without ever blocking, and only when
// it is a regular file. Otherwise false, with the reason in `error` (the
// system's text, or what kind of file it is).
bool openRegularFile(QFile& file, QIODevice::OpenMode mode, QString& error);

// Why a saved file cannot be put at `path`: empty when the path names a
// regular file or nothing yet; otherwise the kind of file that is there, or
// the system's reason the name cannot be used (too long, a folder missing).
QString saveTargetProblem(const QString& path);

// Opens `file` (its name set) with `mode` once saveTargetProblem has found
// nothing to object to. False with the reason in `error` otherwise.
bool openSaveFile(QSaveFile& file, QIODevice::OpenMode mode, QString& error);

// Why writing to `file` failed: its own error text when it has one, else the
// system's text for `writeErrno` (a short write on a full disk sets errno
// without an error on the device); an input/output error when neither tells.
QString writeFailure(const QFileDevice& file, int writeErrno);
