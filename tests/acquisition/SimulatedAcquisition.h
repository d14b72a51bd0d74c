#pragma once

// Frames of a plausible time-resolved acquisition, for tests and benchmarks:
// a probe driven with a distorted sine in a plasma whose electron temperature
// and density change with the delay, measured in both bands, with a little
// noise from scan to scan. Deterministic for a given seed.

#include "acquisition/scanResult.h"

#include <QVector>

#include <cmath>
#include <random>

struct AcquisitionPlan
{
    int position = 0;
    int scans = 4;
    int delays = 10;
    int delayStep = 10; // microseconds
    int harmonics = 16;
    double lowFrequency = 100000.0;
    double highFrequency = 200000.0;
    unsigned seed = 1;
};

namespace simulation {

constexpr double pi = 3.14159265358979323846;

// Probe current of a single Langmuir probe at voltage v (amperes).
inline double probeCurrent(double v, double plasmaPotential, double electronTemperature, double ionCurrent,
                           double electronCurrent)
{
    const double retarded = std::exp(std::min(v - plasmaPotential, 0.0) / electronTemperature);
    const double saturation = 1.0 + 0.02 * std::max(v - plasmaPotential, 0.0);
    return electronCurrent * retarded * saturation - ionCurrent;
}

// One frame: the harmonics (RMS values, as the synthesis multiplies by sqrt 2)
// of one period sampled at 256 points.
inline scanResult frame(const AcquisitionPlan& plan, int scan, int delayIndex, bool highBand, std::mt19937& noise)
{
    std::normal_distribution<double> jitter(0.0, 1.0);
    const double phase = delayIndex / double(std::max(plan.delays, 1));
    const double electronTemperature = 2.0 + 1.5 * std::sin(2 * pi * phase) + 0.05 * jitter(noise);
    const double density = 1.0 + 0.5 * std::cos(2 * pi * phase) + 0.02 * jitter(noise);
    const double plasmaPotential = 8.0 + 0.1 * jitter(noise);
    const double amplitude = highBand ? 18.0 : 25.0;
    const double ionCurrent = 2e-4 * density * (highBand ? 1.2 : 1.0);
    const double electronCurrent = 5e-3 * density * (highBand ? 1.1 : 1.0);

    scanResult r;
    r.position = plan.position;
    r.mode = 2;
    r.scan = scan;
    r.word8 = 7;
    r.word10 = delayIndex;
    r.delay = delayIndex * plan.delayStep;
    r.harmonics = plan.harmonics;
    r.freq = (highBand ? plan.highFrequency : plan.lowFrequency) * (1.0 + 1e-6 * jitter(noise));

    constexpr int samples = 256;
    double voltage[samples], current[samples];
    for (int j = 0; j < samples; ++j) {
        const double theta = 2 * pi * j / samples;
        voltage[j] = 5.0 + amplitude * std::cos(theta) + 0.8 * std::cos(2 * theta + 0.3);
        current[j] = probeCurrent(voltage[j], plasmaPotential, electronTemperature, ionCurrent, electronCurrent)
                     + 1e-6 * jitter(noise);
    }
    const int count = std::min(std::max(plan.harmonics, 0), int(scanResult::maxHarmonics));
    const double scale = std::sqrt(2.0) / samples;
    for (int h = 1; h <= count; ++h) {
        double vr = 0, vi = 0, ir = 0, ii = 0;
        for (int j = 0; j < samples; ++j) {
            const double c = std::cos(2 * pi * h * j / samples), s = std::sin(2 * pi * h * j / samples);
            vr += voltage[j] * c;
            vi += voltage[j] * s;
            ir += current[j] * c;
            ii += current[j] * s;
        }
        r.VR[h - 1] = vr * scale;
        r.Vi[h - 1] = vi * scale;
        r.Ir[h - 1] = ir * scale;
        r.Ii[h - 1] = ii * scale;
    }
    return r;
}

} // namespace simulation

// Scan by scan, delay by delay, the low-band frame followed by the high-band
// frame, as the sensor sends them.
inline QVector<scanResult> simulatedAcquisition(const AcquisitionPlan& plan)
{
    std::mt19937 noise(plan.seed);
    QVector<scanResult> frames;
    frames.reserve(plan.scans * plan.delays * 2);
    for (int scan = 1; scan <= plan.scans; ++scan)
        for (int d = 0; d < plan.delays; ++d)
            for (bool high : {false, true})
                frames.append(simulation::frame(plan, scan, d, high, noise));
    return frames;
}
