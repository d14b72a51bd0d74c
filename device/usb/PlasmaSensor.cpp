#include "usb/PlasmaSensor.h"

#include "protocol/ByteCursor.h"
#include "protocol/SensorClock.h"
#include "protocol/SensorFrames.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace orvel::device {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double bandLimit = 150000.0; // Hz: the program files frames below it as the low band

// The sensor's identity line: meter serial, meter firmware, ..., probe
// firmware (fifth word, whose fourth character names the clock), ..., probe serial.
std::string infoLine(bool fastClock)
{
    return std::string("SIM0001 V1.4 Brisvane Orvel ") + (fastClock ? "V2.1" : "V2.0") + " simulated plasma probe PRB0001";
}

// The tick count of a delay that the library reports as exactly `us`
// microseconds (it divides by the tick factor and truncates).
std::int32_t ticksForDelay(std::int64_t us, double factor)
{
    const double exact = std::ceil(static_cast<double>(us) * factor);
    if (exact >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    auto ticks = static_cast<std::int32_t>(std::max(exact, 0.0));
    for (int i = 0; i < 64 && ticks < INT32_MAX && ticksToMicroseconds(ticks, factor) < us; ++i)
        ++ticks;
    return ticks;
}

// The whole microseconds a mode frame's tick field stands for: the program
// converted them with truncation, so the nearest whole number recovers them.
std::int64_t microsecondsOf(std::uint32_t ticks, double factor)
{
    return std::llround(static_cast<double>(ticks) / factor);
}

double rootSumOfSquares(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        sum += a[k] * a[k] + b[k] * b[k];
    return std::sqrt(sum);
}

// --- reading the environment ---

bool parseNumber(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool parseWhole(const char* text, unsigned long long& out)
{
    if (*text < '0' || *text > '9')
        return false; // no sign, no blanks
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno == ERANGE)
        return false;
    out = value;
    return true;
}

class EnvironmentReader
{
public:
    explicit EnvironmentReader(std::string& complaints) : complaints_(complaints) {}

    template <typename Valid>
    void number(const char* name, double& field, Valid valid, const char* requirement)
    {
        const char* text = std::getenv(name);
        if (!text)
            return;
        double value;
        if (parseNumber(text, value) && valid(value))
            field = value;
        else
            complain(name, text, requirement, field);
    }

    void whole(const char* name, unsigned long long& field, unsigned long long low, unsigned long long high,
               const char* requirement)
    {
        const char* text = std::getenv(name);
        if (!text)
            return;
        unsigned long long value;
        if (parseWhole(text, value) && value >= low && value <= high)
            field = value;
        else
            complain(name, text, requirement, static_cast<double>(field));
    }

    void whole(const char* name, int& field, int low, int high, const char* requirement)
    {
        auto value = static_cast<unsigned long long>(field);
        whole(name, value, static_cast<unsigned long long>(low), static_cast<unsigned long long>(high), requirement);
        field = static_cast<int>(value);
    }

    void complain(const std::string& line) { complaints_ += line + '\n'; }

private:
    void complain(const char* name, const char* text, const char* requirement, double kept)
    {
        std::ostringstream line;
        line << name << ": \"" << text << "\" is not " << requirement << "; using " << kept;
        complain(line.str());
    }

    std::string& complaints_;
};

} // namespace

std::string PlasmaSensorOptions::problem() const
{
    const auto finite = [](double v) { return std::isfinite(v); };
    if (!(finite(plasma.kTe) && plasma.kTe > 0))
        return "kTe must be above 0 eV";
    if (!(finite(plasma.ionSaturation) && plasma.ionSaturation > 0))
        return "the ion saturation current must be above 0 A";
    if (!(finite(plasma.electronSaturation) && plasma.electronSaturation > plasma.ionSaturation))
        return "the electron saturation current must exceed the ion saturation current";
    if (!finite(plasma.plasmaPotential))
        return "the plasma potential must be a number";
    if (!(finite(plasma.ionSlope) && plasma.ionSlope >= 0))
        return "the ion-current slope must be 0 A/V or more";
    if (!(finite(amplitude) && amplitude >= 0))
        return "the drive amplitude must be 0 V or more";
    if (!(finite(strayCapacitance) && strayCapacitance >= 0))
        return "the stray capacitance must be 0 F or more";
    if (harmonics < 1 || harmonics > maxHarmonics)
        return "the harmonics must be 1 to 16";
    if (!(finite(noise) && noise >= 0))
        return "the noise must be 0 or more";
    if (!(lowBandFrequency > 0 && lowBandFrequency < bandLimit))
        return "the low band must lie below 150000 Hz";
    if (!(finite(highBandFrequency) && highBandFrequency >= bandLimit))
        return "the high band must lie at 150000 Hz or above";
    if (!(temperatureModulation >= 0 && temperatureModulation < 1 && densityModulation >= 0 && densityModulation < 1))
        return "the modulations must be 0 or more and below 1";
    if (frameInterval.count() < 0)
        return "the frame interval must be 0 or more";
    if (faults.disconnectAfterFrames < 0 || faults.garbledFrame < 0 || faults.oversizeFrame < 0)
        return "fault frame numbers must be 0 or more";
    return {};
}

PlasmaSensorOptions plasmaOptionsFromEnvironment(std::string& complaints)
{
    PlasmaSensorOptions options;
    EnvironmentReader env(complaints);
    const auto positive = [](double v) { return v > 0; };
    const auto notNegative = [](double v) { return v >= 0; };

    env.number("ORVEL_SIM_KTE", options.plasma.kTe, positive, "a temperature above 0 eV");
    env.number("ORVEL_SIM_ION_SAT", options.plasma.ionSaturation, positive, "a current above 0 A");
    env.number("ORVEL_SIM_ELECTRON_SAT", options.plasma.electronSaturation, positive, "a current above 0 A");
    if (!(options.plasma.electronSaturation > options.plasma.ionSaturation)) {
        env.complain("ORVEL_SIM_ELECTRON_SAT must exceed ORVEL_SIM_ION_SAT; using the defaults for both");
        options.plasma.ionSaturation = PlasmaState().ionSaturation;
        options.plasma.electronSaturation = PlasmaState().electronSaturation;
    }
    env.number("ORVEL_SIM_ION_SLOPE", options.plasma.ionSlope, notNegative, "an ion-current slope of 0 A/V or more");
    env.number("ORVEL_SIM_AMPLITUDE", options.amplitude, notNegative, "an amplitude of 0 V or more");
    env.whole("ORVEL_SIM_HARMONICS", options.harmonics, 1, maxHarmonics, "a whole number from 1 to 16");
    env.number("ORVEL_SIM_NOISE", options.noise, notNegative, "a relative noise of 0 or more");
    unsigned long long seed = options.seed;
    env.whole("ORVEL_SIM_SEED", seed, 0, ULLONG_MAX, "a whole number of 0 or more");
    options.seed = seed;
    double intervalMs = static_cast<double>(options.frameInterval.count()) / 1000.0;
    env.number("ORVEL_SIM_FRAME_INTERVAL_MS", intervalMs, [](double v) { return v >= 0 && v <= 3.6e6; },
               "a time from 0 to 3600000 ms");
    options.frameInterval = std::chrono::microseconds(std::llround(intervalMs * 1000.0));
    env.whole("ORVEL_SIM_DISCONNECT_AFTER", options.faults.disconnectAfterFrames, 0, INT_MAX, "a frame count of 0 or more");
    env.whole("ORVEL_SIM_GARBLE_FRAME", options.faults.garbledFrame, 0, INT_MAX, "a frame number of 0 or more");
    env.whole("ORVEL_SIM_OVERSIZE_FRAME", options.faults.oversizeFrame, 0, INT_MAX, "a frame number of 0 or more");
    return options;
}

std::int64_t DelayWindow::count() const
{
    if (start >= lastDelay())
        return 1;
    if (resolution <= 0)
        return 2;
    return (lastDelay() - start + resolution - 1) / resolution + 1;
}

std::int64_t DelayWindow::delay(std::int64_t index) const
{
    if (start >= lastDelay())
        return start;
    if (index >= count() - 1)
        return lastDelay();
    return start + index * resolution;
}

PlasmaSensor::PlasmaSensor(PlasmaSensorOptions options) : options_(std::move(options))
{
    const std::string problem = options_.problem();
    if (!problem.empty()) {
        std::fprintf(stderr, "Simulated plasma sensor: %s; using the default options\n", problem.c_str());
        options_ = PlasmaSensorOptions();
    }
    noise_.seed(options_.seed);
    scrambler_.seed(~options_.seed);
    setInfoLine(infoLine(options_.fastClock));
}

void PlasmaSensor::setFaults(SensorFaults faults)
{
    std::lock_guard<std::mutex> guard(mutex_);
    options_.faults = faults;
}

int PlasmaSensor::dataFramesSent() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return framesSent_;
}

bool PlasmaSensor::attached() const
{
    if (unplugged_)
        return false;
    std::lock_guard<std::mutex> guard(mutex_);
    if (unplugging_ && pendingBytes() == 0)
        unplugged_ = true;
    return !unplugged_;
}

void PlasmaSensor::answerMode(const unsigned char* frame, std::size_t length)
{
    ByteReader in(frame, length);
    std::uint8_t kind = 0;
    std::uint16_t scans = 0;
    if (!in.skip(1) || !in.u8(kind) || !in.u16(scans))
        return;
    Acquisition next;
    next.scans = scans;
    if (kind == 'R') {
        std::uint32_t start = 0, period = 0, value = 0, resolution = 0;
        if (!in.u32(start) || !in.u32(period) || !in.u32(value) || !in.u32(resolution))
            return;
        next.timeResolved = true;
        const double factor = tickFactor();
        next.window = {microsecondsOf(start, factor), microsecondsOf(period, factor), microsecondsOf(resolution, factor)};
    } else if (kind != 'A') {
        return; // not a mode this sensor knows
    }
    std::lock_guard<std::mutex> guard(mutex_);
    acquisition_ = next;
    cleanFrames_.clear(); // the plasma along the period depends on the window
}

void PlasmaSensor::answerGo()
{
    std::lock_guard<std::mutex> guard(mutex_);
    cursor_ = Cursor();
    streaming_ = acquisition_.scans > 0;
    nextDue_ = Clock::now() + options_.frameInterval;
    setStatus(streaming_ ? 'B' : 'I');
}

void PlasmaSensor::answerEnd()
{
    std::lock_guard<std::mutex> guard(mutex_);
    streaming_ = false;
    setStatus('I');
}

std::optional<ScriptedSensor::Clock::time_point> PlasmaSensor::releaseDue(Clock::time_point now)
{
    std::lock_guard<std::mutex> guard(mutex_);
    while (streaming_ && !unplugging_ && nextDue_ <= now && pendingBytes() < outputBufferBytes) {
        sendNext();
        nextDue_ += options_.frameInterval;
    }
    if (!streaming_ || unplugging_)
        return std::nullopt;
    return nextDue_;
}

void PlasmaSensor::sendNext()
{
    const int number = framesSent_ + 1;
    std::vector<unsigned char> bytes = nextFrameBytes();
    const SensorFaults& faults = options_.faults;
    if (number == faults.garbledFrame) {
        bytes[0] = '?';
        for (std::size_t i = frameHeaderLength; i < bytes.size(); ++i)
            bytes[i] ^= static_cast<unsigned char>(scrambler_());
    }
    if (number == faults.oversizeFrame) {
        storeU16(&bytes[1], 0xFFFF);
        queuePause();
        queue(std::move(bytes));
        queuePause();
    } else {
        queue(std::move(bytes));
    }
    framesSent_ = number;
    if (number == faults.disconnectAfterFrames)
        unplugging_ = true;
    if (!advance()) {
        streaming_ = false;
        setStatus('I');
    }
}

bool PlasmaSensor::advance()
{
    if (cursor_.band == LowBand) {
        cursor_.band = HighBand;
        return true;
    }
    cursor_.band = LowBand;
    if (++cursor_.delayIndex < delayCount())
        return true;
    cursor_.delayIndex = 0;
    return ++cursor_.scan <= acquisition_.scans;
}

std::int64_t PlasmaSensor::delayCount() const
{
    return acquisition_.timeResolved ? acquisition_.window.count() : 1;
}

std::int64_t PlasmaSensor::delayAt(std::int64_t index) const
{
    return acquisition_.timeResolved ? acquisition_.window.delay(index) : 0;
}

std::vector<unsigned char> PlasmaSensor::nextFrameBytes()
{
    const std::int64_t delay = delayAt(cursor_.delayIndex);
    const CleanFrame& clean = cleanFrame(delay);
    const Band band = cursor_.band;
    const HarmonicSeries& series = clean.band[band];

    DataFrame frame;
    frame.mode = acquisition_.timeResolved ? 1 : 0;
    frame.scan = static_cast<std::uint16_t>(cursor_.scan);
    frame.delayTicks = ticksForDelay(delay, tickFactor());
    frame.harmonicCount = static_cast<std::int8_t>(options_.harmonics);
    frame.freq = static_cast<float>(band == LowBand ? options_.lowBandFrequency : options_.highBandFrequency);
    // White noise of the given RMS on a waveform spreads evenly over the
    // 2·N real coefficients the synthesis sums with weight sqrt(2).
    const double spread = options_.noise / std::sqrt(2.0 * options_.harmonics);
    const double sigmaV = spread * clean.rmsVoltage[band];
    const double sigmaI = spread * clean.rmsCurrent[band];
    for (int k = 0; k < options_.harmonics; ++k) {
        Harmonic& h = frame.harmonics[k];
        h.VR = static_cast<float>(series.VR[k] + sigmaV * gaussian());
        h.Vi = static_cast<float>(series.Vi[k] + sigmaV * gaussian());
        h.Ir = static_cast<float>(series.Ir[k] + sigmaI * gaussian());
        h.Ii = static_cast<float>(series.Ii[k] + sigmaI * gaussian());
    }
    return encodeDataFrame(frame);
}

const PlasmaSensor::CleanFrame& PlasmaSensor::cleanFrame(std::int64_t delayUs)
{
    const auto found = cleanFrames_.find(delayUs);
    if (found != cleanFrames_.end())
        return found->second;
    if (cleanFrames_.size() >= 4096)
        cleanFrames_.clear(); // a window of more delays than that is computed afresh each scan

    const PlasmaState plasma = plasmaAt(delayUs);
    CleanFrame clean;
    for (Band band : {LowBand, HighBand}) {
        ProbeDrive drive;
        drive.amplitude = options_.amplitude;
        drive.strayCapacitance = options_.strayCapacitance;
        drive.frequency = band == LowBand ? options_.lowBandFrequency : options_.highBandFrequency;
        HarmonicSeries& series = clean.band[band];
        series = probeHarmonics(plasma, drive, options_.harmonics);
        clean.rmsVoltage[band] = rootSumOfSquares(series.VR, series.Vi);
        clean.rmsCurrent[band] = rootSumOfSquares(series.Ir, series.Ii);
    }
    return cleanFrames_.emplace(delayUs, std::move(clean)).first->second;
}

PlasmaState PlasmaSensor::plasmaAt(std::int64_t delayUs) const
{
    PlasmaState plasma = options_.plasma;
    const std::int64_t period = acquisition_.window.period;
    if (!acquisition_.timeResolved || period <= 0)
        return plasma;
    const double phase = 2.0 * pi * static_cast<double>(delayUs) / static_cast<double>(period);
    const double temperature = 1.0 + options_.temperatureModulation * std::sin(phase);
    const double density = 1.0 + options_.densityModulation * std::cos(phase);
    // Both saturation currents, and with the ion current its growth with the
    // bias, go with the density times the Bohm or thermal speed, i.e. with n·sqrt(Te).
    const double currents = density * std::sqrt(temperature);
    plasma.kTe *= temperature;
    plasma.ionSaturation *= currents;
    plasma.electronSaturation *= currents;
    plasma.ionSlope *= currents;
    return plasma;
}

double PlasmaSensor::gaussian()
{
    // Box-Muller on the generator's raw output, so a seed gives the same
    // numbers with every standard library.
    const double u1 = (static_cast<double>(noise_() >> 11) + 1.0) * 0x1.0p-53; // (0, 1]
    const double u2 = static_cast<double>(noise_() >> 11) * 0x1.0p-53;         // [0, 1)
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * pi * u2);
}

double PlasmaSensor::tickFactor() const
{
    return orvel::device::tickFactor(options_.fastClock);
}

} // namespace orvel::device
