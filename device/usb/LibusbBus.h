#pragma once

#include "usb/UsbBus.h"

#include <mutex>

namespace orvel::device {

// The production side of the seam: the libusb-0.1 calls, nothing else.
class LibusbBus : public UsbBus
{
public:
    LibusbBus();
    std::vector<struct usb_device*> findDevices() override;
    std::unique_ptr<UsbHandle> open(struct usb_device* device) override;
    // The device's own node, which every user of the sensor opens.
    LockTarget lockTarget(const struct usb_device* device, const std::string& serial) override;

private:
    // libusb-0.1 rebuilds its global device lists during discovery.
    std::mutex discoveryLock_;
};

} // namespace orvel::device
