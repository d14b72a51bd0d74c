#include "lock/DeviceLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <usb.h>

namespace orvel::device {

namespace {

bool keptAsIs(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
        || c == '-';
}

void say(std::string* problem, const std::string& text)
{
    if (problem)
        *problem = text;
}

std::string systemText(int error)
{
    return std::strerror(error);
}

// A folder of this user's that nobody else may write to (a planted folder of
// another user, or a shared one, could be emptied or filled under us).
bool isPrivateFolder(const std::string& path, std::string& problem)
{
    struct stat status{};
    if (::lstat(path.c_str(), &status) != 0) {
        problem = "the lock folder " + path + " cannot be used: " + systemText(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem = "the lock folder " + path + " is not a folder of this user's alone";
        return false;
    }
    return true;
}

// Opens the target for its lock without blocking (a FIFO would wait for a
// writer) and without following a link at its name. -1 when it cannot, with
// the reason in `problem`; `missing` tells that a lock file does not exist yet.
int openTarget(const LockTarget& target, bool create, std::string& problem, bool* missing = nullptr)
{
    if (target.path.empty()) {
        problem = target.problem;
        return -1;
    }
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    if (create && !target.deviceNode)
        flags |= O_CREAT;
    const int fd = ::open(target.path.c_str(), flags, 0600);
    if (fd < 0) {
        if (missing)
            *missing = errno == ENOENT && !target.deviceNode;
        problem = "the lock " + target.path + " cannot be opened: " + systemText(errno);
        return -1;
    }
    struct stat status{};
    const bool rightKind = ::fstat(fd, &status) == 0
                           && (target.deviceNode ? S_ISCHR(status.st_mode) : S_ISREG(status.st_mode));
    if (!rightKind) {
        problem = "the lock " + target.path + (target.deviceNode ? " is not a device node" : " is not a regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

const char* const heldText = "in use by another program";

} // namespace

std::string privateLockDirectory(std::string& problem)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string ignored;
    if (runtime && runtime[0] == '/' && isPrivateFolder(runtime, ignored))
        return runtime;
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    const std::string folder = (error ? std::string("/tmp") : temp.string()) + "/orvel-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "the lock folder " + folder + " cannot be created: " + systemText(errno);
        return std::string();
    }
    return isPrivateFolder(folder, problem) ? folder : std::string();
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

LockTarget lockFileTarget(const std::string& serial)
{
    LockTarget target;
    const std::string folder = privateLockDirectory(target.problem);
    if (!folder.empty())
        target.path = folder + "/" + lockFileName(serial);
    return target;
}

LockTarget deviceNodeTarget(const struct usb_device* device)
{
    LockTarget target;
    target.deviceNode = true;
    if (!device || !device->bus) {
        target.problem = "the device has no bus record";
        return target;
    }
    const std::string relative = std::string("/") + device->bus->dirname + "/" + device->filename;
    const char* configured = std::getenv("USB_DEVFS_PATH");
    for (const char* root : {configured, "/dev/bus/usb", "/proc/bus/usb"}) {
        if (!root || !*root)
            continue;
        const std::string path = root + relative;
        if (::access(path.c_str(), F_OK) == 0) {
            target.path = path;
            return target;
        }
    }
    target.problem = "no device node found for USB device " + relative.substr(1);
    return target;
}

std::unique_ptr<DeviceLock> DeviceLock::acquire(const LockTarget& target, std::string* problem)
{
    std::string reason;
    const int fd = openTarget(target, true, reason);
    if (fd < 0) {
        say(problem, reason);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        say(problem, heldText);
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

LockState probeDeviceLock(const LockTarget& target, std::string* problem)
{
    std::string reason;
    bool missing = false;
    const int fd = openTarget(target, false, reason, &missing);
    if (fd < 0) {
        if (missing)
            return LockState::Free;
        say(problem, reason);
        return LockState::Inaccessible;
    }
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd); // drops the shared lock too
    if (held)
        say(problem, heldText);
    return held ? LockState::Held : LockState::Free;
}

} // namespace orvel::device
