#include "analysis/Potentials.h"

#include "analysis/AnalysisContext.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/ScanRecord.h"

#include <algorithm>

namespace {

bool fail(AnalysisContext& context, const char* message)
{
    context.scan.errorText = QLatin1String(message);
    return false;
}

bool voltagesAscend(const IvCurve& curve)
{
    for (int i = 1; i < curve.size(); ++i) {
        if (curve[i].voltage < curve[i - 1].voltage)
            return false;
    }
    return true;
}

// Vp is where dI/dV peaks above the threshold voltage Vth (the first point from
// `start` whose current exceeds the ion threshold); Vsat is where the slope
// has fallen back below VsatFactor of that peak.
bool findPlasmaPotential(AnalysisContext& context, int start, CurveResults& results)
{
    const IvCurve& curve = context.curve;
    const double threshold = context.ionThreshold();
    int above = start;
    // Written as "not greater" so that a NaN threshold finds no point.
    while (above < curve.size() && !(curve[above].current > threshold))
        ++above;
    if (above >= curve.size())
        return false;
    const double thresholdVoltage = curve[above].voltage;

    derivative(curve, start, context.derivative, context.settings.nDerivativePoints);
    const DerivativeCurve& slopes = context.derivative;
    double maximum = 0;
    int maximumIndex = -1;
    int dropIndex = -1;
    for (int k = 0; k < slopes.size(); ++k) {
        if (!(slopes[k].voltage > thresholdVoltage))
            continue;
        if (slopes[k].slope > maximum) {
            maximum = slopes[k].slope;
            maximumIndex = k;
        } else if (slopes[k].slope < maximum * context.settings.VsatFactor) {
            dropIndex = k;
            break;
        }
    }
    if (maximumIndex < 0)
        return false;
    results.Vp = slopes[maximumIndex].voltage;
    results.Vsat = slopes[dropIndex >= 0 ? dropIndex : slopes.size() - 1].voltage;
    return true;
}

} // namespace

bool computeIonWindow(AnalysisContext& context)
{
    const QVector<double>& V = context.scan.V;
    const QVector<double>& I = context.scan.I;
    const int n = std::min(V.size(), I.size());
    if (n < 1)
        return false;
    const double reflectVoltage = context.settings.electronReflectVoltage;
    context.ionWindowStart = V[0];
    if (reflectVoltage > V[0]) {
        context.ionWindowEnd = reflectVoltage;
        context.ionWindowCharge = integrate(V.constData(), I.constData(), n, V[0], reflectVoltage);
        return true;
    }
    // A single point has no second one to span a window: the window stays
    // empty and no ion threshold can be formed.
    context.ionWindowEnd = n > 1 ? V[1] : V[0];
    context.ionWindowCharge = n > 1 ? 0.5 * (I[0] + I[1]) * (V[1] - V[0]) : 0.0;
    return false;
}

bool findPotentials(AnalysisContext& context, CurveResults& results)
{
    const IvCurve& curve = context.curve;
    const int n = curve.size();
    if (n == 0)
        return fail(context, "No data.");
    if (!voltagesAscend(curve))
        return fail(context, "IV scan data must have ascending voltages.");

    const int crossing = crossingIndexFromEnd(curve, 0.0);
    if (crossing >= 1 && crossing < n)
        results.Vf = interpolateCrossing(curve[crossing - 1], curve[crossing]);
    else if (curve[n - 1].current < 0)
        return fail(context, "Data only contains negative current data");
    else if (curve[0].current > 0)
        return fail(context, "Data only contains positive current data");

    if (context.settings.bUseUserVp) {
        results.Vp = context.settings.setVp;
        results.Vsat = context.settings.setVp;
        return true;
    }
    // A curve without a crossing (NaN currents) is searched from its start.
    if (!findPlasmaPotential(context, std::max(crossing, 0), results))
        return fail(context, "Unable to find Vp.");
    return true;
}
