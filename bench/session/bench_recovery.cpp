// What a recovery copy costs the thread that gathers the frames, for the
// session of a long time-resolved acquisition (20 scans x 100 delays x 2 bands,
// 16 harmonics): taking the session for a copy, filing the next frame after
// that (which unshares the part of the data it touches), and, on the copy's
// own thread, writing it. Also the pause the copies then keep between writes.

#include "session/SessionJournal.h"

#include "SimulatedAcquisition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double msSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() * 1e-6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    AcquisitionPlan plan;
    plan.scans = 20;
    plan.delays = 100;
    plan.harmonics = 16;
    const QVector<scanResult> frames = simulatedAcquisition(plan);

    SessionContents session;
    for (int i = 0; i + 1 < frames.size(); ++i)
        session.data.add(frames[i]);

    QTemporaryDir dir;
    SessionRecovery recovery([&] { return session; });
    recovery.setFolder(dir.filePath(QStringLiteral("recovery")));

    QElapsedTimer timer;
    // Held to the end, as a copy being written holds it, so that the frame
    // filed next finds its data shared.
    timer.start();
    const SessionContents taken = session;
    const double takeMs = msSince(timer);

    timer.start();
    session.data.add(frames.last());
    const double fileAfterTakeMs = msSince(timer);

    // The same frame filed again (it joins its scan group once more) with no
    // copy holding the data: the filing cost alone.
    timer.start();
    session.data.add(frames.last());
    const double fileAloneMs = msSince(timer);

    recovery.noteChange();
    timer.start();
    recovery.flush(); // takes the session and starts the writing thread
    const double startWriteMs = msSince(timer);
    timer.start();
    const bool written = recovery.waitForWrite();
    const double writeMs = msSince(timer) + startWriteMs;

    std::printf("recovery_session_frames: %d frames\n", session.data.frameCount());
    std::printf("recovery_copy_mb: %.1f MB\n", QFileInfo(recovery.fileName()).size() / 1e6);
    std::printf("recovery_take_session_ms: %.3f ms\n", takeMs);
    std::printf("recovery_file_frame_after_take_ms: %.3f ms\n", fileAfterTakeMs);
    std::printf("recovery_file_frame_alone_ms: %.3f ms\n", fileAloneMs);
    std::printf("recovery_start_write_ms: %.3f ms\n", startWriteMs);
    std::printf("recovery_write_ms: %.0f ms\n", writeMs);
    std::printf("recovery_interval_after_write_ms: %d ms\n", recovery.currentIntervalMs());
    Q_UNUSED(taken)
    return written ? 0 : 1;
}
