#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// Appends a journal's records to its file on a thread of its own, so that the
// thread filing frames only copies bytes into memory. What was appended
// reaches the file within `writeInterval` (which a killed process does not
// lose) and the disk within `syncInterval` (fdatasync, which a power cut does
// not lose); a flush asks for both at once.
//
// A write that fails (a full disk) is cut back off the file and tried again
// with what followed it, so the file never holds a torn record before whole
// ones.
class JournalWriter
{
public:
    static constexpr std::chrono::milliseconds writeInterval{200};
    static constexpr std::chrono::milliseconds syncInterval{1000};

    // Opens the journal `fileName` for appending: a new file when `keepBytes`
    // is negative (none may exist under that name), else an existing regular
    // file, cut to `keepBytes` (a torn record at its end goes). None, with the
    // reason in `error`, when that cannot be done.
    static std::unique_ptr<JournalWriter> open(const QString& fileName, qint64 keepBytes, QString& error);

    // Writes and syncs what is pending, then ends the thread.
    ~JournalWriter();

    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void append(const QByteArray& record);
    // Write and sync now, without waiting.
    void flush();
    // Blocks until everything appended so far is on the disk; false when a
    // write or sync failed meanwhile.
    bool waitForSync();
    // Why the last write or sync failed; empty once one succeeded.
    QString problem() const;

private:
    JournalWriter(int fd, qint64 size);
    void run();
    bool writeAll(const QByteArray& bytes, QString& problem);

    const int m_fd;
    qint64 m_fileSize; // bytes of whole records in the file; the thread's own

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    QByteArray m_pending;
    std::uint64_t m_appended = 0; // bytes appended since opening
    std::uint64_t m_synced = 0;   // of which on the disk
    std::uint64_t m_attempts = 0;
    bool m_flushAsked = false;
    bool m_stop = false;
    QString m_problem;

    std::thread m_thread;
};
