#include "SimulatedDrivePorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSubfolder = QStringLiteral("orvel-simdrive");
const QString kSuffix = QStringLiteral(".port");

// A device path is far shorter; anything longer is not a registration.
constexpr qint64 longestEntry = 256;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A path to an existing device (not a regular file, not a folder) under /dev/,
// printable and on one line.
bool isDevicePath(const QString& path)
{
    if (!path.startsWith(QLatin1String("/dev/")) || QDir::cleanPath(path) != path)
        return false;
    for (const QChar c : path)
        if (!c.isPrint() || c.isSpace())
            return false;
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

// The path a registration file holds, or empty when it is not a live
// registration of this user: opened without following a link and without
// waiting (a FIFO would otherwise block), checked to be a small regular file
// of ours whose exclusive lock someone holds.
QString registeredPath(const QString& fileName)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString();
    QString path;
    struct stat status{};
    const bool ours = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid()
        && status.st_size > 0 && status.st_size <= longestEntry;
    // A shared lock is granted only when no drive holds its exclusive one.
    const bool held = ours && ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (held) {
        char buffer[longestEntry + 1] = {};
        const ssize_t count = ::pread(fd, buffer, longestEntry, 0);
        if (count > 0)
            path = QString::fromLocal8Bit(buffer, int(count)).trimmed();
    }
    ::close(fd);
    return isDevicePath(path) ? path : QString();
}

} // namespace

namespace SimulatedDrivePorts {

QString folder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QLatin1Char('/') + kSubfolder;
}

QStringList running()
{
    const QString registrations = folder();
    if (registrations.isEmpty())
        return {};
    QStringList ports;
    const QDir dir(registrations);
    const QStringList names = dir.entryList({QLatin1Char('*') + kSuffix}, QDir::Files | QDir::System | QDir::Hidden,
                                            QDir::Name);
    for (const QString& name : names) {
        const QString path = registeredPath(dir.filePath(name));
        if (!path.isEmpty() && !ports.contains(path))
            ports.append(path);
    }
    return ports;
}

} // namespace SimulatedDrivePorts

SimulatedDriveRegistration::SimulatedDriveRegistration(const QString& ptyPath)
{
    const QString registrations = SimulatedDrivePorts::folder();
    if (registrations.isEmpty() || !QDir().mkpath(registrations)) {
        m_error = QStringLiteral("no per-user runtime folder to register in");
        return;
    }
    const QString process = QString::number(QCoreApplication::applicationPid());
    const QString temporary = registrations + QStringLiteral("/.") + process + QStringLiteral(".new");
    const QString finalName = registrations + QLatin1Char('/') + process + kSuffix;
    // Locked before it gets its name, so that no reader ever sees it unlocked.
    const int fd = ::open(QFile::encodeName(temporary).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    const QByteArray line = QFile::encodeName(ptyPath) + '\n';
    const bool written = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::write(fd, line.constData(), size_t(line.size())) == line.size()
        && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(finalName).constData()) == 0;
    if (!written) {
        m_error = systemError();
        if (fd >= 0)
            ::close(fd);
        ::unlink(QFile::encodeName(temporary).constData());
        return;
    }
    m_descriptor = fd;
    m_fileName = finalName;
}

SimulatedDriveRegistration::~SimulatedDriveRegistration()
{
    if (m_descriptor < 0)
        return;
    ::unlink(QFile::encodeName(m_fileName).constData());
    ::close(m_descriptor);
}
