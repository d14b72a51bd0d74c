#include "analysis/PlasmaAnalysis.h"

#include "analysis/AnalysisContext.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/LineFit.h"
#include "analysis/Potentials.h"
#include "analysis/ScanRecord.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcAnalysis, "orvel.analysis")

namespace {

constexpr int kIonCurrentPoints = 15;
constexpr int kDensityPasses = 100;

// kTe (eV) is the slope of voltage over ln(current) between the last rise
// through 30 % and through 90 % of the largest current.
double fitElectronTemperature(AnalysisContext& context)
{
    const IvCurve& curve = context.curve;
    double largest = -std::numeric_limits<double>::infinity();
    for (const IvPoint& p : curve)
        largest = std::max(largest, p.current);
    const int first = crossingIndexFromEnd(curve, 0.3 * largest);
    const int last = crossingIndexFromEnd(curve, 0.9 * largest);

    LineFit fit;
    if (first >= 0 && last >= 0) {
        for (int i = first; i <= last; ++i)
            fit.add(std::log(curve[i].current), curve[i].voltage);
    }
    if (fit.count() < 2) {
        context.scan.errorText = QStringLiteral("kTe error.");
        return std::numeric_limits<double>::quiet_NaN();
    }
    return fit.slope();
}

// Magnitude of the mean of the first currents (the ion-saturation end) over
// the probe's end area. A curve shorter than the usual count uses the points it
// has.
double ionCurrentDensity(const AnalysisContext& context)
{
    const int count = std::min(kIonCurrentPoints, int(context.curve.size()));
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += context.curve[i].current;
    return std::fabs(sum / count) / context.probeArea;
}

// Ni from Jp = e·Ni·v, where the ion velocity is the Bohm velocity slowed by
// collisions in the sheath (about five Debye lengths thick) and the Debye
// length itself depends on Ni: a fixed-point iteration of exactly 100 passes,
// kept in extended precision.
void ionDensity(AnalysisContext& context, CurveResults& results)
{
    using namespace PlasmaConstants;
    const LangmuirSettings& settings = context.settings;
    qCDebug(lcAnalysis) << "Pressure: " << settings.pressure;
    const long double meanFreePath =
        (long double)boltzmann * settings.gas_temperature / ((long double)settings.pressure * pascalsPerTorr * settings.sigmaN);
    context.ionMeanFreePath = double(meanFreePath);
    const long double kTe = results.kTe;
    const long double jp = results.Jp;
    const long double bohmVelocity = std::sqrt(kTe * elementaryCharge / context.ionMassKg);
    qCDebug(lcAnalysis) << "Ion Mean Free Path: " << context.ionMeanFreePath;
    qCDebug(lcAnalysis) << "Bohm Velocity: " << double(bohmVelocity);

    long double velocity = bohmVelocity;
    long double ni = 0;
    long double debyeLength = 0;
    for (int pass = 1; pass <= kDensityPasses; ++pass) {
        ni = jp / (velocity * elementaryCharge);
        debyeLength = std::sqrt(std::fabs(vacuumPermittivity * kTe / (elementaryCharge * ni)));
        velocity = bohmVelocity / (1 + 5 * debyeLength / meanFreePath);
        qCDebug(lcAnalysis) << "Iteration : " << pass << " gives Ni: " << double(ni);
    }
    results.Ni = double(ni);
    results.Ldebye = double(debyeLength);
}

// A density the curve cannot give (a kTe of 0 eV leaves no Bohm velocity, no
// ion current no density, currents beyond the range of a double no Jp) ends
// the analysis with a word; the values it did not determine are NaN.
bool densitiesAreFinite(AnalysisContext& context, CurveResults& results)
{
    if (std::isfinite(results.Jp) && std::isfinite(results.Ni) && std::isfinite(results.Ldebye) && results.Ni > 0)
        return true;
    context.scan.errorText = QStringLiteral("Error while calculating Ni: no finite density from Jp %1 A/m^2 and "
                                            "kTe %2 eV")
                                 .arg(numberText(results.Jp), numberText(results.kTe));
    if (!std::isfinite(results.Jp))
        results.Jp = std::numeric_limits<double>::quiet_NaN();
    // The Debye length follows from the density: neither is determined.
    results.Ni = results.Ldebye = std::numeric_limits<double>::quiet_NaN();
    return false;
}

bool temperatureAndDensities(AnalysisContext& context, CurveResults& results)
{
    results.kTe = fitElectronTemperature(context);
    if (!std::isfinite(results.kTe) || results.kTe < 0) {
        context.scan.errorText = QStringLiteral("Error while calculating kTe from slope");
        return false;
    }
    results.Jp = ionCurrentDensity(context);
    ionDensity(context, results);
    if (!densitiesAreFinite(context, results))
        return false;
    results.Je = 0;
    results.Ne = 0;
    return true;
}

// The settings an analysis cannot work with, named for the operator: a number
// it reads outside the range the dialog or the panel allows, or a gas at 0 K
// (whose mean free path is 0). Empty when it can run.
QString unusableSetting(const LangmuirSettings& settings)
{
    QString problem = settings.outOfRange({"ionmass", "probe_radius", "gas_temperature", "pressure", "sigmaN",
                                           "nDerivativePoints", "VsatFactor", "electronReflectVoltage"});
    if (problem.isEmpty() && settings.bUseUserVp)
        problem = settings.outOfRange({"setVp"});
    if (problem.isEmpty() && !(settings.gas_temperature > 0))
        problem = QStringLiteral("Gas temperature %1 K (must be above 0 K)").arg(settings.gas_temperature);
    return problem.isEmpty() ? problem : QStringLiteral("Unusable analysis setting: ") + problem;
}

// The scan's curve; lists of unequal length give as many points as the
// shortest of V and I holds.
IvCurve nominalCurve(const ScanRecord& scan)
{
    const int n = std::min(scan.V.size(), scan.I.size());
    IvCurve curve(n);
    for (int i = 0; i < n; ++i)
        curve[i] = {scan.I[i], scan.V[i]};
    return curve;
}

// The four curves of the error estimate: currents shifted up and down by their
// deviations, then voltages. A deviation list shorter than the curve counts
// as zero beyond its end.
enum class Shift { CurrentUp, CurrentDown, VoltageUp, VoltageDown };
constexpr Shift kShifts[] = {Shift::CurrentUp, Shift::CurrentDown, Shift::VoltageUp, Shift::VoltageDown};

void shiftedCurve(const IvCurve& nominal, const ScanRecord& scan, Shift shift, IvCurve& out)
{
    const bool current = shift == Shift::CurrentUp || shift == Shift::CurrentDown;
    const double sign = shift == Shift::CurrentUp || shift == Shift::VoltageUp ? 1.0 : -1.0;
    const QVector<double>& deviations = current ? scan.stdI : scan.stdV;
    const int n = nominal.size();
    const int shifted = std::min(n, int(deviations.size()));
    out.resize(n);
    IvPoint* points = out.data();
    std::copy(nominal.constBegin(), nominal.constEnd(), points);
    for (int i = 0; i < shifted; ++i) {
        double& value = current ? points[i].current : points[i].voltage;
        value += sign * deviations[i];
    }
}

// Element-wise range of the perturbed results. NaN never widens it.
struct ResultRange
{
    void include(const CurveResults& r)
    {
        if (empty) {
            maximum = minimum = r;
            empty = false;
            return;
        }
        for (double CurveResults::*value : CurveResults::values) {
            if (r.*value > maximum.*value)
                maximum.*value = r.*value;
            if (r.*value < minimum.*value)
                minimum.*value = r.*value;
        }
    }
    double error(double CurveResults::*value, const CurveResults& nominal) const
    {
        return std::max(std::fabs(maximum.*value - nominal.*value), std::fabs(minimum.*value - nominal.*value));
    }

    bool empty = true;
    CurveResults maximum, minimum;
};

void storeValues(const CurveResults& r, results& out)
{
    out.kTe = r.kTe;
    out.Je = r.Je;
    out.Jp = r.Jp;
    out.Ni = r.Ni;
    out.Ldebye = r.Ldebye;
}

void storeErrors(const ResultRange& range, const CurveResults& r, results& out)
{
    out.kTe_error = range.error(&CurveResults::kTe, r);
    out.Je_error = range.error(&CurveResults::Je, r);
    out.Jp_error = range.error(&CurveResults::Jp, r);
    out.Ni_error = range.error(&CurveResults::Ni, r);
    out.Ldebye_error = range.error(&CurveResults::Ldebye, r);
}

} // namespace

bool analyseCurve(AnalysisContext& context, CurveResults& results)
{
    results.reset();
    return findPotentials(context, results) && temperatureAndDensities(context, results);
}

void analyse(ScanRecord& scan, const LangmuirSettings& settings)
{
    AnalysisContext context(scan, settings);
    if (scan.V.isEmpty()) {
        scan.errorText = QStringLiteral("No Data");
        return;
    }
    scan.parameters.reset();
    const QString unusable = unusableSetting(settings);
    if (!unusable.isEmpty()) {
        scan.errorText = unusable;
        return;
    }
    computeIonWindow(context);
    scan.errorText.clear();
    const IvCurve nominal = nominalCurve(scan);

    const bool estimateErrors = scan.sweepCount > 1;
    ResultRange range;
    if (estimateErrors) {
        for (Shift shift : kShifts) {
            shiftedCurve(nominal, scan, shift, context.curve);
            CurveResults shifted;
            analyseCurve(context, shifted);
            range.include(shifted);
        }
        scan.errorText.clear();
    }

    CurveResults nominalResults;
    context.curve = nominal;
    analyseCurve(context, nominalResults);
    storeValues(nominalResults, scan.parameters);
    if (estimateErrors)
        storeErrors(range, nominalResults, scan.parameters);
}
