// Feeds the 2,000 frames of a time-resolved acquisition (10 scans x 100 delays
// x 2 bands) into a shown session window through dataUpdate, one frame per
// pass of the event loop, as fast as the loop allows, and measures how many
// frames per second get filed and displayed and the longest time the loop was
// kept from running (a stall the operator would feel). Then shows the trend of
// a time-resolved session of 2,000 time steps (three scans each) that were never
// analysed, with the diagnostics off as the program has them: how long until
// it is complete and the longest stall meanwhile.
// Runs offscreen, in a scratch working directory with its own settings store.

#include "window/PlotManager.h"

#include "SimulatedAcquisition.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Diagnostics are handled (and dropped) as a program that logs them would.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Figures
{
    double framesPerSecond = 0;
    double maxStallMs = 0;
};

Figures feed(PlotManager& session, const QVector<scanResult>& frames)
{
    Figures figures;
    QElapsedTimer total;
    QElapsedTimer sinceTick;
    int next = 0;
    QTimer feeder;
    feeder.setInterval(0);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        figures.maxStallMs = std::max(figures.maxStallMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.start();
        session.dataUpdate(frames[next++]);
        if (next == frames.size()) {
            feeder.stop();
            QCoreApplication::exit();
        }
    });
    total.start();
    sinceTick.start();
    feeder.start();
    QCoreApplication::exec();
    // The display catches up with the last frame.
    session.refreshValues();
    QCoreApplication::processEvents();
    figures.maxStallMs = std::max(figures.maxStallMs, sinceTick.nsecsElapsed() / 1e6);
    figures.framesPerSecond = frames.size() / (total.nsecsElapsed() / 1e9);
    return figures;
}

// Cost of one display refresh of the full session (analysis, curves and a
// repaint of the three plots): what every frame would cost without coalescing.
double refreshMilliseconds(PlotManager& session)
{
    constexpr int rounds = 20;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        session.refreshValues();
        session.updateGraph();
        QCoreApplication::processEvents(); // the canvases paint on the update request
    }
    return timer.nsecsElapsed() / 1e6 / rounds;
}

// A trend over a time-resolved session of `delays` time steps, none analysed
// before: the time until every step is analysed and plotted, and the longest
// the event loop waited meanwhile.
Figures trendOfLongSession(int delays)
{
    AcquisitionPlan plan;
    plan.scans = 3;
    plan.delays = delays;
    PlotManager session(ConfigParam(), false);
    for (const scanResult& frame : simulatedAcquisition(plan))
        session.data().add(frame);
    QElapsedTimer total, sinceTick;
    Figures figures;
    total.start();
    sinceTick.start();
    session.showTrends();
    while (!session.trendComplete()) {
        figures.maxStallMs = std::max(figures.maxStallMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.start();
        QCoreApplication::processEvents();
    }
    figures.maxStallMs = std::max(figures.maxStallMs, sinceTick.nsecsElapsed() / 1e6);
    figures.framesPerSecond = delays / (total.nsecsElapsed() / 1e9);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        return 1;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit()); // private (0700) like a runtime directory
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
    qInstallMessageHandler(dropMessage);

    AcquisitionPlan plan;
    plan.scans = 10;
    plan.delays = 100;
    const QVector<scanResult> frames = simulatedAcquisition(plan);

    PlotManager session(ConfigParam(), false);
    session.resize(1280, 900);
    session.show();
    QCoreApplication::processEvents();

    const Figures figures = feed(session, frames);

    const PositionWrapper& position = session.data().positions.value(0);
    const bool allFiled = session.data().positions.size() == 1 && position.scans.size() == plan.scans
                          && std::all_of(position.scans.begin(), position.scans.end(), [&](const ScanGroup& g) {
                                 return g.Delays200.size() == plan.delays && g.Delays400.size() == plan.delays;
                             });
    const auto* delaySlider = session.findChild<QSlider*>(QStringLiteral("delaySlider"));
    if (!allFiled || !delaySlider || delaySlider->maximum() != plan.delays - 1) {
        std::fprintf(stderr, "not every frame was filed and shown\n");
        return 1;
    }
    std::printf("window_frames_per_s: %.0f frames/s\n", figures.framesPerSecond);
    std::printf("window_max_stall_ms: %.1f ms\n", figures.maxStallMs);
    std::printf("window_refresh_ms: %.2f ms\n", refreshMilliseconds(session));

    // The program runs with its diagnostics off.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    constexpr int trendSteps = 2000;
    const Figures trend = trendOfLongSession(trendSteps);
    std::printf("trend_2000_steps_ms: %.0f ms\n", trendSteps / trend.framesPerSecond * 1000);
    std::printf("trend_max_stall_ms: %.1f ms\n", trend.maxStallMs);
    return 0;
}
