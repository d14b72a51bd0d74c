// The sensor's byte stream through the device library's reception: the input
// is what a simulated sensor sends on its IN endpoint, and the library takes it
// in as the program does, by getSensorData (the acquisition worker) and
// updateStatus (the status timer), until the stream is drained.
//
// Input layout (made by tools/fuzzseeds for the seeds):
//   bytes 0-2  sizes of successive bulk reads, cycling: 1 + 2·b bytes (1 to
//              511), except that 0xFF stands for a zero-length packet
//   byte 3     bits 0-6: call k is updateStatus when bit k mod 7 is set, else
//              getSensorData; bit 7: the sensor is unplugged once it has sent
//              the stream
//   bytes 4-   the stream
//
// Empty reads answer at once (no read timeout is waited), so one input costs
// only the decoding. Checked: results stay in their ranges, a decoded frame
// writes no array element past its harmonic count, and nothing is written
// when no frame is returned.

#include "FuzzCheck.h"

#include "orvelDevice.h"
#include "usb/SimulatedBus.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using namespace orvel::device;

namespace {

constexpr std::size_t headerLength = 4;
constexpr int zeroLengthPacket = 0xFF;
constexpr double untouched = -12345.0;

std::string runtimeFolder;

// The three read sizes; at least one delivers bytes, so a pass always ends.
std::vector<int> readSizes(const std::uint8_t* header)
{
    std::vector<int> sizes;
    for (int i = 0; i < 3; ++i)
        sizes.push_back(header[i] == zeroLengthPacket ? 0 : 1 + 2 * header[i]);
    if (sizes[0] == 0 && sizes[1] == 0 && sizes[2] == 0)
        sizes[2] = 1;
    return sizes;
}

struct Outputs
{
    int position = -1, scan = -1, word8 = -1, word10 = -1, delay = -1, harmonics = -1;
    unsigned char mode = 0xAB;
    double freq = untouched;
    double VR[16], Vi[16], Ir[16], Ii[16];

    Outputs()
    {
        for (int k = 0; k < 16; ++k)
            VR[k] = Vi[k] = Ir[k] = Ii[k] = untouched;
    }

    bool arraysUntouchedFrom(int first) const
    {
        for (int k = first; k < 16; ++k)
            if (VR[k] != untouched || Vi[k] != untouched || Ir[k] != untouched || Ii[k] != untouched)
                return false;
        return true;
    }
};

int receiveOneFrame(orvelDevice& device)
{
    Outputs o;
    const int result = device.getSensorData(o.position, o.mode, o.scan, o.word8, o.word10, o.delay, o.harmonics,
                                            o.freq, o.VR, o.Vi, o.Ir, o.Ii);
    fuzz::require(result >= -1 && result <= 1, "getSensorData returns -1, 0 or 1");
    if (result != 1) {
        fuzz::require(o.position == -1 && o.harmonics == -1 && o.freq == untouched && o.arraysUntouchedFrom(0),
                      "no output is written without a frame");
        return result;
    }
    fuzz::require(o.harmonics >= 0 && o.harmonics <= 16, "the harmonic count is 0 to 16");
    fuzz::require(o.arraysUntouchedFrom(o.harmonics), "no element past the harmonic count is written");
    fuzz::require(o.position >= 0 && o.position <= 0xFFFF && o.scan >= 0 && o.scan <= 0xFFFF && o.word8 >= 0
                      && o.word8 <= 0xFFFF && o.word10 >= 0 && o.word10 <= 0xFFFF,
                  "16-bit fields are zero-extended");
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The library reports garbled frames on standard output, once per frame:
    // worth nothing here and slow. libFuzzer itself writes to standard error.
    std::freopen("/dev/null", "w", stdout);
    // The device lock's file goes to a folder of this run.
    char folder[] = "/tmp/orvel-fuzz-XXXXXX";
    fuzz::require(::mkdtemp(folder) != nullptr, "a runtime folder can be created");
    runtimeFolder = folder;
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    std::atexit([] { std::filesystem::remove_all(runtimeFolder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < headerLength)
        return 0;
    const std::uint8_t callPattern = data[3] & 0x7F;
    const bool unplugAfterStream = (data[3] & 0x80) != 0;
    const std::vector<unsigned char> stream(data + headerLength, data + size);

    auto bus = std::make_shared<SimulatedBus>();
    auto sensor = std::make_shared<ScriptedSensor>();
    sensor->setWaitOnTimeout(false);
    const auto simulated = bus->addDevice("FUZZ01", sensor);
    installBus(bus);
    char serial[] = "FUZZ01";
    std::unique_ptr<orvelDevice> device(orvelDevice::openDevice(serial));
    fuzz::require(device != nullptr, "the simulated sensor opens");

    simulated->setReadSizes(readSizes(data));
    if (unplugAfterStream)
        simulated->disconnectAfter(stream.size());
    sensor->queue(stream);

    // Every call hands out a queued frame, takes in bytes or finds the stream
    // empty, so the stream is drained long before this many calls.
    const std::size_t maxCalls = 64 + stream.size();
    for (std::size_t call = 0; call < maxCalls; ++call) {
        if (callPattern & (1u << (call % 7))) {
            const int status = device->updateStatus();
            fuzz::require(status >= -1 && status <= 255, "updateStatus returns a letter or -1");
            if (status < 0)
                break;
        } else {
            const int result = receiveOneFrame(*device);
            if (result < 0 || (result == 0 && sensor->pendingBytes() == 0))
                break;
        }
    }
    // Frames queued by status queries are still delivered, one per call.
    while (receiveOneFrame(*device) == 1) {
    }
    fuzz::require(::strnlen(device->infoText, sizeof device->infoText) < sizeof device->infoText,
                  "the identity line is NUL-terminated");
    device.reset();
    installBus(std::make_shared<SimulatedBus>());
    return 0;
}
