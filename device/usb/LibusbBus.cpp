#include "usb/LibusbBus.h"

#include <usb.h>

namespace orvel::device {

namespace {

class LibusbHandle : public UsbHandle
{
public:
    explicit LibusbHandle(usb_dev_handle* handle) : handle_(handle) {}
    ~LibusbHandle() override { usb_close(handle_); }
    LibusbHandle(const LibusbHandle&) = delete;
    LibusbHandle& operator=(const LibusbHandle&) = delete;

    int getStringSimple(int index, char* buffer, std::size_t bufferLength) override
    {
        return usb_get_string_simple(handle_, index, buffer, bufferLength);
    }
    int setConfiguration(int configuration) override { return usb_set_configuration(handle_, configuration); }
    int claimInterface(int interface) override { return usb_claim_interface(handle_, interface); }
    int bulkWrite(int endpoint, const char* bytes, int size, int timeoutMs) override
    {
        return usb_bulk_write(handle_, endpoint, bytes, size, timeoutMs);
    }
    int bulkRead(int endpoint, char* bytes, int size, int timeoutMs) override
    {
        return usb_bulk_read(handle_, endpoint, bytes, size, timeoutMs);
    }

private:
    usb_dev_handle* handle_;
};

} // namespace

LibusbBus::LibusbBus()
{
    static std::once_flag initialised;
    std::call_once(initialised, usb_init);
}

std::vector<struct usb_device*> LibusbBus::findDevices()
{
    std::lock_guard<std::mutex> guard(discoveryLock_);
    usb_find_busses();
    usb_find_devices();
    std::vector<struct usb_device*> devices;
    for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next)
        for (struct usb_device* device = bus->devices; device; device = device->next)
            devices.push_back(device);
    return devices;
}

std::unique_ptr<UsbHandle> LibusbBus::open(struct usb_device* device)
{
    usb_dev_handle* handle = usb_open(device);
    if (!handle)
        return nullptr;
    return std::make_unique<LibusbHandle>(handle);
}

LockTarget LibusbBus::lockTarget(const struct usb_device* device, const std::string&)
{
    return deviceNodeTarget(device);
}

} // namespace orvel::device
