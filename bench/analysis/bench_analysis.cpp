// Speed of the full analysis run: one 500-point probe curve averaged from
// several sweeps, so every run analyses the nominal curve and four shifted
// ones (the error estimate); and of the harmonic analysis of one frame's
// sixteen harmonics. Prints
//   analyses_per_s: N runs/s            with the debug lines switched off
//   analyses_per_s_debug_handled: N runs/s  with them on, to a handler that drops them
//   harmonic_analyses_per_s: N runs/s
#include "analysis/HarmonicAnalysis.h"
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

// The harmonics of one period of a probe at kTe 3 eV driven with 40 V below
// the plasma potential, with an ion current growing with the bias.
HarmonicSpectrum probeHarmonics()
{
    constexpr int samples = 1024, harmonics = 16;
    HarmonicSpectrum s;
    for (QVector<double>* v : {&s.VR, &s.Vi, &s.Ir, &s.Ii})
        v->fill(0.0, harmonics);
    for (int j = 0; j < samples; ++j) {
        const double phase = 2 * M_PI * j / samples;
        const double v = -45 + 40 * std::cos(phase);
        const double i = -(1e-3 + 2e-5 * (10 - v)) + 0.05 * std::exp((v - 10) / 3);
        for (int h = 1; h <= harmonics; ++h) {
            const double scale = std::sqrt(2.0) / samples;
            s.VR[h - 1] += v * std::cos(h * phase) * scale;
            s.Vi[h - 1] += v * std::sin(h * phase) * scale;
            s.Ir[h - 1] += i * std::cos(h * phase) * scale;
            s.Ii[h - 1] += i * std::sin(h * phase) * scale;
        }
    }
    return s;
}

template <typename Run>
double runsPerSecond(Run run, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    long runs = 0;
    while (timer.nsecsElapsed() < qint64(seconds * 1e9)) {
        for (int i = 0; i < 100; ++i)
            run();
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
    const auto analysis = [&] { analyse(scan, settings); };
    std::printf("analyses_per_s: %.0f runs/s\n", runsPerSecond(analysis, 2.0));

    QLoggingCategory::setFilterRules(QStringLiteral("orvel.analysis.debug=true"));
    qInstallMessageHandler(dropMessage);
    std::printf("analyses_per_s_debug_handled: %.0f runs/s\n", runsPerSecond(analysis, 1.0));

    const HarmonicSpectrum spectrum = probeHarmonics();
    if (!analyseHarmonics(spectrum, settings).determined()) {
        std::fprintf(stderr, "harmonic analysis failed\n");
        return 1;
    }
    std::printf("harmonic_analyses_per_s: %.0f runs/s\n",
                runsPerSecond([&] { analyseHarmonics(spectrum, settings); }, 1.0));
    return 0;
}
