#pragma once

// A Langmuir probe in a steady plasma, driven by a sine through a blocking
// capacitor: its current-voltage law, the bias it charges up to, one period of
// its voltage and current, and the harmonics a sensor reports of them.

#include <vector>

namespace orvel::device {

// The plasma as the probe sees it.
struct PlasmaState
{
    double kTe = 3.0;                  // electron temperature, eV
    double ionSaturation = 1e-3;       // ion saturation current, A
    double electronSaturation = 50e-3; // electron saturation current, A
    double plasmaPotential = 10.0;     // V
    // Growth of the ion current with the reverse bias (the sheath expands), A/V:
    // below the plasma potential the ion current is Iis + ionSlope·(Vp - V).
    double ionSlope = 0.0;
};

// The probe's drive and its parasitic load.
struct ProbeDrive
{
    double amplitude = 40.0;         // V, of the sine at the probe
    double frequency = 100e3;        // Hz
    double strayCapacitance = 5e-12; // F, probe and cable to ground
};

// The probe current at `voltage`, positive when electrons are collected:
// -(Iis + S·(Vp - V)) + Ies·exp((V - Vp)/kTe) below the plasma potential,
// -Iis + Ies above it (S the ion slope).
double probeCurrent(const PlasmaState& plasma, double voltage);

// The bias the blocking capacitor charges up to: the one at which the probe
// current averaged over the `samples` points of one period of the drive is zero.
// Needs kTe > 0, Ies > Iis > 0 and an ion slope of 0 or more.
double selfBias(const PlasmaState& plasma, double amplitude, int samples);

// One period sampled at phases 2·pi·j/samples, j = 0 ... samples - 1: the probe
// voltage bias + A·cos(phase) and the probe current, i.e. the conducted current
// plus the displacement current of the stray capacitance.
struct ProbeWaveforms
{
    double bias = 0;
    std::vector<double> V;
    std::vector<double> I;
};
ProbeWaveforms probeWaveforms(const PlasmaState& plasma, const ProbeDrive& drive, int samples);

// Harmonics h = 1 ... count of a voltage and a current, element h - 1 being
// harmonic h, as root-mean-square amplitudes: one period is
//   x(phase) = mean + sqrt(2) · sum_h (real[h-1]·cos(h·phase) + imag[h-1]·sin(h·phase)),
// which is what the program's waveform synthesis sums up again.
struct HarmonicSeries
{
    std::vector<double> VR, Vi, Ir, Ii;
};

// Fourier analysis of one period given at equally spaced phases from 0.
void fourierSeries(const std::vector<double>& period, int count, std::vector<double>& real, std::vector<double>& imag);

// The harmonics the sensor reports for a probe in this plasma.
HarmonicSeries probeHarmonics(const PlasmaState& plasma, const ProbeDrive& drive, int count);

// Points per period the sensor model analyses; far more than the sixteen
// harmonics need, so aliasing stays negligible.
constexpr int modelSamplesPerPeriod = 1024;

} // namespace orvel::device
