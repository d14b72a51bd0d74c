#pragma once

#include "lock/DeviceLock.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct usb_device;

namespace orvel::device {

// Endpoints and timeouts of the sensor link.
constexpr int commandEndpoint = 0x01;
constexpr int replyEndpoint = 0x81;
constexpr int commandTimeoutMs = 100;
constexpr int readRequestSize = 512;

// One open device. The operations mirror libusb-0.1: negative results are
// negative errno values, a read timeout is -ETIMEDOUT. Destroying the handle
// closes the device.
class UsbHandle
{
public:
    virtual ~UsbHandle() = default;
    virtual int getStringSimple(int index, char* buffer, std::size_t bufferLength) = 0;
    virtual int setConfiguration(int configuration) = 0;
    virtual int claimInterface(int interface) = 0;
    virtual int bulkWrite(int endpoint, const char* bytes, int size, int timeoutMs) = 0;
    virtual int bulkRead(int endpoint, char* bytes, int size, int timeoutMs) = 0;
};

// All bus access of the device library goes through this seam: the libusb-0.1
// side for real sensors, the simulated bus for tests, demos and replays.
class UsbBus
{
public:
    virtual ~UsbBus() = default;
    // Rescans the buses and returns every device of every bus, in list order.
    virtual std::vector<struct usb_device*> findDevices() = 0;
    // Null when the device cannot be opened.
    virtual std::unique_ptr<UsbHandle> open(struct usb_device* device) = 0;
    // What the lock of the sensor on `device`, whose serial is `serial`, is
    // taken on (see DeviceLock.h).
    virtual LockTarget lockTarget(const struct usb_device* device, const std::string& serial) = 0;
};

// The bus in use: the one installed last, otherwise chosen once from the
// environment (ORVEL_SIMULATED_SENSOR set and not empty selects the simulated bus).
std::shared_ptr<UsbBus> currentBus();

// Replaces the bus in use (tests and tools that script their own bus).
void installBus(std::shared_ptr<UsbBus> bus);

// The bus that a value of ORVEL_SIMULATED_SENSOR selects; an empty value
// selects the libusb-0.1 bus.
std::shared_ptr<UsbBus> busForSetting(const std::string& setting);

} // namespace orvel::device
