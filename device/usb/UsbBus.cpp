#include "usb/UsbBus.h"

#include "usb/LibusbBus.h"
#include "usb/SimulatedBus.h"

#include <cstdlib>
#include <mutex>

namespace orvel::device {

namespace {

std::mutex busLock;
std::shared_ptr<UsbBus> installedBus;

} // namespace

std::shared_ptr<UsbBus> busForSetting(const std::string& setting)
{
    if (setting.empty())
        return std::make_shared<LibusbBus>();
    auto bus = std::make_shared<SimulatedBus>();
    bus->addDevice(defaultSimulatedSerial, sensorForSetting(setting));
    return bus;
}

std::shared_ptr<UsbBus> currentBus()
{
    std::lock_guard<std::mutex> guard(busLock);
    if (!installedBus) {
        const char* setting = std::getenv("ORVEL_SIMULATED_SENSOR");
        installedBus = busForSetting(setting ? setting : "");
    }
    return installedBus;
}

void installBus(std::shared_ptr<UsbBus> bus)
{
    std::lock_guard<std::mutex> guard(busLock);
    installedBus = std::move(bus);
}

} // namespace orvel::device
