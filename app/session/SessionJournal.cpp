#include "session/SessionJournal.h"

#include "session/JournalRecords.h"
#include "session/JournalReplay.h"
#include "session/JournalWriter.h"

SessionJournal::SessionJournal(Source source, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_folder(RecoveryCopy::defaultFolder())
{
    m_timer.setInterval(stateCheckMs);
    connect(&m_timer, &QTimer::timeout, this, &SessionJournal::checkState);
}

// The writer goes first (it is declared after the claim): what is pending is
// written while the file is still claimed.
SessionJournal::~SessionJournal() = default;

bool SessionJournal::file(measuredData& data, const scanResult& frame)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!m_active) {
        m_active = true;
        m_timer.start();
        begin();
    }
    if (!data.add(frame, QDateTime::fromSecsSinceEpoch(now)))
        return false;
    if (m_writer) {
        // The frame was filed under a base level other than the journal's:
        // the new one goes first, so that the replay files it the same way.
        if (data.baseLevelSet != m_baseLevelSet || data.baseLevel != m_baseLevel)
            journalState(m_source());
        m_writer->append(journal::frameRecord(frame, now));
    }
    return true;
}

bool SessionJournal::begin()
{
    QString problem;
    RecoveryCopy copy = RecoveryCopy::claimNew(m_folder, m_namePattern, problem);
    if (!copy.isValid() || !beginFile(std::move(copy), -1, problem)) {
        report(problem);
        return false;
    }
    // Data the session held before its journal began (one could not be
    // begun at once) go along as a session document.
    const SessionContents contents = m_source();
    m_writer->append(journal::magic);
    m_writer->append(journal::stateRecord(contents, true));
    rememberState(contents);
    return true;
}

bool SessionJournal::beginFile(RecoveryCopy copy, qint64 keepBytes, QString& problem)
{
    m_writer = JournalWriter::open(copy.fileName(), keepBytes, problem);
    if (!m_writer) {
        problem = QStringLiteral("\"%1\": %2").arg(copy.fileName(), problem);
        return false;
    }
    m_copy = std::move(copy);
    m_lastProblem.clear();
    return true;
}

void SessionJournal::rememberState(const SessionContents& contents)
{
    m_state = journal::stateRecord(contents, false);
    m_baseLevelSet = contents.data.baseLevelSet;
    m_baseLevel = contents.data.baseLevel;
}

void SessionJournal::journalState(const SessionContents& contents)
{
    rememberState(contents);
    m_writer->append(m_state);
}

void SessionJournal::checkState()
{
    if (!m_active)
        return;
    if (!m_writer) {
        begin();
        return;
    }
    const SessionContents contents = m_source();
    if (journal::stateRecord(contents, false) != m_state)
        journalState(contents);
    const QString problem = m_writer->problem();
    if (problem.isEmpty())
        m_lastProblem.clear();
    else
        report(problem);
}

void SessionJournal::flush()
{
    checkState();
    if (m_writer)
        m_writer->flush();
}

bool SessionJournal::waitForWrite()
{
    checkState();
    if (!m_writer)
        return !m_active;
    if (m_writer->waitForSync())
        return true;
    report(m_writer->problem());
    return false;
}

void SessionJournal::adopt(RecoveryCopy copy)
{
    remove();
    m_active = true;
    m_timer.start();
    // A recovery copy of an earlier version is a whole session file: a
    // journal of the restored session takes its place.
    if (copy.fileName().endsWith(QLatin1String(RecoveryCopy::legacySuffix))) {
        if (begin())
            copy.remove();
        return;
    }
    QString problem;
    const std::optional<JournalScan> scan = scanJournal(copy.fileName(), problem);
    if (!scan || !beginFile(std::move(copy), scan->goodBytes, problem)) {
        report(problem);
        return;
    }
    rememberState(m_source());
}

void SessionJournal::remove()
{
    m_timer.stop();
    m_active = false;
    // Gone first, so that what is still pending is not synced for nothing.
    m_copy.remove();
    m_writer.reset();
    m_state.clear();
    m_lastProblem.clear();
}

void SessionJournal::report(const QString& problem)
{
    if (problem == m_lastProblem)
        return;
    m_lastProblem = problem;
    emit journalFailed(problem);
}
