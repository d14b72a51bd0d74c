#pragma once

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/RecoveryCopy.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QThread;

// What a session file holds: the data with the configuration and analysis
// settings they were taken and analysed with.
struct SessionContents
{
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
};

// Keeps a recovery copy of one session on disk while it gathers data, so that
// a crash or a power cut loses at most the last few seconds of an acquisition.
//
// The owner reports changes; the copy follows within the write interval while
// changes keep coming, soon after a completed scan group, and at once when
// asked (at the end of a scan). Nothing is written while nothing changed.
//
// A copy is written as a session file, atomically (the previous copy stays
// whole until the new one is complete), on a thread of its own: the session's
// data are implicitly shared, so taking them costs the caller next to nothing
// however big the session, and the caller's thread never waits for the disk.
// A big session whose copy takes long is copied less often: the pause after a
// write lasts at least `writeShareDivisor` times the write.
class SessionRecovery : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultIntervalMs = 5000;
    // Shortest pause between a copy and the one that follows a completed
    // scan group.
    static constexpr int milestoneGapMs = 1000;
    static constexpr int writeShareDivisor = 10;

    // The session as it stands now; called on the owner's thread.
    using Source = std::function<SessionContents()>;

    explicit SessionRecovery(Source source, QObject* parent = nullptr);
    // Waits for a write in progress. The copy stays on disk (only a clean
    // save or close removes it) and the claim on it ends.
    ~SessionRecovery() override;

    // Default: RecoveryCopy::defaultFolder(). Applies to copies claimed later.
    void setFolder(const QString& folder) { m_folder = folder; }
    // The start of the copies' file names (see RecoveryCopy::claimNew).
    void setNamePattern(const QString& pattern) { m_namePattern = pattern; }
    void setInterval(int ms) { m_intervalMs = ms; }

    // The session changed: a copy follows within the interval.
    void noteChange();
    // A scan group is complete: a copy follows soon.
    void noteMilestone();
    // A copy now, if anything changed since the last one.
    void flush();
    // Blocks until no write is in progress, including one a flush asked for
    // meanwhile; false when the last one failed.
    bool waitForWrite();

    // Continues with a copy left by an earlier run (a restored session).
    void adopt(RecoveryCopy copy);
    // The session is safe elsewhere (saved) or given up (closed): the copy
    // goes, and changes from now on start a new one.
    void remove();

    // The copy being kept; empty before the first write.
    QString fileName() const { return m_copy.fileName(); }
    bool hasPendingChanges() const { return m_dirty; }
    // The pause after a write as it stands now, in milliseconds.
    int currentIntervalMs() const;

    // Reads a recovery copy (or any session file) into `contents`; false with
    // the reason in `error` when it cannot be opened or is not a complete
    // session file.
    static bool readCopy(const QString& fileName, SessionContents& contents, QString& error);

signals:
    void copyWritten(const QString& fileName);
    // No copy could be claimed or written; said once until the problem
    // changes or a copy succeeds.
    void copyFailed(const QString& problem);

private:
    struct WriteOutcome;

    void schedule(int delayMs);
    void writeWhenDue();
    void startWrite();
    void finishWrite(bool reschedule);
    void joinWrite();
    int milestoneDelayMs() const;
    void report(const QString& problem);

    Source m_source;
    QString m_folder;
    QString m_namePattern;
    int m_intervalMs = defaultIntervalMs;
    RecoveryCopy m_copy;

    QTimer m_timer;
    bool m_dirty = false;
    bool m_flushAsked = false;
    bool m_milestoneAsked = false;
    QString m_lastProblem;

    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<WriteOutcome> m_outcome;
    int m_generation = 0;
    QElapsedTimer m_sinceWriteStart;
    qint64 m_lastWriteMs = 0;
    bool m_lastWriteOk = true;
};
