#include "session/RecoveryCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>

const char* const RecoveryCopy::suffix = ".ldj";
const char* const RecoveryCopy::legacySuffix = ".ldf";
const char* const RecoveryCopy::lockSuffix = ".lock";
const char* const RecoveryCopy::asideFolderName = "unreadable";
const char* const RecoveryCopy::readingSuffix = ".reading";

namespace {

// Names tried before giving up on a folder in which every name is taken.
constexpr int maxNameAttempts = 100;

// Sessions of this process that have claimed a copy so far: part of the name,
// so that two sessions started in the same second never meet.
std::atomic<int> s_claims{0};

QString namePrefix(const QString& pattern)
{
    QString safe = pattern;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
    // A leading dot would hide the copy; dots inside would confuse the copy
    // with its own lock or unfinished writes.
    safe.remove(QLatin1Char('.'));
    return safe.isEmpty() ? QStringLiteral("session") : safe.left(64);
}

// The recovery file a file of the folder belongs to: the file itself, its
// lock, its reading marker, or an unfinished write of a session file beside
// it ("<name>.ldf.XXXXXX"). Empty for other files.
QString owningCopy(const QString& entry)
{
    for (const char* suffix : {RecoveryCopy::suffix, RecoveryCopy::legacySuffix}) {
        const QString ending = QLatin1String(suffix);
        if (entry.endsWith(ending))
            return entry;
        const int at = entry.indexOf(ending + QLatin1Char('.'));
        if (at > 0)
            return entry.left(at + ending.size());
    }
    return QString();
}

void removeLeftovers(QDir folder, const QString& copyName)
{
    const QString lock = copyName + QLatin1String(RecoveryCopy::lockSuffix);
    for (const QString& entry : folder.entryList({copyName + QStringLiteral(".*")}, QDir::Files | QDir::Hidden))
        if (entry != lock)
            folder.remove(entry);
}

} // namespace

QString RecoveryCopy::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/recovery");
}

RecoveryCopy::RecoveryCopy() = default;
RecoveryCopy::RecoveryCopy(RecoveryCopy&&) noexcept = default;
RecoveryCopy& RecoveryCopy::operator=(RecoveryCopy&&) noexcept = default;
RecoveryCopy::~RecoveryCopy() = default;

RecoveryCopy::RecoveryCopy(QString fileName, std::unique_ptr<QLockFile> lock, bool crashedReading)
    : m_fileName(std::move(fileName))
    , m_lock(std::move(lock))
    , m_crashedReading(crashedReading)
{
}

std::unique_ptr<QLockFile> RecoveryCopy::tryClaim(const QString& fileName)
{
    auto lock = std::make_unique<QLockFile>(fileName + QLatin1String(lockSuffix));
    // A session may run for days: only the death of its process makes its
    // lock stale, never the lock's age.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    // The lock file names a process that looks alive, or none: after a power
    // cut it may be empty, or name a process that took the dead one's id. The
    // holder of a lock keeps a system lock on the file, which goes with its
    // process however it ends, and the stale file can be removed only when
    // none is held.
    if (lock->removeStaleLockFile() && lock->tryLock(0))
        return lock;
    return nullptr;
}

RecoveryCopy RecoveryCopy::claimNew(const QString& folder, const QString& namePattern, QString& error)
{
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the recovery folder \"%1\"").arg(folder);
        return {};
    }
    const QString stem = QStringLiteral("%1/%2-%3-%4")
                             .arg(folder, namePrefix(namePattern),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .arg(QCoreApplication::applicationPid());
    for (int attempt = 0; attempt < maxNameAttempts; ++attempt) {
        const QString fileName = QStringLiteral("%1-%2%3").arg(stem).arg(++s_claims).arg(QLatin1String(suffix));
        if (QFileInfo::exists(fileName))
            continue;
        if (auto lock = tryClaim(fileName))
            return RecoveryCopy(fileName, std::move(lock));
    }
    error = QStringLiteral("cannot claim a recovery journal in \"%1\"").arg(folder);
    return {};
}

std::vector<RecoveryCopy> RecoveryCopy::claimOrphans(const QString& folder)
{
    QDir dir(folder);
    QSet<QString> copies;
    const QStringList patterns{QStringLiteral("*%1*").arg(QLatin1String(suffix)),
                               QStringLiteral("*%1*").arg(QLatin1String(legacySuffix))};
    for (const QString& entry : dir.entryList(patterns, QDir::Files | QDir::Hidden)) {
        const QString copy = owningCopy(entry);
        if (!copy.isEmpty())
            copies.insert(copy);
    }
    std::vector<RecoveryCopy> orphans;
    for (const QString& copy : qAsConst(copies)) {
        const QString fileName = dir.filePath(copy);
        auto lock = tryClaim(fileName);
        if (!lock)
            continue; // a running session's
        const bool crashedReading = QFileInfo::exists(fileName + QLatin1String(readingSuffix));
        removeLeftovers(dir, copy);
        if (QFileInfo::exists(fileName))
            orphans.push_back(RecoveryCopy(fileName, std::move(lock), crashedReading));
        // Without a copy the claim ends here, and the lock file with it.
    }
    std::sort(orphans.begin(), orphans.end(), [](const RecoveryCopy& a, const RecoveryCopy& b) {
        return a.lastWritten() < b.lastWritten();
    });
    return orphans;
}

QDateTime RecoveryCopy::lastWritten() const
{
    return QFileInfo(m_fileName).lastModified();
}

void RecoveryCopy::startReading()
{
    QFile marker(m_fileName + QLatin1String(readingSuffix));
    marker.open(QIODevice::WriteOnly);
}

void RecoveryCopy::finishedReading()
{
    QFile::remove(m_fileName + QLatin1String(readingSuffix));
}

void RecoveryCopy::remove()
{
    if (!m_fileName.isEmpty())
        QFile::remove(m_fileName);
    release();
}

QString RecoveryCopy::setAside()
{
    const QFileInfo copy(m_fileName);
    QDir aside(copy.dir().filePath(QLatin1String(asideFolderName)));
    QString target;
    if (aside.mkpath(QStringLiteral("."))) {
        target = aside.filePath(copy.fileName());
        for (int n = 1; QFileInfo::exists(target); ++n)
            target = aside.filePath(QStringLiteral("%1-%2").arg(n).arg(copy.fileName()));
        if (!QFile::rename(m_fileName, target))
            target.clear();
    }
    if (target.isEmpty())
        QFile::remove(m_fileName);
    release();
    return target;
}

void RecoveryCopy::release()
{
    m_lock.reset(); // unlocking removes the lock file
    m_fileName.clear();
}
