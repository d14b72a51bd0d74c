#include "analysis/HarmonicAnalysis.h"

#include "analysis/AnalysisContext.h"
#include "analysis/Bessel.h"
#include "analysis/LangmuirSettings.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double sqrt2 = 1.4142135623730951;

// The temperature is searched for between kTe = 1000·V0 and V0/1000.
constexpr double lowestX = 1e-3;
constexpr double highestX = 1e3;
// The misfit is first scanned on this many points, equally spaced in ln x
// (a factor of 1.6 apart), then refined around the best of them until x is
// known to 1e-10.
constexpr int searchGridPoints = 31;
constexpr int refinementSteps = 100;
constexpr double refinedWidth = 1e-10;
// A harmonic counts while its in-phase part exceeds this many times the noise.
constexpr double noiseMultiple = 3.0;
constexpr int fewestFittedHarmonics = 3;
// Orders of the Bessel functions the fit needs: 0 ... highest fitted + 1 (the
// slope of I_n takes I_{n+1}).
constexpr int besselOrders = highestFittedHarmonic + 2;

using PerHarmonic = std::array<double, highestFittedHarmonic + 1>; // index n = harmonic n

// The current's harmonics measured against the phase of the drive voltage's
// fundamental, as peak amplitudes: harmonic n turned back by n times that
// phase, so that V(t) = V0·cos(psi) and the n-th harmonic of the current is
// inPhase[n]·cos(n·psi) + quadrature[n]·sin(n·psi).
struct AlignedHarmonics
{
    double driveAmplitude = 0; // V0, V
    double voltageNoise = 0;   // root-mean-square peak amplitude of the voltage's harmonics 2 and up, V
    int count = 0;             // harmonics 1 ... count are present
    PerHarmonic inPhase{};
    PerHarmonic quadrature{};
};

AlignedHarmonics align(const HarmonicSpectrum& s)
{
    AlignedHarmonics a;
    if (s.VR.isEmpty() || s.Vi.isEmpty())
        return a;
    const double phase = std::atan2(s.Vi[0], s.VR[0]);
    a.driveAmplitude = sqrt2 * std::hypot(s.VR[0], s.Vi[0]);
    a.count = std::min({highestFittedHarmonic, int(s.Ir.size()), int(s.Ii.size())});
    const int voltageCount = std::min({highestFittedHarmonic, int(s.VR.size()), int(s.Vi.size())});
    double voltageSquares = 0;
    for (int n = 2; n <= voltageCount; ++n)
        voltageSquares += 2 * (s.VR[n - 1] * s.VR[n - 1] + s.Vi[n - 1] * s.Vi[n - 1]);
    a.voltageNoise = voltageCount >= 2 ? std::sqrt(voltageSquares / (voltageCount - 1)) : 0.0;
    for (int n = 1; n <= a.count; ++n) {
        const double c = std::cos(n * phase);
        const double si = std::sin(n * phase);
        a.inPhase[n] = sqrt2 * (s.Ir[n - 1] * c + s.Ii[n - 1] * si);
        a.quadrature[n] = sqrt2 * (s.Ii[n - 1] * c - s.Ir[n - 1] * si);
    }
    return a;
}

// Root-mean-square of the quadrature parts of harmonics 2 and up: the
// exponential law puts nothing there, so it measures the noise.
double noiseLevel(const AlignedHarmonics& a)
{
    double sum = 0;
    int terms = 0;
    for (int n = 2; n <= a.count; ++n, ++terms)
        sum += a.quadrature[n] * a.quadrature[n];
    return terms > 0 ? std::sqrt(sum / terms) : 0.0;
}

// Harmonics 2, 3, ... as long as each stands out of the noise.
int harmonicsAboveNoise(const AlignedHarmonics& a)
{
    const double floor = noiseMultiple * noiseLevel(a);
    int usable = 0;
    for (int n = 2; n <= a.count && a.inPhase[n] > floor; ++n)
        ++usable;
    return usable;
}

// Sums over harmonics 2 ... last of the measured values c_n and the model's
// K_n(x) = exp(-x)·I_n(x): the least-squares b of c_n = b·K_n is ck/kk.
struct FitSums
{
    FitSums(const PerHarmonic& c, const std::array<double, besselOrders>& k, int last)
    {
        for (int n = 2; n <= last; ++n) {
            ck += c[n] * k[n];
            kk += k[n] * k[n];
            cc += c[n] * c[n];
        }
    }
    double ck = 0, kk = 0, cc = 0;
};

// The fit of c_n = b·K_n(x) over harmonics 2 ... last: b solved for each x,
// so the misfit is a function of x alone.
class ExponentialFit
{
public:
    ExponentialFit(const PerHarmonic& c, int last) : c_(c), last_(last) {}

    double misfit(double x) const
    {
        std::array<double, besselOrders> k;
        scaledBesselI(x, besselOrders, k.data());
        const FitSums s(c_, k, last_);
        return s.cc - s.ck * s.ck / s.kk;
    }

    // ln x of the least misfit; NaN when it lies at either end of the range.
    double bestLogX() const
    {
        const double from = std::log(lowestX), to = std::log(highestX);
        const double step = (to - from) / (searchGridPoints - 1);
        int best = 0;
        double least = misfit(lowestX);
        for (int i = 1; i < searchGridPoints; ++i) {
            const double m = misfit(std::exp(from + i * step));
            if (m < least) {
                least = m;
                best = i;
            }
        }
        if (best == 0 || best == searchGridPoints - 1)
            return std::numeric_limits<double>::quiet_NaN();
        return goldenSection(from + (best - 1) * step, from + (best + 1) * step);
    }

    const PerHarmonic& values() const { return c_; }
    int last() const { return last_; }

private:
    double goldenSection(double a, double b) const
    {
        const double ratio = (std::sqrt(5.0) - 1) / 2;
        double u = b - ratio * (b - a), v = a + ratio * (b - a);
        double fu = misfit(std::exp(u)), fv = misfit(std::exp(v));
        for (int i = 0; i < refinementSteps && b - a > refinedWidth; ++i) {
            if (fu < fv) {
                b = v;
                v = u;
                fv = fu;
                u = b - ratio * (b - a);
                fu = misfit(std::exp(u));
            } else {
                a = u;
                u = v;
                fu = fv;
                v = a + ratio * (b - a);
                fv = misfit(std::exp(v));
            }
        }
        return 0.5 * (a + b);
    }

    PerHarmonic c_;
    int last_;
};

// Ion density from the ion current with the Bohm flux J = e·Ni·vB over the
// probe's end area, vB = sqrt(kTe·e/M), as the IV analysis relates Jp and Ni
// before its collisional correction.
double ionDensity(double ionCurrent, double kTe, const LangmuirSettings& settings)
{
    using namespace PlasmaConstants;
    const double area = pi * settings.probe_radius * settings.probe_radius;
    const double bohmVelocity = std::sqrt(kTe * elementaryCharge / (settings.ionmass * ionMassUnit));
    return ionCurrent / (elementaryCharge * bohmVelocity * area);
}

HarmonicResults failure(const char* reason)
{
    HarmonicResults r;
    r.errorText = QLatin1String(reason);
    return r;
}

// The values of a fit at its least misfit.
HarmonicResults fitResults(const ExponentialFit& fit, const AlignedHarmonics& a, double x,
                           const LangmuirSettings& settings)
{
    std::array<double, besselOrders> k;
    scaledBesselI(x, besselOrders, k.data());
    const PerHarmonic& c = fit.values();
    const FitSums sums(c, k, fit.last());
    const double b = sums.ck / sums.kk;
    // Misfit, and the fit's curvature in (b, x) for its uncertainty; the slope
    // of K_n is (K_{n-1} + K_{n+1})/2 - K_n.
    double squares = 0, slopeSquares = 0, cross = 0;
    for (int n = 2; n <= fit.last(); ++n) {
        const double miss = c[n] - b * k[n];
        const double slope = b * (0.5 * (k[n - 1] + k[n + 1]) - k[n]);
        squares += miss * miss;
        slopeSquares += slope * slope;
        cross += k[n] * slope;
    }
    const int fitted = fit.last() - 1;
    const double spread = squares / (fitted - 2);
    const double xVariance = spread * sums.kk / (sums.kk * slopeSquares - cross * cross);

    HarmonicResults r;
    r.harmonicsFitted = fitted;
    r.kTe = a.driveAmplitude / x;
    r.kTeError = r.kTe * std::sqrt(xVariance) / x;
    r.ionCurrent = 0.5 * b * k[0];
    r.ionSlope = (a.inPhase[1] - b * k[1]) / a.driveAmplitude;
    r.ionDensity = ionDensity(r.ionCurrent, r.kTe, settings);
    r.residual = std::sqrt(squares / sums.cc);
    if (!std::isfinite(r.kTe) || !std::isfinite(r.ionCurrent) || !std::isfinite(r.ionSlope))
        return failure("no convergence");
    return r;
}

double standardDeviation(const QVector<double>& values)
{
    double mean = 0;
    for (double v : values)
        mean += v;
    mean /= values.size();
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / (values.size() - 1));
}

} // namespace

QVector<double> HarmonicSpectrum::*const HarmonicSpectrum::parts[4] = {
    &HarmonicSpectrum::VR, &HarmonicSpectrum::Vi, &HarmonicSpectrum::Ir, &HarmonicSpectrum::Ii};

HarmonicResults analyseHarmonics(const HarmonicSpectrum& spectrum, const LangmuirSettings& settings)
{
    const AlignedHarmonics a = align(spectrum);
    // A drive that does not stand out of the voltage's other harmonics is noise.
    if (!(a.driveAmplitude > noiseMultiple * a.voltageNoise) || !std::isfinite(a.driveAmplitude))
        return failure("no drive voltage");
    for (int n = 1; n <= a.count; ++n)
        if (!std::isfinite(a.inPhase[n]) || !std::isfinite(a.quadrature[n]))
            return failure("harmonics not finite");
    if ((a.count >= 2 && a.inPhase[2] <= 0) || (a.count >= 3 && a.inPhase[3] <= 0))
        return failure("non-positive harmonic ratios");
    const int usable = harmonicsAboveNoise(a);
    if (usable < fewestFittedHarmonics)
        return failure("fewer than three usable harmonics");

    const ExponentialFit fit(a.inPhase, usable + 1);
    const double logX = fit.bestLogX();
    if (std::isnan(logX))
        return failure("no convergence");
    return fitResults(fit, a, std::exp(logX), settings);
}

HarmonicResults analyseAveragedHarmonics(const HarmonicSpectrum& mean, const QVector<HarmonicSpectrum>& scans,
                                         const LangmuirSettings& settings)
{
    HarmonicResults r = analyseHarmonics(mean, settings);
    if (!r.determined())
        return r;
    QVector<double> temperatures;
    for (const HarmonicSpectrum& scan : scans) {
        const HarmonicResults single = analyseHarmonics(scan, settings);
        if (single.determined())
            temperatures.append(single.kTe);
    }
    r.kTeError = temperatures.size() >= 2 ? standardDeviation(temperatures) : HarmonicResults::notDetermined;
    return r;
}
