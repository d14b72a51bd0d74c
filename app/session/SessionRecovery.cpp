#include "session/SessionRecovery.h"

#include "session/SessionFile.h"

#include <QFile>
#include <QThread>

#include <algorithm>

// Filled on the writing thread, read once it has finished.
struct SessionRecovery::WriteOutcome
{
    bool ok = false;
    QString reason;
};

SessionRecovery::SessionRecovery(Source source, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_folder(RecoveryCopy::defaultFolder())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SessionRecovery::writeWhenDue);
}

SessionRecovery::~SessionRecovery()
{
    joinWrite();
}

int SessionRecovery::currentIntervalMs() const
{
    return int(std::max<qint64>(m_intervalMs, writeShareDivisor * m_lastWriteMs));
}

int SessionRecovery::milestoneDelayMs() const
{
    const qint64 gap = std::max<qint64>(milestoneGapMs, writeShareDivisor * m_lastWriteMs);
    const qint64 since = m_sinceWriteStart.isValid() ? m_sinceWriteStart.elapsed() : gap;
    return int(std::max<qint64>(0, gap - since));
}

void SessionRecovery::schedule(int delayMs)
{
    if (!m_timer.isActive() || m_timer.remainingTime() > delayMs)
        m_timer.start(delayMs);
}

void SessionRecovery::noteChange()
{
    m_dirty = true;
    // A write in progress schedules the next one when it ends.
    if (!m_thread)
        schedule(currentIntervalMs());
}

void SessionRecovery::noteMilestone()
{
    if (!m_dirty)
        return;
    m_milestoneAsked = true;
    if (!m_thread)
        schedule(milestoneDelayMs());
}

void SessionRecovery::flush()
{
    if (!m_dirty)
        return;
    m_flushAsked = true;
    if (!m_thread)
        startWrite();
}

void SessionRecovery::writeWhenDue()
{
    if (m_dirty && !m_thread)
        startWrite();
}

void SessionRecovery::startWrite()
{
    m_timer.stop();
    if (!m_copy.isValid()) {
        QString problem;
        m_copy = RecoveryCopy::claimNew(m_folder, m_namePattern, problem);
        if (!m_copy.isValid()) {
            report(problem);
            m_lastWriteOk = false;
            schedule(currentIntervalMs());
            return;
        }
    }
    SessionContents contents = m_source();
    m_dirty = false;
    m_flushAsked = false;
    m_milestoneAsked = false;
    m_sinceWriteStart.start();

    auto outcome = std::make_shared<WriteOutcome>();
    m_outcome = outcome;
    const QString target = m_copy.fileName();
    m_thread.reset(QThread::create([target, outcome, contents = std::move(contents)]() mutable {
        outcome->ok = saveSessionFile(target, contents.data, contents.config, contents.settings, outcome->reason)
                      == SessionSave::Saved;
        // The data go on this thread, not on the owner's.
        contents = SessionContents();
    }));
    const int generation = ++m_generation;
    connect(m_thread.get(), &QThread::finished, this, [this, generation] {
        // A write that waitForWrite() has already finished is not finished twice.
        if (generation == m_generation && m_thread)
            finishWrite(true);
    });
    m_thread->start(QThread::LowPriority);
}

void SessionRecovery::finishWrite(bool reschedule)
{
    m_thread->wait();
    m_thread.reset();
    m_lastWriteMs = m_sinceWriteStart.elapsed();
    m_lastWriteOk = m_outcome->ok;
    if (m_lastWriteOk) {
        m_lastProblem.clear();
        emit copyWritten(m_copy.fileName());
    } else {
        // The copy on disk is the one before, or none: it still lacks this.
        m_dirty = true;
        report(QStringLiteral("cannot write \"%1\": %2").arg(m_copy.fileName(), m_outcome->reason));
    }
    m_outcome.reset();
    if (!reschedule || !m_dirty)
        return;
    if (m_flushAsked && m_lastWriteOk)
        startWrite();
    else if (m_milestoneAsked)
        schedule(milestoneDelayMs());
    else
        schedule(currentIntervalMs());
}

void SessionRecovery::joinWrite()
{
    if (m_thread)
        finishWrite(false);
}

bool SessionRecovery::waitForWrite()
{
    // A flush asked during the write starts another one when it ends.
    while (m_thread)
        finishWrite(true);
    return m_lastWriteOk;
}

void SessionRecovery::adopt(RecoveryCopy copy)
{
    remove();
    m_copy = std::move(copy);
}

void SessionRecovery::remove()
{
    joinWrite();
    m_timer.stop();
    m_dirty = false;
    m_flushAsked = false;
    m_milestoneAsked = false;
    m_copy.remove();
}

void SessionRecovery::report(const QString& problem)
{
    if (problem == m_lastProblem)
        return;
    m_lastProblem = problem;
    emit copyFailed(problem);
}

bool SessionRecovery::readCopy(const QString& fileName, SessionContents& contents, QString& error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = file.errorString();
        return false;
    }
    return readSession(file, contents.data, contents.config, contents.settings, &error);
}
