#include "lock/DeviceLock.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvel::device {

namespace {

bool keptAsIs(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
        || c == '-';
}

// Symbolic links are refused so that a lock file planted in a shared
// temporary directory cannot redirect us to another file.
constexpr int lockFileFlags = O_CLOEXEC | O_NOFOLLOW;

} // namespace

std::string lockDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : temp.string();
}

std::string lockFileName(const std::string& serial)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string name = "brisvane_";
    for (const unsigned char c : serial) {
        if (keptAsIs(c)) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += hex[c >> 4];
            name += hex[c & 0x0F];
        }
    }
    return name;
}

std::string lockFilePath(const std::string& serial)
{
    return (std::filesystem::path(lockDirectory()) / lockFileName(serial)).string();
}

std::unique_ptr<DeviceLock> DeviceLock::acquire(const std::string& serial)
{
    const int fd = ::open(lockFilePath(serial).c_str(), O_RDWR | O_CREAT | lockFileFlags, 0600);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DeviceLock>(new DeviceLock(fd));
}

DeviceLock::~DeviceLock()
{
    // Lock files are left in place: removing one would let a taker lock an
    // unlinked file while another creates a fresh one under the same name.
    ::close(fd_);
}

LockState probeDeviceLock(const std::string& serial)
{
    const int fd = ::open(lockFilePath(serial).c_str(), O_RDONLY | lockFileFlags);
    if (fd < 0)
        return errno == ENOENT ? LockState::Free : LockState::Inaccessible;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd); // drops the shared lock too
    return held ? LockState::Held : LockState::Free;
}

} // namespace orvel::device
