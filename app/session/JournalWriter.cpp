#include "session/JournalWriter.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

std::unique_ptr<JournalWriter> JournalWriter::open(const QString& fileName, qint64 keepBytes, QString& error)
{
    // Never through a link, never blocking on a FIFO, never onto anything but
    // a regular file.
    int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (keepBytes < 0)
        flags |= O_CREAT | O_EXCL;
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), flags, 0600);
    if (fd < 0) {
        error = systemError("cannot open the journal", errno);
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = QStringLiteral("the journal is not a regular file");
        ::close(fd);
        return nullptr;
    }
    const qint64 size = keepBytes < 0 ? 0 : keepBytes;
    if (keepBytes >= 0 && info.st_size != keepBytes && ::ftruncate(fd, keepBytes) != 0) {
        error = systemError("cannot cut the journal's torn end", errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<JournalWriter>(new JournalWriter(fd, size));
}

JournalWriter::JournalWriter(int fd, qint64 size)
    : m_fd(fd)
    , m_fileSize(size)
    , m_thread([this] { run(); })
{
}

JournalWriter::~JournalWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    ::close(m_fd);
}

void JournalWriter::append(const QByteArray& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.append(record);
    m_appended += std::uint64_t(record.size());
}

void JournalWriter::flush()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_flushAsked = true;
    }
    m_wake.notify_one();
}

bool JournalWriter::waitForSync()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t target = m_appended;
    // The attempt under way may have begun before this request; the one
    // after it has the flush in hand.
    const std::uint64_t decisive = m_attempts + 2;
    m_flushAsked = true;
    m_wake.notify_one();
    m_done.wait(lock, [&] { return m_synced >= target || (m_attempts >= decisive && !m_problem.isEmpty()); });
    return m_synced >= target;
}

QString JournalWriter::problem() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_problem;
}

bool JournalWriter::writeAll(const QByteArray& bytes, QString& problem)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem = systemError("cannot write the journal", n < 0 ? errno : ENOSPC);
            // What went out of this chunk is a torn record: cut it off.
            if (::ftruncate(m_fd, m_fileSize) != 0)
                problem += QStringLiteral("; ") + systemError("cannot cut it back", errno);
            return false;
        }
        done += n;
    }
    m_fileSize += done;
    return true;
}

void JournalWriter::run()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSync = Clock::now();
    std::uint64_t written = m_synced;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, writeInterval, [this] { return m_stop || m_flushAsked; });
        const bool urgent = m_stop || m_flushAsked;
        m_flushAsked = false;
        const bool stopping = m_stop;
        QByteArray chunk;
        chunk.swap(m_pending);
        const std::uint64_t upTo = m_appended;
        lock.unlock();

        QString problem;
        const bool wrote = chunk.isEmpty() || writeAll(chunk, problem);
        if (wrote)
            written = upTo;
        bool synced = false;
        if (wrote && written > m_synced && (urgent || Clock::now() - lastSync >= syncInterval)) {
            synced = ::fdatasync(m_fd) == 0;
            if (synced)
                lastSync = Clock::now();
            else
                problem = systemError("cannot sync the journal", errno);
        }

        lock.lock();
        if (!wrote)
            m_pending.prepend(chunk);
        if (synced)
            m_synced = written;
        m_problem = problem;
        ++m_attempts;
        m_done.notify_all();
        if (stopping)
            return;
    }
}
