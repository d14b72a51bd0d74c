#pragma once

#include "analysis/Numerics.h"

class LangmuirSettings;
struct ScanRecord;

// Physical constants of the analysis, exactly as its results have always been
// computed with (note the proton mass, not the atomic mass unit, as the unit of
// the ion mass).
namespace PlasmaConstants {
constexpr double boltzmann = 1.380650424e-23;          // J/K
constexpr double elementaryCharge = 1.602176487e-19;   // C
constexpr double vacuumPermittivity = 8.854187817e-12; // F/m
constexpr double pascalsPerTorr = 133.3223683684;
constexpr double ionMassUnit = 1.6726216639163685e-27; // kg
constexpr double pi = 3.141592653589793;
} // namespace PlasmaConstants

// The values one curve analysis produces. All NaN until determined.
struct CurveResults
{
    CurveResults() { reset(); }
    void reset();

    double Vp, Vf, kTe, Je, Ne, Jp, Ni, Vsat, Ldebye;

    static constexpr int valueCount = 9;
    static double CurveResults::*const values[valueCount];
};

// One analysis run: the scan (whose error text the checks set), the settings,
// the curve being analysed, and the values derived once per run.
struct AnalysisContext
{
    AnalysisContext(ScanRecord& scan, const LangmuirSettings& settings);

    // Magnitude of the mean current in the ion-current window; NaN when the
    // window has no width.
    double ionThreshold() const;

    ScanRecord& scan;
    const LangmuirSettings& settings;
    IvCurve curve;

    double ionWindowCharge;
    double ionWindowStart;
    double ionWindowEnd;
    double probeArea;       // m²
    double ionMeanFreePath; // m
    double ionMassKg;

    // Scratch list of the Vp search, kept across the curves of a run.
    DerivativeCurve derivative;
};
