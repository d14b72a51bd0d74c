// Files a time-resolved acquisition (10 scans x 100 delays x 2 bands, 16
// harmonics, one position) the way the session window does, frame by frame,
// and reports the sustained rate, the slowest frame and the memory the filed
// data take; then an averaged acquisition of 1000 scans, with the rate and
// the time the last scan's rebuild of the averages took.

#include "acquisition/measuredData.h"

#include "SimulatedAcquisition.h"

#include <QElapsedTimer>

#include <malloc.h>

#include <algorithm>
#include <cstdio>

namespace {

double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

struct Filing
{
    double framesPerSecond;
    double worstFrameMs;
    double lastFrameMs; // the last frame that rebuilt the averages
    double memoryBytes;
};

Filing file(const QVector<scanResult>& frames)
{
    const double heapBefore = heapBytes();
    measuredData data;
    qint64 total = 0, worst = 0, last = 0;
    QElapsedTimer timer;
    for (const scanResult& frame : frames) {
        timer.start();
        data.add(frame);
        const qint64 elapsed = timer.nsecsElapsed();
        total += elapsed;
        worst = std::max(worst, elapsed);
        if (frame.freq < 150000.0) // a scan's first frame brings the group before it into the averages
            last = elapsed;
    }
    return {frames.size() / (total * 1e-9), worst * 1e-6, last * 1e-6, heapBytes() - heapBefore};
}

} // namespace

int main()
{
    AcquisitionPlan plan;
    plan.scans = 10;
    plan.delays = 100;
    plan.harmonics = 16;
    const QVector<scanResult> frames = simulatedAcquisition(plan);
    const Filing resolved = file(frames);
    std::printf("filing_frames_per_s: %.0f frames/s\n", resolved.framesPerSecond);
    std::printf("filing_worst_frame_ms: %.2f ms\n", resolved.worstFrameMs);
    std::printf("filing_memory_mb_per_1000_frames: %.1f MB\n", resolved.memoryBytes / 1e6 / (frames.size() / 1000.0));

    // One delay, many scans: every scan rebuilds the averaged entry, with the
    // scatter of all the scans before it.
    plan.scans = 1000;
    plan.delays = 1;
    const Filing averaged = file(simulatedAcquisition(plan));
    std::printf("filing_averaged_1000_scans_frames_per_s: %.0f frames/s\n", averaged.framesPerSecond);
    std::printf("filing_averaged_1000_scans_last_rebuild_ms: %.2f ms\n", averaged.lastFrameMs);
    return 0;
}
