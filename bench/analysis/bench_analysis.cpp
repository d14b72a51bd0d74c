// Speed of the full analysis run: one 500-point probe curve averaged from
// several sweeps, so every run analyses the nominal curve and four shifted
// ones (the error estimate). Prints
//   analyses_per_s: N runs/s            with the debug lines switched off
//   analyses_per_s_debug_handled: N runs/s  with them on, to a handler that drops them
#include "analysis/LangmuirSettings.h"
#include "analysis/PlasmaAnalysis.h"
#include "analysis/ScanRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cmath>
#include <cstdio>

namespace {

ScanRecord probeCurve()
{
    const double kTe = 3, Vp = 10, ionCurrent = 1e-5, electronCurrent = 5e-3;
    ScanRecord scan;
    scan.sweepCount = 10;
    for (int i = 0; i < 500; ++i) {
        const double v = -50 + 100.0 * i / 499;
        // A little deterministic ripple, as a measured curve has.
        const double ripple = 1e-7 * std::sin(0.7 * i);
        scan.V.append(v);
        scan.I.append(-ionCurrent + electronCurrent * std::exp((std::min(v, Vp) - Vp) / kTe) + ripple);
        scan.stdV.append(0.01);
        scan.stdI.append(2e-7);
    }
    return scan;
}

double runsPerSecond(ScanRecord& scan, const LangmuirSettings& settings, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    long runs = 0;
    while (timer.nsecsElapsed() < qint64(seconds * 1e9)) {
        for (int i = 0; i < 100; ++i)
            analyse(scan, settings);
        runs += 100;
    }
    return runs / (timer.nsecsElapsed() * 1e-9);
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ScanRecord scan = probeCurve();
    const LangmuirSettings settings;

    QLoggingCategory::setFilterRules(QStringLiteral("orvel.analysis.debug=false"));
    analyse(scan, settings);
    if (!scan.errorText.isEmpty() || !std::isfinite(scan.parameters.kTe_error)) {
        std::fprintf(stderr, "analysis failed: %s\n", qPrintable(scan.errorText));
        return 1;
    }
    std::printf("analyses_per_s: %.0f runs/s\n", runsPerSecond(scan, settings, 2.0));

    QLoggingCategory::setFilterRules(QStringLiteral("orvel.analysis.debug=true"));
    qInstallMessageHandler(dropMessage);
    std::printf("analyses_per_s_debug_handled: %.0f runs/s\n", runsPerSecond(scan, settings, 1.0));
    return 0;
}
