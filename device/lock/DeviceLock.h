#pragma once

#include <memory>
#include <string>

struct usb_device;

namespace orvel::device {

// The file whose lock marks one sensor as in use, machine-wide.
//
// A real sensor is locked on its own USB device node (/dev/bus/usb/BBB/DDD):
// every process of every user and every login session that can use the
// sensor opens that same node, so they all meet the same lock; nobody else
// can open it, and nobody can put anything in its place, so no other user can
// deny the sensor or hang its users. A simulated sensor exists only inside
// the process that simulates it: its lock is a file "brisvane_<serial>" in a
// folder of this user's alone (see privateLockDirectory()), which keeps the
// processes of one user from sharing one simulated serial.
struct LockTarget
{
    std::string path;        // empty when there is nothing to lock; `problem` says why
    bool deviceNode = false; // a character device that must exist, else a lock file created when missing
    std::string problem;
};

enum class LockState { Free, Held, Inaccessible };

// An exclusive flock(2) on the target: flock conflicts between any two open
// file descriptions, so a second taker fails even within the holding
// process; the kernel drops the lock when the holder closes it or dies, so
// lock files never need to be removed. Opened without blocking and checked
// for its kind, so a FIFO or a planted link is refused, never waited on.
class DeviceLock
{
public:
    // Null while anyone holds the lock, or when it cannot be taken; then
    // `problem` (when given) says which.
    static std::unique_ptr<DeviceLock> acquire(const LockTarget& target, std::string* problem = nullptr);

    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    explicit DeviceLock(int fd) : fd_(fd) {}
    int fd_;
};

// What acquire() would meet now, found by the same open without keeping the
// lock: a lock file that does not exist yet was never taken; otherwise a
// shared lock is tried and dropped at once (a taker racing with the probe in
// that instant is refused, as it would be by a holder). `problem` (when
// given) says why the state is not Free.
LockState probeDeviceLock(const LockTarget& target, std::string* problem = nullptr);

// The USB device node through which libusb-0.1 reaches `device`: BBB/DDD
// (the bus's dirname and the device's filename) under USB_DEVFS_PATH,
// /dev/bus/usb or /proc/bus/usb, the first where it exists.
LockTarget deviceNodeTarget(const struct usb_device* device);

// The lock file of the simulated sensor `serial` in privateLockDirectory().
LockTarget lockFileTarget(const std::string& serial);

// A folder only this user can write to: XDG_RUNTIME_DIR when it names one,
// else "orvel-<uid>" in the temporary directory, created with mode 0700. A
// folder that is not a directory of this user's, or that others may write
// to, is not used: empty then, with the reason in `problem`.
std::string privateLockDirectory(std::string& problem);

// "brisvane_" + the serial with every byte outside [A-Za-z0-9._-] written as
// %XX: the untrusted USB string can neither leave the directory nor give the
// file an odd name, and distinct serials keep distinct files.
std::string lockFileName(const std::string& serial);

} // namespace orvel::device
