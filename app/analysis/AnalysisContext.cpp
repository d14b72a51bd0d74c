#include "analysis/AnalysisContext.h"

#include "analysis/LangmuirSettings.h"

#include <cmath>
#include <limits>

double CurveResults::*const CurveResults::values[CurveResults::valueCount] = {
    &CurveResults::Vp, &CurveResults::Vf, &CurveResults::kTe, &CurveResults::Je,     &CurveResults::Ne,
    &CurveResults::Jp, &CurveResults::Ni, &CurveResults::Vsat, &CurveResults::Ldebye,
};

void CurveResults::reset()
{
    for (double CurveResults::*value : values)
        this->*value = std::numeric_limits<double>::quiet_NaN();
}

AnalysisContext::AnalysisContext(ScanRecord& scan, const LangmuirSettings& settings)
    : scan(scan)
    , settings(settings)
    , ionWindowCharge(std::numeric_limits<double>::quiet_NaN())
    , ionWindowStart(std::numeric_limits<double>::quiet_NaN())
    , ionWindowEnd(std::numeric_limits<double>::quiet_NaN())
    , probeArea(PlasmaConstants::pi * settings.probe_radius * settings.probe_radius)
    , ionMeanFreePath(std::numeric_limits<double>::quiet_NaN())
    , ionMassKg(settings.ionmass * PlasmaConstants::ionMassUnit)
{
}

double AnalysisContext::ionThreshold() const
{
    const double width = ionWindowEnd - ionWindowStart;
    if (!(width > 0))
        return std::numeric_limits<double>::quiet_NaN();
    return std::fabs(ionWindowCharge) / width;
}
