#include "usb/SimulatedBus.h"

#include "usb/PlasmaSensor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvel::device {

namespace {

class SimulatedHandle : public UsbHandle
{
public:
    explicit SimulatedHandle(std::shared_ptr<SimulatedDevice> device) : device_(std::move(device)) {}

    int getStringSimple(int index, char* buffer, std::size_t bufferLength) override
    {
        return device_->stringDescriptor(index, buffer, bufferLength);
    }
    int setConfiguration(int configuration) override { return device_->setConfiguration(configuration); }
    int claimInterface(int interface) override { return device_->claimInterface(interface); }
    int bulkWrite(int endpoint, const char* bytes, int size, int /*timeoutMs*/) override
    {
        return device_->write(endpoint, bytes, size);
    }
    int bulkRead(int endpoint, char* bytes, int size, int timeoutMs) override
    {
        return device_->read(endpoint, bytes, size, timeoutMs);
    }

private:
    std::shared_ptr<SimulatedDevice> device_;
};

} // namespace

SimulatedDevice::SimulatedDevice(std::string serial, std::shared_ptr<SimulatedSensor> sensor, usb_bus* bus, int number)
    : serial_(std::move(serial)), sensor_(std::move(sensor))
{
    std::snprintf(record_.filename, sizeof record_.filename, "%03d", number);
    record_.bus = bus;
    record_.devnum = static_cast<std::uint8_t>(number);
    record_.descriptor.bLength = USB_DT_DEVICE_SIZE;
    record_.descriptor.bDescriptorType = USB_DT_DEVICE;
    record_.descriptor.bNumConfigurations = 1;
    // A device without a serial string has no serial descriptor at all.
    record_.descriptor.iSerialNumber = serial_.empty() ? 0 : serialIndex;
}

void SimulatedDevice::failOpen(bool fail)
{
    std::lock_guard<std::mutex> guard(mutex_);
    failOpen_ = fail;
}

void SimulatedDevice::failConfiguration(bool fail)
{
    std::lock_guard<std::mutex> guard(mutex_);
    failConfiguration_ = fail;
}

void SimulatedDevice::failClaim(bool fail)
{
    std::lock_guard<std::mutex> guard(mutex_);
    failClaim_ = fail;
}

void SimulatedDevice::failWrites(bool fail)
{
    std::lock_guard<std::mutex> guard(mutex_);
    failWrites_ = fail;
}

void SimulatedDevice::injectReadFault(ReadFault fault, std::size_t afterBytes)
{
    std::lock_guard<std::mutex> guard(mutex_);
    readFaults_.push_back({fault, afterBytes});
}

void SimulatedDevice::setReadSizes(std::vector<int> sizes)
{
    std::lock_guard<std::mutex> guard(mutex_);
    readSizes_ = std::move(sizes);
    nextReadSize_ = 0;
}

void SimulatedDevice::disconnectAfter(std::size_t bytes)
{
    std::lock_guard<std::mutex> guard(mutex_);
    bytesBeforeDisconnection_ = bytes;
}

void SimulatedDevice::disconnect()
{
    std::lock_guard<std::mutex> guard(mutex_);
    connected_ = false;
}

bool SimulatedDevice::isConnected() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return present();
}

bool SimulatedDevice::present() const
{
    return connected_ && sensor_->attached();
}

bool SimulatedDevice::opens() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return present() && !failOpen_;
}

int SimulatedDevice::stringDescriptor(int index, char* buffer, std::size_t bufferLength) const
{
    if (!isConnected())
        return -ENODEV;
    if (index != serialIndex || serial_.empty() || bufferLength == 0)
        return -EPIPE; // the device stalls a request for a string it does not have
    const std::size_t count = std::min(serial_.size(), bufferLength - 1);
    std::memcpy(buffer, serial_.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

int SimulatedDevice::setConfiguration(int configuration) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (!present())
        return -ENODEV;
    return failConfiguration_ || configuration != 1 ? -EIO : 0;
}

int SimulatedDevice::claimInterface(int interface) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (!present())
        return -ENODEV;
    return failClaim_ || interface != 0 ? -EBUSY : 0;
}

int SimulatedDevice::write(int endpoint, const char* bytes, int size)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!present())
            return -ENODEV;
        if (endpoint != commandEndpoint || size < 0)
            return -EINVAL;
        if (failWrites_)
            return -EIO;
    }
    sensor_->receive(reinterpret_cast<const unsigned char*>(bytes), static_cast<std::size_t>(size));
    return size;
}

int SimulatedDevice::admitRead(int size)
{
    if (!present())
        return -ENODEV;
    if (!readFaults_.empty() && readFaults_.front().bytesBefore == 0) {
        const ReadFault fault = readFaults_.front().fault;
        readFaults_.pop_front();
        return fault == ReadFault::Timeout ? -ETIMEDOUT : -EIO;
    }
    if (bytesBeforeDisconnection_ && *bytesBeforeDisconnection_ == 0) {
        connected_ = false;
        return -ENODEV;
    }
    std::size_t limit = static_cast<std::size_t>(size);
    if (!readSizes_.empty())
        limit = std::min(limit, static_cast<std::size_t>(std::max(0, readSizes_[nextReadSize_++ % readSizes_.size()])));
    if (!readFaults_.empty())
        limit = std::min(limit, readFaults_.front().bytesBefore);
    if (bytesBeforeDisconnection_)
        limit = std::min(limit, *bytesBeforeDisconnection_);
    return static_cast<int>(limit);
}

void SimulatedDevice::countDelivered(std::size_t count)
{
    if (!readFaults_.empty())
        readFaults_.front().bytesBefore -= count;
    if (bytesBeforeDisconnection_)
        *bytesBeforeDisconnection_ -= count;
}

int SimulatedDevice::read(int endpoint, char* bytes, int size, int timeoutMs)
{
    if (endpoint != replyEndpoint || size < 0)
        return -EINVAL;
    int limit;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        limit = admitRead(size);
    }
    if (limit <= 0)
        return limit; // a read size of 0 stands for a zero-length packet
    // The sensor may wait for bytes here; the device's state stays free meanwhile.
    const std::size_t count = sensor_->transmit(reinterpret_cast<unsigned char*>(bytes), static_cast<std::size_t>(limit), timeoutMs);
    if (count == 0)
        return -ETIMEDOUT;
    std::lock_guard<std::mutex> guard(mutex_);
    countDelivered(count);
    return static_cast<int>(count);
}

SimulatedBus::SimulatedBus()
{
    std::snprintf(busRecord_.dirname, sizeof busRecord_.dirname, "sim");
}

std::shared_ptr<SimulatedDevice> SimulatedBus::addDevice(std::string serial, std::shared_ptr<SimulatedSensor> sensor)
{
    std::lock_guard<std::mutex> guard(mutex_);
    const int number = static_cast<int>(devices_.size()) + 1;
    devices_.push_back(std::make_shared<SimulatedDevice>(std::move(serial), std::move(sensor), &busRecord_, number));
    return devices_.back();
}

std::vector<struct usb_device*> SimulatedBus::findDevices()
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<struct usb_device*> found;
    for (const auto& device : devices_)
        if (device->isConnected())
            found.push_back(device->record());
    return found;
}

std::unique_ptr<UsbHandle> SimulatedBus::open(struct usb_device* record)
{
    std::lock_guard<std::mutex> guard(mutex_);
    // Only records of this bus are ever touched: a foreign pointer opens nothing.
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [record](const auto& device) { return device->record() == record; });
    if (it == devices_.end() || !(*it)->opens())
        return nullptr;
    return std::make_unique<SimulatedHandle>(*it);
}

LockTarget SimulatedBus::lockTarget(const struct usb_device*, const std::string& serial)
{
    return lockFileTarget(serial);
}

std::shared_ptr<SimulatedSensor> sensorForSetting(const std::string& setting)
{
    static const std::string replayPrefix = "replay:";
    if (setting.compare(0, replayPrefix.size(), replayPrefix) != 0) {
        std::string complaints;
        PlasmaSensorOptions options = plasmaOptionsFromEnvironment(complaints);
        if (!complaints.empty())
            std::fprintf(stderr, "%s", complaints.c_str());
        return std::make_shared<PlasmaSensor>(std::move(options));
    }
    const std::string path = setting.substr(replayPrefix.size());
    auto sensor = std::make_shared<ReplaySensor>(path);
    if (!sensor->loaded())
        std::fprintf(stderr, "ORVEL_SIMULATED_SENSOR: cannot read the replay file \"%s\"; the sensor will stream nothing\n",
                     path.c_str());
    return sensor;
}

} // namespace orvel::device
