#pragma once

#include <QString>
#include <QVector>

#include <limits>

class LangmuirSettings;

// The harmonics of one frame, or the averaged harmonics of a position's time
// step, as the sensor reports them: root-mean-square amplitudes, element h - 1
// being harmonic h, so that one period is
//   x(phase) = mean + sqrt(2)·sum_h (real[h-1]·cos(h·phase) + imag[h-1]·sin(h·phase)).
struct HarmonicSpectrum
{
    QVector<double> VR, Vi, Ir, Ii;

    // The four vectors in this order, for code that treats them alike.
    static QVector<double> HarmonicSpectrum::*const parts[4];
};

// The electron temperature and the ion current read from the harmonics of the
// probe current (the floating-harmonic method). A probe floating behind its
// blocking capacitor at the bias Vb and driven with V0·cos(wt) collects the
// electron current Ies·exp((Vb + V0·cos wt - Vp)/kTe), whose n-th harmonic
// (peak amplitude, in phase with the voltage) is 2·Ae·I_n(x), with x = V0/kTe
// and Ae = Ies·exp((Vb - Vp)/kTe). The ion current, growing linearly with the
// reverse bias on a real probe, adds to the fundamental alone, and the stray
// capacitance's displacement current is in quadrature with the voltage; so the
// temperature comes from the in-phase harmonics 2 and up.
struct HarmonicResults
{
    static constexpr double notDetermined = std::numeric_limits<double>::quiet_NaN();

    double kTe = notDetermined;        // eV
    double kTeError = notDetermined;   // eV
    double ionCurrent = notDetermined; // A, at the floating bias: Ae·I_0(x) (the mean current is zero)
    double ionSlope = notDetermined;   // A/V: what the fundamental holds beyond 2·Ae·I_1(x), over V0
    double ionDensity = notDetermined; // m^-3, from the ion current with the Bohm flux
    double residual = notDetermined;   // root-mean-square misfit over the root-mean-square of the harmonics fitted
    int harmonicsFitted = 0;           // harmonics 2 ... harmonicsFitted + 1 took part
    QString errorText;                 // why the values are NaN; empty when they were determined

    bool determined() const { return errorText.isEmpty(); }
};

// Highest harmonic the temperature fit takes.
constexpr int highestFittedHarmonic = 8;

// Least-squares fit of the in-phase harmonics n = 2 ... 8 to b·exp(-x)·I_n(x)
// in b and x; a harmonic that has sunk into the noise (three times the
// root-mean-square of the quadrature components of the same harmonics, which
// the exponential law leaves empty) ends the list. The kTe error is the fit's
// own uncertainty (the residual's scatter carried through the fit). NaN with a
// reason when there is no drive voltage (none beyond three times the
// root-mean-square of the voltage's harmonics 2 ... 8), when fewer than three
// harmonics are usable, when the second or third harmonic is not positive, or
// when the fit finds no minimum within kTe = V0/1000 ... 1000·V0.
HarmonicResults analyseHarmonics(const HarmonicSpectrum& spectrum, const LangmuirSettings& settings);

// An averaged time step: the values from the mean harmonics, the kTe error the
// standard deviation of the values the single scans give (those that give one;
// NaN below two), as the errors of the IV analysis come from the scatter of the
// single scans.
HarmonicResults analyseAveragedHarmonics(const HarmonicSpectrum& mean, const QVector<HarmonicSpectrum>& scans,
                                         const LangmuirSettings& settings);
