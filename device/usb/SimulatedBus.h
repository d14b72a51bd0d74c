#pragma once

#include "usb/SimulatedSensor.h"
#include "usb/UsbBus.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <usb.h>

namespace orvel::device {

// The serial of the one sensor on the bus that ORVEL_SIMULATED_SENSOR selects.
constexpr const char* defaultSimulatedSerial = "SIM0001";

enum class ReadFault { Timeout, Error };

// One device on the simulated bus: a libusb-0.1 device record that discovery
// hands out like a real one, the transport faults a test can inject, and the
// sensor that answers behind it.
class SimulatedDevice
{
public:
    SimulatedDevice(std::string serial, std::shared_ptr<SimulatedSensor> sensor, usb_bus* bus, int number);
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    struct usb_device* record() { return &record_; }
    const std::string& serial() const { return serial_; }
    SimulatedSensor& sensor() { return *sensor_; }

    void failOpen(bool fail);
    void failConfiguration(bool fail);
    void failClaim(bool fail);
    void failWrites(bool fail);
    // A read returns this fault once `afterBytes` more bytes have been read;
    // faults injected one after another strike in that order.
    void injectReadFault(ReadFault fault, std::size_t afterBytes = 0);
    // Successive reads deliver at most these many bytes each, cycling through
    // the list (empty: as many as asked for and available); a size of 0 makes
    // that read return a zero-length packet.
    void setReadSizes(std::vector<int> sizes);
    // Delivers `bytes` more bytes, then the device is unplugged.
    void disconnectAfter(std::size_t bytes);
    void disconnect();
    bool isConnected() const;

    // The transport, as the simulated handle calls it.
    bool opens() const;
    int stringDescriptor(int index, char* buffer, std::size_t bufferLength) const;
    int setConfiguration(int configuration) const;
    int claimInterface(int interface) const;
    int write(int endpoint, const char* bytes, int size);
    int read(int endpoint, char* bytes, int size, int timeoutMs);

private:
    static constexpr int serialIndex = 3;

    // Called with mutex_ held: plugged in, and the sensor has not unplugged itself.
    bool present() const;
    // Called with mutex_ held: how many bytes the next read may deliver, or
    // the fault or error it returns instead.
    int admitRead(int size);
    // Called with mutex_ held after a read delivered `count` bytes.
    void countDelivered(std::size_t count);

    const std::string serial_;
    const std::shared_ptr<SimulatedSensor> sensor_;
    struct usb_device record_{};

    mutable std::mutex mutex_;
    bool connected_ = true;
    bool failOpen_ = false;
    bool failConfiguration_ = false;
    bool failClaim_ = false;
    bool failWrites_ = false;
    struct PendingFault
    {
        ReadFault fault;
        std::size_t bytesBefore;
    };
    std::deque<PendingFault> readFaults_;
    std::vector<int> readSizes_;
    std::size_t nextReadSize_ = 0;
    std::optional<std::size_t> bytesBeforeDisconnection_;
};

// A bus of simulated devices, in the order they were added. Devices that are
// unplugged drop out of discovery and cannot be opened; their records stay
// valid for as long as the bus lives.
class SimulatedBus : public UsbBus
{
public:
    SimulatedBus();
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    std::shared_ptr<SimulatedDevice> addDevice(std::string serial, std::shared_ptr<SimulatedSensor> sensor);

    std::vector<struct usb_device*> findDevices() override;
    std::unique_ptr<UsbHandle> open(struct usb_device* device) override;
    // A simulated sensor lives in one process: a lock file of this user's.
    LockTarget lockTarget(const struct usb_device* device, const std::string& serial) override;

private:
    std::mutex mutex_;
    usb_bus busRecord_{};
    std::vector<std::shared_ptr<SimulatedDevice>> devices_;
};

// The sensor a value of ORVEL_SIMULATED_SENSOR describes: "replay:PATH" replays
// the file PATH after each go frame, anything else is the plasma sensor with
// the options of the ORVEL_SIM_* variables (see PlasmaSensor.h).
std::shared_ptr<SimulatedSensor> sensorForSetting(const std::string& setting);

} // namespace orvel::device
