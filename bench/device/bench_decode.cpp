// Decodes a long simulated stream of full data frames (16 harmonics) through
// orvelDevice::getSensorData, as the acquisition worker does, and prints the
// rate next to a plain copy of the same bytes in the same 512-byte reads.
//
//   bench_decode [frames]      (default 200000; the best of three runs counts)

#include "orvelDevice.h"
#include "protocol/SensorFrames.h"
#include "usb/SimulatedBus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

using namespace orvel::device;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int runs = 3;

// Keeps the plain copy from being optimised away.
volatile unsigned copySink;

std::vector<unsigned char> encodedStream(int frames)
{
    std::vector<unsigned char> stream;
    for (int i = 0; i < frames; ++i) {
        DataFrame frame;
        frame.scan = static_cast<std::uint16_t>(i);
        frame.word8 = static_cast<std::uint16_t>(i >> 16);
        frame.delayTicks = 12607 + i;
        frame.harmonicCount = maxHarmonics;
        frame.freq = 200000.0f;
        for (int k = 0; k < maxHarmonics; ++k)
            frame.harmonics[k] = {1.0f / (k + 1), 0.5f, -0.25f * k, 1e-3f};
        const std::vector<unsigned char> bytes = encodeDataFrame(frame);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    return stream;
}

// Seconds to decode every frame of the stream; negative when a frame is lost
// or out of order.
double timeDecoding(orvelDevice& device, ScriptedSensor& sensor, const std::vector<unsigned char>& stream, int frames)
{
    sensor.queue(stream);
    int position, scan, word8, word10, delay, harmonics;
    unsigned char mode;
    double freq, VR[16], Vi[16], Ir[16], Ii[16];
    int decoded = 0;
    const auto start = Clock::now();
    while (decoded < frames) {
        const int result = device.getSensorData(position, mode, scan, word8, word10, delay, harmonics, freq, VR, Vi, Ir, Ii);
        if (result < 0)
            return -1;
        if (result == 0)
            continue;
        if ((scan | word8 << 16) != decoded || harmonics != maxHarmonics)
            return -1;
        ++decoded;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double timePlainCopy(const std::vector<unsigned char>& stream, unsigned& checksum)
{
    unsigned char buffer[8192];
    const auto start = Clock::now();
    for (std::size_t offset = 0; offset < stream.size(); offset += readRequestSize) {
        const std::size_t count = std::min<std::size_t>(readRequestSize, stream.size() - offset);
        std::memcpy(buffer + (offset / readRequestSize % 8) * readRequestSize, stream.data() + offset, count);
        checksum += buffer[(offset / readRequestSize % 8) * readRequestSize];
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200000;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: bench_decode [frames]\n");
        return 2;
    }

    // The sensor's lock file goes to a directory of this run.
    char runtime[] = "/tmp/orvel-bench-XXXXXX";
    if (!::mkdtemp(runtime))
        return 1;
    ::setenv("XDG_RUNTIME_DIR", runtime, 1);

    auto bus = std::make_shared<SimulatedBus>();
    auto sensor = std::make_shared<ScriptedSensor>();
    sensor->setWaitOnTimeout(false); // an empty read answers at once: no timeout is timed
    bus->addDevice("BENCH01", sensor);
    installBus(bus);
    char serial[] = "BENCH01";
    std::unique_ptr<orvelDevice> device(orvelDevice::openDevice(serial));
    if (!device) {
        std::fprintf(stderr, "bench_decode: the simulated sensor did not open\n");
        return 1;
    }

    const std::vector<unsigned char> stream = encodedStream(frames);
    double bestDecode = 0, bestCopy = 0;
    unsigned checksum = 0;
    for (int run = 0; run < runs; ++run) {
        const double decode = timeDecoding(*device, *sensor, stream, frames);
        if (decode < 0) {
            std::fprintf(stderr, "bench_decode: a frame was lost or reordered\n");
            return 1;
        }
        const double copy = timePlainCopy(stream, checksum);
        bestDecode = run == 0 ? decode : std::min(bestDecode, decode);
        bestCopy = run == 0 ? copy : std::min(bestCopy, copy);
    }
    device.reset();
    std::filesystem::remove_all(runtime);

    std::printf("decode_frames_per_s: %.0f frames/s\n", frames / bestDecode);
    std::printf("plain_copy_frames_per_s: %.0f frames/s\n", frames / bestCopy);
    std::printf("decode_ns_per_frame: %.0f ns\n", bestDecode * 1e9 / frames);
    std::printf("frame_bytes: %zu bytes\n", stream.size() / static_cast<std::size_t>(frames));
    copySink = checksum;
    return 0;
}
