#pragma once

#include <memory>
#include <string>

namespace orvel::device {

// Marks a sensor as in use across processes: an exclusive flock(2) on the file
// "brisvane_" + serial in the user's runtime directory. flock conflicts between
// any two open file descriptions, so a second taker fails even within the
// holding process; the kernel drops the lock when the holder closes it or dies.
class DeviceLock
{
public:
    // Null while anyone holds the lock, or when the lock file cannot be opened.
    static std::unique_ptr<DeviceLock> acquire(const std::string& serial);

    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    explicit DeviceLock(int fd) : fd_(fd) {}
    int fd_;
};

enum class LockState { Free, Held, Inaccessible };

// Tells whether the lock is held without keeping it: a lock file that does not
// exist was never taken; otherwise a shared lock is tried and dropped at once.
// A taker racing with the probe in that instant is refused, as it would be by
// a holder.
LockState probeDeviceLock(const std::string& serial);

// XDG_RUNTIME_DIR when it names an absolute path, else the temporary directory.
std::string lockDirectory();

// "brisvane_" + the serial with every byte outside [A-Za-z0-9._-] written as
// %XX: the untrusted USB string can neither leave the directory nor give the
// file an odd name, and distinct serials keep distinct files.
std::string lockFileName(const std::string& serial);

std::string lockFilePath(const std::string& serial);

} // namespace orvel::device
