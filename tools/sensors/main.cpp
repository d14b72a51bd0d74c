// Lists the devices on the USB buses through the device library's own
// discovery, with each device's serial string and whether its sensor is free;
// with --open it also opens each free sensor and shows its identity line and
// status letter. With ORVEL_SIMULATED_SENSOR set the simulated bus is listed.

#include "orvelDevice.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: orvel-sensors [--open]\n"
                 "Lists every USB device with its serial string and whether its sensor is available.\n"
                 "  --open   also open each available sensor and show its info line and status letter\n"
                 "Set ORVEL_SIMULATED_SENSOR=1 (or replay:PATH) to list the simulated bus instead.\n");
}

const char* serialOf(const device_item& item)
{
    return item.serial[0] ? item.serial : "(no serial)";
}

// What opening the device would meet at its device lock.
std::string availability(const device_item& item)
{
    std::string problem;
    switch (orvelDevice::lockStatus(item, problem)) {
    case DeviceLockStatus::Free:
        return "available";
    case DeviceLockStatus::Held:
        return "in use";
    case DeviceLockStatus::Inaccessible:
        break;
    }
    return "unavailable: " + problem;
}

void probe(device_item& item)
{
    orvelDevice* sensor = orvelDevice::openDevice(item.serial);
    if (!sensor) {
        std::printf("  %s: could not be opened (no access, or no answer to the info request)\n", item.serial);
        return;
    }
    const int status = sensor->updateStatus();
    std::printf("  %s: info \"%s\"\n", item.serial, sensor->infoText);
    if (status < 0)
        std::printf("  %s: status request failed\n", item.serial);
    else
        std::printf("  %s: status '%c'\n", item.serial, static_cast<char>(status));
    delete sensor;
}

} // namespace

int main(int argc, char** argv)
{
    bool open = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--open") == 0) {
            open = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "orvel-sensors: unknown argument \"%s\"\n", argv[i]);
            printUsage(stderr);
            return 2;
        }
    }

    std::vector<device_item> devices;
    orvelDevice::getDeviceList(devices);
    std::printf("USB devices found: %zu\n", devices.size());
    for (const device_item& item : devices)
        std::printf("  %-20s %s\n", serialOf(item), availability(item).c_str());

    if (open)
        for (device_item& item : devices)
            if (item.available && item.serial[0])
                probe(item);
    return 0;
}
