#pragma once

#include <QString>

#include <optional>

class RecoveryCopy;
struct SessionContents;

// Reading a recovery journal back: the session it describes is rebuilt by
// filing its frames, in their order and with their filing times, through the
// data model under the state (base level above all) in force when each was
// filed. The data model is deterministic, so the result is the session that
// was journaled. A journal cut off inside a record gives every record before
// the cut.

// Replays the journal `fileName` into `contents` (which should be empty).
// False with the reason in `error` when the file cannot be read or does not
// begin with a session state. `goodBytes`, when given, receives the length of
// the journal up to the end of its last whole record.
bool replayJournal(const QString& fileName, SessionContents& contents, QString& error, qint64* goodBytes = nullptr);

struct JournalScan
{
    int frames = 0;       // frame records
    qint64 goodBytes = 0; // up to the end of the last whole record
};

// What a journal holds, found without replaying it; none, with the reason in
// `error`, when it cannot be read or does not begin with a session state.
std::optional<JournalScan> scanJournal(const QString& fileName, QString& error);

// The frames a recovery file holds (a journal's counted without replaying
// it); none, with the reason in `error`, when it cannot be read.
std::optional<int> recoveryFileFrames(const QString& fileName, QString& error);

// Reads what a recovery file holds into `contents`: a journal, or a recovery
// copy (a whole session file) left by an earlier version of the program.
bool readRecoveryFile(const QString& fileName, SessionContents& contents, QString& error);

// The same for a claimed recovery file, refused when reading it ended the
// program before (so that a file which crashes the reader is set aside, not
// offered at every start).
bool readRecoveryFile(RecoveryCopy& copy, SessionContents& contents, QString& error);
