#pragma once

#include "acquisition/measuredData.h"
#include "session/RecoveryCopy.h"
#include "session/SessionContents.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class JournalWriter;

// Keeps the recovery journal of one session while it gathers data, so that a
// crash, a kill or a power cut loses at most about a second of an
// acquisition, however big the session.
//
// The journal begins with the session's state (identity, file name,
// configuration, analysis settings, base level) and then takes every frame
// as it is filed, as the sensor sent it; a state that changes later is
// journaled again (a new base level before the next frame it applies to).
// Filing a frame costs a copy of its bytes into memory; a writer thread puts
// them into the file (see JournalWriter). Replaying the journal (see
// JournalReplay.h) rebuilds the session.
class SessionJournal : public QObject
{
    Q_OBJECT

public:
    // How often a changed configuration or analysis settings are looked for.
    static constexpr int stateCheckMs = 1000;

    // The session as it stands now; called on the owner's thread.
    using Source = std::function<SessionContents()>;

    explicit SessionJournal(Source source, QObject* parent = nullptr);
    // Writes what is pending. The journal stays on disk (only a clean save or
    // close removes it) and the claim on it ends.
    ~SessionJournal() override;

    // Default: RecoveryCopy::defaultFolder(). Applies to journals begun later.
    void setFolder(const QString& folder) { m_folder = folder; }
    // The start of the journals' file names (see RecoveryCopy::claimNew).
    void setNamePattern(const QString& pattern) { m_namePattern = pattern; }

    // Files `frame` into `data`, the session's own data, stamped with the
    // current second, and journals it when it was filed; the first frame
    // begins a journal. Returns whether the frame was filed.
    bool file(measuredData& data, const scanResult& frame);
    // Everything journaled goes to the disk now, without waiting.
    void flush();
    // Blocks until everything journaled is on the disk; false when that
    // failed (or no journal could be begun).
    bool waitForWrite();

    // Continues a journal left by an earlier run, whose session was restored
    // from it.
    void adopt(RecoveryCopy copy);
    // The session is safe elsewhere (saved) or given up (closed, or its data
    // discarded): the journal goes, and the next frame begins a new one.
    void remove();

    // The journal being kept; empty before the first frame.
    QString fileName() const { return m_writer ? m_copy.fileName() : QString(); }

signals:
    // No journal could be begun or written; said once until the problem
    // changes or a write succeeds.
    void journalFailed(const QString& problem);

private:
    bool begin();
    bool beginFile(RecoveryCopy copy, qint64 keepBytes, QString& problem);
    void checkState();
    void rememberState(const SessionContents& contents);
    void journalState(const SessionContents& contents);
    void report(const QString& problem);

    Source m_source;
    QString m_folder;
    QString m_namePattern;
    RecoveryCopy m_copy;
    std::unique_ptr<JournalWriter> m_writer;
    // The session is journaled (a frame was filed, or a journal adopted) and
    // the journal is being kept, or begun again at every state check when it
    // could not be begun.
    bool m_active = false;
    // The state as last journaled: the record without its frames, and the
    // base level, which is checked at every frame.
    QByteArray m_state;
    bool m_baseLevelSet = false;
    BaseLevel m_baseLevel;

    QTimer m_timer;
    QString m_lastProblem;
};
