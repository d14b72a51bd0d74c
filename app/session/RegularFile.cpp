#include "session/RegularFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOfFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO (named pipe)");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

QString notRegularText(mode_t mode)
{
    return QStringLiteral("it is %1, not a regular file").arg(kindOfFile(mode));
}

int openFlags(QIODevice::OpenMode mode)
{
    // Without O_NONBLOCK, opening a FIFO waits for its other end.
    const int common = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (mode & QIODevice::WriteOnly)
        return O_WRONLY | O_CREAT | O_APPEND | common;
    return O_RDONLY | common;
}

} // namespace

bool openRegularFile(QFile& file, QIODevice::OpenMode mode, QString& error)
{
    error.clear();
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), openFlags(mode), 0666);
    if (fd < 0) {
        error = qt_error_string(errno);
        return false;
    }
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        error = qt_error_string(errno);
    else if (!S_ISREG(status.st_mode))
        error = notRegularText(status.st_mode);
    if (!error.isEmpty()) {
        ::close(fd);
        return false;
    }
    // A regular file never blocks; reads go on as usual from here.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

QString saveTargetProblem(const QString& path)
{
    // The saved file replaces the file a symbolic link points to, as the
    // toolkit's atomic save does: judge that file.
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return S_ISREG(status.st_mode) ? QString() : notRegularText(status.st_mode);
    return errno == ENOENT ? QString() : qt_error_string(errno);
}

bool openSaveFile(QSaveFile& file, QIODevice::OpenMode mode, QString& error)
{
    error = saveTargetProblem(file.fileName());
    if (!error.isEmpty())
        return false;
    if (file.open(mode))
        return true;
    error = file.errorString();
    return false;
}

QString writeFailure(const QFileDevice& file, int writeErrno)
{
    // A device whose write came up short may carry an error whose text is
    // only the toolkit's "Unknown error": errno knows better then.
    if (file.error() != QFileDevice::NoError && file.errorString() != QLatin1String("Unknown error"))
        return file.errorString();
    return qt_error_string(writeErrno ? writeErrno : EIO);
}
