#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class QLockFile;

// One recovery file of a session on disk (the journal "<name>.ldj" in the
// recovery folder) together with the claim of this process on it: a lock file
// beside it ("<name>.ldj.lock") held for as long as the file belongs to a live
// session.
// A copy whose lock is held by another running process belongs to that
// process and is left alone; the lock of a process that died (crash, kill,
// power cut) is stale and is taken over.
//
// Recovery files live in a per-user folder that is always writable, not
// beside the save folder, which may be read-only or on removable media.
class RecoveryCopy
{
public:
    static const char* const suffix;         // ".ldj"
    // Recovery copies of earlier versions, whole session files, are still
    // offered and read.
    static const char* const legacySuffix;   // ".ldf"
    static const char* const lockSuffix;     // ".lock", after the copy's name
    static const char* const asideFolderName; // where unreadable copies are moved
    static const char* const readingSuffix;   // ".reading", after the copy's name

    // The per-user recovery folder: "recovery" in the application's local data
    // folder (e.g. ~/.local/share/Brisvane/Orvel/recovery).
    static QString defaultFolder();

    RecoveryCopy();
    RecoveryCopy(RecoveryCopy&&) noexcept;
    RecoveryCopy& operator=(RecoveryCopy&&) noexcept;
    // Gives up the claim and keeps the file.
    ~RecoveryCopy();

    // Claims a fresh name in `folder` (made when missing) for a copy not yet
    // written. The name begins with the file-name-safe characters of
    // `namePattern`, or "session" when it has none. Invalid, with the reason
    // in `error`, when the folder cannot be made or no name can be claimed.
    static RecoveryCopy claimNew(const QString& folder, const QString& namePattern, QString& error);

    // Claims every copy in `folder` whose owner is no longer running, oldest
    // first. Locks left without a copy (a process that died before its first
    // copy) and unfinished writes of those copies are removed on the way.
    static std::vector<RecoveryCopy> claimOrphans(const QString& folder);

    bool isValid() const { return bool(m_lock); }
    QString fileName() const { return m_fileName; }
    QDateTime lastWritten() const;

    // A marker beside the file says that it is being read until
    // finishedReading(): a read that ends the program (a file that crashes it)
    // leaves the marker, and the claim of the next start sees it.
    void startReading();
    void finishedReading();
    bool crashedWhileReading() const { return m_crashedReading; }

    // Deletes the copy and gives up the claim.
    void remove();
    // Moves the copy into the folder's "unreadable" sub-folder, where it is
    // never offered again, and gives up the claim. Returns where it went, or
    // an empty name when it could only be deleted.
    QString setAside();
    // Gives up the claim; the file stays for the next start.
    void release();

private:
    RecoveryCopy(QString fileName, std::unique_ptr<QLockFile> lock, bool crashedReading = false);
    static std::unique_ptr<QLockFile> tryClaim(const QString& fileName);

    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
    bool m_crashedReading = false;
};
