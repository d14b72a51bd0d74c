#pragma once

#include "sim/ProbeModel.h"
#include "usb/SimulatedSensor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace orvel::device {

// Faults the plasma sensor commits on purpose, for end-to-end tests. Data frames
// are counted from 1 over the sensor's whole life; 0 leaves a fault out.
struct SensorFaults
{
    // After this many data frames the sensor unplugs itself, once the reader has
    // taken every byte it sent: reads and writes fail, discovery no longer lists it.
    int disconnectAfterFrames = 0;
    // This data frame goes out with an unknown type byte and a scrambled payload
    // (its length field intact): the library reports and drops it, and
    // reception goes on with the next frame.
    int garbledFrame = 0;
    // This data frame goes out with a length field above 300, with a pause in
    // the stream before and after it so that it arrives alone: the library
    // reports it and drops what it holds, which is that frame alone.
    int oversizeFrame = 0;
};

struct PlasmaSensorOptions
{
    PlasmaState plasma;
    double amplitude = 40.0;         // V
    double strayCapacitance = 5e-12; // F
    int harmonics = 16;              // records per data frame, 1 ... 16
    double noise = 0.005;            // RMS measurement noise of each waveform, relative to its RMS
    std::uint64_t seed = 1;
    double lowBandFrequency = 100e3;  // Hz, below 150000
    double highBandFrequency = 400e3; // Hz, 150000 or more
    // In a time-resolved scan kTe and the density vary along the sync period by
    // these relative amounts, kTe as a sine and the density as a cosine of the phase.
    double temperatureModulation = 0.2;
    double densityModulation = 0.3;
    // A data frame becomes available every interval after the go frame; zero
    // makes them available as fast as they are read.
    std::chrono::microseconds frameInterval{5000};
    // The sensor clock its info line announces, and the ticks its frames count in.
    bool fastClock = false;
    SensorFaults faults;

    // Empty when the options describe a sensor that can run, otherwise why not.
    std::string problem() const;
};

// The options described by the environment variables ORVEL_SIM_KTE (eV),
// ORVEL_SIM_ION_SAT and ORVEL_SIM_ELECTRON_SAT (A), ORVEL_SIM_ION_SLOPE (A/V),
// ORVEL_SIM_AMPLITUDE (V),
// ORVEL_SIM_HARMONICS, ORVEL_SIM_NOISE (relative), ORVEL_SIM_SEED,
// ORVEL_SIM_FRAME_INTERVAL_MS and the faults ORVEL_SIM_DISCONNECT_AFTER,
// ORVEL_SIM_GARBLE_FRAME and ORVEL_SIM_OVERSIZE_FRAME (data frame numbers).
// A variable whose value is unusable keeps its default, and a line saying so is
// added to `complaints`.
PlasmaSensorOptions plasmaOptionsFromEnvironment(std::string& complaints);

// The delays, in microseconds, of one scan of a time-resolved acquisition:
// from the start in steps of the resolution, ending on period - resolution,
// which is the delay the program waits for to see the scan complete. A window
// that starts at or after that end holds its start alone.
struct DelayWindow
{
    std::int64_t start = 0;
    std::int64_t period = 0;
    std::int64_t resolution = 0;

    std::int64_t lastDelay() const { return period - resolution; }
    std::int64_t count() const;
    std::int64_t delay(std::int64_t index) const;
};

// Sensor "SIM0001" of the simulated bus: a Langmuir probe in an argon discharge
// (see ProbeModel.h). It answers end, info, status and mode frames as a real
// sensor does and after each go frame streams, frame by frame as time passes,
// per scan and per delay one low-band and one high-band data frame: in an
// averaged scan one delay (0); in a time-resolved scan the delays of the mode
// frame's window. Scans are numbered 1 to the mode frame's count. The status
// letter is 'B' while frames remain to be sent and 'I' otherwise; an end frame
// stops the stream. Frames already sent stay in the stream.
class PlasmaSensor : public ScriptedSensor
{
public:
    explicit PlasmaSensor(PlasmaSensorOptions options = {});

    const PlasmaSensorOptions& options() const { return options_; }
    void setFaults(SensorFaults faults);
    int dataFramesSent() const;

    bool attached() const override;

    // Modes a go frame without an earlier mode frame runs.
    static constexpr int defaultScans = 10;
    // The stream waits while this many bytes are unread, like a sensor whose
    // output buffer is full.
    static constexpr std::size_t outputBufferBytes = 1024;

protected:
    std::optional<Clock::time_point> releaseDue(Clock::time_point now) override;
    void answerGo() override;
    void answerEnd() override;
    void answerMode(const unsigned char* frame, std::size_t length) override;

private:
    enum Band { LowBand, HighBand };

    struct Acquisition
    {
        bool timeResolved = false;
        int scans = defaultScans;
        DelayWindow window; // time-resolved only
    };

    // Where the stream stands: the next frame to send.
    struct Cursor
    {
        int scan = 1;
        std::int64_t delayIndex = 0;
        Band band = LowBand;
    };

    // The noiseless harmonics of both bands at one delay.
    struct CleanFrame
    {
        HarmonicSeries band[2];
        double rmsVoltage[2] = {0, 0};
        double rmsCurrent[2] = {0, 0};
    };

    // Called with mutex_ held.
    std::int64_t delayCount() const;
    std::int64_t delayAt(std::int64_t index) const;
    bool advance();
    void sendNext();
    std::vector<unsigned char> nextFrameBytes();
    const CleanFrame& cleanFrame(std::int64_t delayUs);
    PlasmaState plasmaAt(std::int64_t delayUs) const;
    double gaussian();
    double tickFactor() const;

    PlasmaSensorOptions options_;
    mutable std::mutex mutex_;
    Acquisition acquisition_;
    bool streaming_ = false;
    Cursor cursor_;
    Clock::time_point nextDue_;
    int framesSent_ = 0;
    std::map<std::int64_t, CleanFrame> cleanFrames_;
    std::mt19937_64 noise_;
    std::mt19937_64 scrambler_;
    // Set once the frames before the unplugging are all sent.
    bool unplugging_ = false;
    mutable std::atomic<bool> unplugged_{false};
};

} // namespace orvel::device
