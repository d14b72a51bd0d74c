// Files a time-resolved acquisition (10 scans x 100 delays x 2 bands, 16
// harmonics, one position) the way the session window does, frame by frame,
// and reports the sustained rate, the slowest frame and the memory the filed
// data take.

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

} // namespace

int main()
{
    AcquisitionPlan plan;
    plan.scans = 10;
    plan.delays = 100;
    plan.harmonics = 16;
    const QVector<scanResult> frames = simulatedAcquisition(plan);

    const double heapBefore = heapBytes();
    measuredData data;
    qint64 total = 0, worst = 0;
    QElapsedTimer timer;
    for (const scanResult& frame : frames) {
        timer.start();
        data.add(frame);
        const qint64 elapsed = timer.nsecsElapsed();
        total += elapsed;
        worst = std::max(worst, elapsed);
    }
    const double heapAfter = heapBytes();

    std::printf("filing_frames_per_s: %.0f frames/s\n", frames.size() / (total * 1e-9));
    std::printf("filing_worst_frame_ms: %.2f ms\n", worst * 1e-6);
    std::printf("filing_memory_mb_per_1000_frames: %.1f MB\n",
                (heapAfter - heapBefore) / 1e6 / (frames.size() / 1000.0));
    return 0;
}
