#include "sim/ProbeModel.h"

#include <algorithm>
#include <cmath>

namespace orvel::device {

namespace {

constexpr double pi = 3.14159265358979323846;

std::vector<double> cosineTable(int samples)
{
    std::vector<double> table(static_cast<std::size_t>(samples));
    for (int j = 0; j < samples; ++j)
        table[j] = std::cos(2.0 * pi * j / samples);
    return table;
}

// The period's mean current at a bias, and its slope with the bias.
struct MeanCurrent
{
    double value = 0;
    double slope = 0;
};

MeanCurrent meanCurrent(const PlasmaState& plasma, double bias, double amplitude, const std::vector<double>& cosines)
{
    MeanCurrent mean;
    for (double c : cosines) {
        const double voltage = bias + amplitude * c;
        mean.value += probeCurrent(plasma, voltage);
        if (voltage < plasma.plasmaPotential) { // flat in saturation
            const double sheathCurrent = plasma.ionSlope * (plasma.plasmaPotential - voltage);
            mean.slope += (probeCurrent(plasma, voltage) + plasma.ionSaturation + sheathCurrent) / plasma.kTe
                          + plasma.ionSlope;
        }
    }
    const auto n = static_cast<double>(cosines.size());
    mean.value /= n;
    mean.slope /= n;
    return mean;
}

} // namespace

double probeCurrent(const PlasmaState& plasma, double voltage)
{
    const double retarding = std::min(voltage - plasma.plasmaPotential, 0.0);
    const double ionCurrent = plasma.ionSaturation - plasma.ionSlope * retarding;
    return -ionCurrent + plasma.electronSaturation * std::exp(retarding / plasma.kTe);
}

double selfBias(const PlasmaState& plasma, double amplitude, int samples)
{
    const std::vector<double> cosines = cosineTable(samples);
    // The mean current rises with the bias. Far enough below, even the crest of
    // the sine collects less electron current than the ions bring: negative.
    // With the whole sine above Vp it is Ies - Iis: positive. Newton steps
    // inside that bracket, halving it where a step would leave it.
    const double logRatio = std::log(plasma.electronSaturation / plasma.ionSaturation);
    double low = plasma.plasmaPotential - amplitude - plasma.kTe * (logRatio + 1.0);
    double high = plasma.plasmaPotential + amplitude;
    double bias = 0.5 * (low + high);
    for (int i = 0; i < 200; ++i) {
        const MeanCurrent mean = meanCurrent(plasma, bias, amplitude, cosines);
        if (mean.value == 0)
            break;
        (mean.value < 0 ? low : high) = bias;
        const double newton = mean.slope > 0 ? bias - mean.value / mean.slope : low - 1;
        const double next = newton > low && newton < high ? newton : 0.5 * (low + high);
        const bool settled = std::abs(next - bias) <= 1e-13 * (1.0 + std::abs(bias));
        bias = next;
        if (settled)
            break;
    }
    return bias;
}

ProbeWaveforms probeWaveforms(const PlasmaState& plasma, const ProbeDrive& drive, int samples)
{
    ProbeWaveforms waves;
    waves.bias = selfBias(plasma, drive.amplitude, modelSamplesPerPeriod);
    // C·dV/dt of V = bias + A·cos(wt).
    const double displacement = -drive.strayCapacitance * drive.amplitude * 2.0 * pi * drive.frequency;
    waves.V.reserve(static_cast<std::size_t>(samples));
    waves.I.reserve(static_cast<std::size_t>(samples));
    for (int j = 0; j < samples; ++j) {
        const double phase = 2.0 * pi * j / samples;
        const double voltage = waves.bias + drive.amplitude * std::cos(phase);
        waves.V.push_back(voltage);
        waves.I.push_back(probeCurrent(plasma, voltage) + displacement * std::sin(phase));
    }
    return waves;
}

void fourierSeries(const std::vector<double>& period, int count, std::vector<double>& real, std::vector<double>& imag)
{
    const std::size_t n = period.size();
    real.assign(static_cast<std::size_t>(count), 0.0);
    imag.assign(static_cast<std::size_t>(count), 0.0);
    if (n == 0)
        return;
    std::vector<double> cosines(n), sines(n);
    for (std::size_t j = 0; j < n; ++j) {
        cosines[j] = std::cos(2.0 * pi * static_cast<double>(j) / static_cast<double>(n));
        sines[j] = std::sin(2.0 * pi * static_cast<double>(j) / static_cast<double>(n));
    }
    // a_h = (2/n)·sum x_j cos(h·phase_j); the root-mean-square amplitude is a_h/sqrt(2).
    const double scale = std::sqrt(2.0) / static_cast<double>(n);
    for (int h = 1; h <= count; ++h) {
        double c = 0, s = 0;
        for (std::size_t j = 0; j < n; ++j) {
            // h·j taken modulo n keeps the phase exact however high the harmonic.
            const std::size_t step = (static_cast<std::size_t>(h) * j) % n;
            c += period[j] * cosines[step];
            s += period[j] * sines[step];
        }
        real[h - 1] = scale * c;
        imag[h - 1] = scale * s;
    }
}

HarmonicSeries probeHarmonics(const PlasmaState& plasma, const ProbeDrive& drive, int count)
{
    const ProbeWaveforms waves = probeWaveforms(plasma, drive, modelSamplesPerPeriod);
    HarmonicSeries series;
    fourierSeries(waves.V, count, series.VR, series.Vi);
    fourierSeries(waves.I, count, series.Ir, series.Ii);
    return series;
}

} // namespace orvel::device
