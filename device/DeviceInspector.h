#pragma once

#include "orvelDevice.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace orvel::device {

// Read access to an open device's private state for the library's own tests;
// not part of the exported interface.
struct DeviceInspector
{
    static std::uint16_t statusValue(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return device.statusValue;
    }
    static bool fastClock(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return device.fastClock;
    }
    static std::string firmwareToken(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return std::string(device.firmwareToken, ::strnlen(device.firmwareToken, sizeof device.firmwareToken));
    }
    static int readTimeout(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return device.readTimeout;
    }
    static int rxCount(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return device.rxCount;
    }
    static std::size_t queuedFrames(orvelDevice& device)
    {
        std::lock_guard<std::mutex> guard(device.readLock);
        return device.dataFrames.size();
    }
    static device_item item(orvelDevice& device) { return device.item; }
};

} // namespace orvel::device
