// A long time-resolved acquisition: 10 scans of 1000 delays in both bands
// (20,000 frames of 16 harmonics, a 1 ms period at 1 us resolution), filed
// frame by frame, saved and exported as orvel-cli acquire and export do it;
// then the session file it wrote opened again. Each part runs in a child
// process of its own, so that its peak resident memory is its own: the live
// session's peak after filing, after the save and after the export (every
// table and the IV block), and the peak of opening the file.

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CsvExport.h"
#include "session/ExportSettings.h"
#include "session/SessionFile.h"

#include "InChild.h"
#include "SimulatedAcquisition.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// What a child reports: its peaks and timings, in the order it took them.
struct Figures
{
    bool ok = false;
    double filedPeakMb = 0, savedPeakMb = 0, exportedPeakMb = 0, openedPeakMb = 0;
    double fileSeconds = 0, saveSeconds = 0, exportSeconds = 0, openSeconds = 0;
    double worstFrameMs = 0;
};

double seconds(QElapsedTimer& timer)
{
    const double s = timer.nsecsElapsed() * 1e-9;
    timer.restart();
    return s;
}

// The frames are made as they are filed, as they arrive from the sensor: a
// list of them all would be part of the peak.
Figures acquireSaveExport(const AcquisitionPlan& plan, const QString& sessionPath, const QString& exportPath)
{
    Figures f;
    const QDateTime filedAt = QDateTime::fromSecsSinceEpoch(1700000000);
    measuredData data;
    data.deviceID = QStringLiteral("SIM0001");
    std::mt19937 noise(plan.seed);
    QElapsedTimer timer, frameTimer;
    timer.start();
    for (int scan = 1; scan <= plan.scans; ++scan)
        for (int d = 0; d < plan.delays; ++d)
            for (bool high : {false, true}) {
                const scanResult frame = simulation::frame(plan, scan, d, high, noise);
                frameTimer.start();
                data.add(frame, filedAt);
                f.worstFrameMs = std::max(f.worstFrameMs, frameTimer.nsecsElapsed() * 1e-6);
            }
    f.fileSeconds = seconds(timer);
    f.filedPeakMb = peakMegabytes();

    const LangmuirSettings settings;
    QString reason;
    f.ok = saveSessionFile(sessionPath, data, ConfigParam(), settings, reason) == SessionSave::Saved;
    f.saveSeconds = seconds(timer);
    f.savedPeakMb = peakMegabytes();

    ExportSettings options;
    options.ivInterpolate = true;
    options.plasmaParameters = true;
    options.errorsAndHarmonics = true;
    f.ok = f.ok && exportSession(exportPath, options, data, settings).isEmpty();
    f.exportSeconds = seconds(timer);
    f.exportedPeakMb = peakMegabytes();
    return f;
}

Figures open(const QString& sessionPath)
{
    Figures f;
    QFile file(sessionPath);
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
    QElapsedTimer timer;
    timer.start();
    f.ok = file.open(QIODevice::ReadOnly) && readSession(file, data, config, settings);
    f.openSeconds = seconds(timer);
    f.openedPeakMb = peakMegabytes();
    return f;
}

} // namespace

int main()
{
    // As the programs run: the analysis' diagnostics off.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    AcquisitionPlan plan;
    plan.scans = 10;
    plan.delays = 1000;
    plan.delayStep = 1;
    const int frames = plan.scans * plan.delays * 2;

    QTemporaryDir dir;
    const QString sessionPath = dir.filePath(QStringLiteral("long.ldf"));
    const QString exportPath = dir.filePath(QStringLiteral("long.csv"));
    const double baselineMb = inChild([] {
        Figures f;
        f.ok = true;
        f.filedPeakMb = peakMegabytes();
        return f;
    }).filedPeakMb;
    const Figures live = inChild([&] { return acquireSaveExport(plan, sessionPath, exportPath); });
    const double fileMb = QFileInfo(sessionPath).size() / 1e6;
    const Figures opened = inChild([&] { return open(sessionPath); });
    if (!live.ok || !opened.ok) {
        std::fprintf(stderr, "the session could not be saved, exported or opened\n");
        return 1;
    }

    std::printf("long_session_frames: %d frames\n", frames);
    std::printf("long_session_baseline_peak_mb: %.1f MB\n", baselineMb);
    std::printf("long_session_filed_peak_mb: %.1f MB\n", live.filedPeakMb);
    std::printf("long_session_kb_per_frame: %.2f KB\n", (live.filedPeakMb - baselineMb) * 1024.0 / frames);
    std::printf("long_session_filing_frames_per_s: %.0f frames/s\n", frames / live.fileSeconds);
    std::printf("long_session_worst_frame_ms: %.2f ms\n", live.worstFrameMs);
    std::printf("long_session_saved_peak_mb: %.1f MB\n", live.savedPeakMb);
    std::printf("long_session_file_mb: %.1f MB\n", fileMb);
    std::printf("long_session_save_mb_per_s: %.1f MB/s\n", fileMb / live.saveSeconds);
    std::printf("long_session_exported_peak_mb: %.1f MB\n", live.exportedPeakMb);
    std::printf("long_session_export_s: %.2f s\n", live.exportSeconds);
    std::printf("long_session_opened_peak_mb: %.1f MB\n", opened.openedPeakMb);
    std::printf("long_session_open_mb_per_s: %.1f MB/s\n", fileMb / opened.openSeconds);
    std::printf("long_session_opened_to_live_peak_ratio: %.2f x\n", opened.openedPeakMb / live.savedPeakMb);
    return 0;
}
