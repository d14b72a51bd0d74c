// What the recovery journal costs and what it keeps.
//
// Cost: the time the journal adds to filing one frame on the thread that
// files them, with 1,000 and with 100,000 frames in the session (time-resolved
// frames of 16 harmonics): frames filed alternately through the journal and
// straight into the data model, the difference of the two means.
//
// Loss: `orvel-cli acquire` on the simulated sensor, killed with SIGKILL at
// several moments, then recovered from its journal. The frames it had filed
// by then are the last of the counts it reports on standard error after each
// frame (ORVEL_CLI_REPORT_FRAMES); the frames missing from the recovered
// session, and how long the sensor took to send them, are printed.

#include "session/JournalReplay.h"
#include "session/RecoveryCopy.h"
#include "session/SessionJournal.h"

#include "SimulatedAcquisition.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

#include <sys/types.h>

namespace {

constexpr int framesPerScan = 200;
constexpr int measuredFrames = 4000;
constexpr int frameIntervalMs = 2;

// Frames of a time-resolved acquisition: `scans` x 100 delays x 2 bands.
QVector<scanResult> framesOf(int scans, int firstScan)
{
    AcquisitionPlan plan;
    plan.scans = scans;
    plan.delays = 100;
    plan.harmonics = 16;
    QVector<scanResult> frames = simulatedAcquisition(plan);
    for (scanResult& f : frames)
        f.scan += firstScan;
    return frames;
}

struct FilingCost
{
    double plainUs;   // per frame filed straight into the data model
    double journalUs; // what the journal adds to that
};

// The cost of filing a frame once the session holds `sessionFrames` frames
// (all of them journaled, as in an acquisition). Whole scans are filed
// alternately one way and the other, since the frame that completes a scan
// group costs the data model most.
FilingCost filingCost(int sessionFrames, const QString& folder)
{
    SessionContents session;
    SessionJournal journal([&] { return session; });
    journal.setFolder(folder);
    const int scansBefore = sessionFrames / framesPerScan;
    for (const scanResult& f : framesOf(scansBefore, 0))
        journal.file(session.data, f);
    const QVector<scanResult> next = framesOf(measuredFrames / framesPerScan, scansBefore);
    qint64 ns[2] = {0, 0};
    QElapsedTimer timer;
    for (int i = 0; i < next.size(); ++i) {
        const bool journaled = (i / framesPerScan) % 2 == 0;
        timer.start();
        if (journaled)
            journal.file(session.data, next[i]);
        else
            session.data.add(next[i]);
        ns[journaled] += timer.nsecsElapsed();
    }
    journal.waitForWrite();
    journal.remove();
    const double each = next.size() / 2 * 1000.0;
    return {ns[0] / each, (double(ns[1]) - double(ns[0])) / each};
}

struct Kill
{
    int filed = 0;
    int recovered = 0;
};

// The last count of the "frames N" lines in `text`; -1 without one.
int lastCount(const QByteArray& text)
{
    static const QRegularExpression line(QStringLiteral("frames (\\d+)\n"));
    int last = -1;
    QRegularExpressionMatchIterator it = line.globalMatch(QString::fromLatin1(text));
    while (it.hasNext())
        last = it.next().captured(1).toInt();
    return last;
}

// One acquisition killed once it had filed `frames`: the frames it had filed
// when it died (every line it wrote before stays in the pipe) and those its
// journal gives back.
std::optional<Kill> killAndRecover(int frames, const QString& folder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVEL_SIMULATED_SENSOR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("ORVEL_SIM_FRAME_INTERVAL_MS"), QString::number(frameIntervalMs));
    environment.insert(QStringLiteral("ORVEL_CLI_REPORT_FRAMES"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setReadChannel(QProcess::StandardError);
    child.start(QStringLiteral(ORVEL_CLI_PATH),
                {QStringLiteral("acquire"), QStringLiteral("--time-resolved"), QStringLiteral("--scans"),
                 QStringLiteral("10000"), QStringLiteral("-o"),
                 QDir::temp().filePath(QStringLiteral("bench-killed.ldf"))});
    if (!child.waitForStarted())
        return std::nullopt;
    QByteArray seen;
    while (lastCount(seen) < frames) {
        if (!child.waitForReadyRead(30000))
            return std::nullopt;
        seen += child.readAllStandardError();
        seen.remove(0, std::max(0, seen.lastIndexOf("frames ", seen.size() - 2)));
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    Kill kill;
    kill.filed = lastCount(seen + child.readAllStandardError());
    std::vector<RecoveryCopy> journals = RecoveryCopy::claimOrphans(folder);
    if (journals.size() != 1)
        return std::nullopt;
    SessionContents contents;
    QString error;
    if (!replayJournal(journals.front().fileName(), contents, error))
        return std::nullopt;
    kill.recovered = contents.data.frameCount();
    journals.front().remove();
    return kill;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    // The acquisitions' journals go to a folder of this benchmark's own.
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
    const QString folder = RecoveryCopy::defaultFolder();

    // The journal's own work does not grow with the session; the filing
    // beside it does, and so does the noise of the difference.
    for (int frames : {1000, 100000}) {
        const FilingCost cost = filingCost(frames, folder);
        std::printf("filing_frame_%d_frames_us: %.2f us\n", frames, cost.plainUs);
        std::printf("journal_frame_cost_%d_frames_us: %.2f us\n", frames, cost.journalUs);
    }
    std::fflush(stdout);

    int worst = 0;
    int total = 0;
    int kills = 0;
    for (int frames : {300, 900, 1700, 2600, 3500}) {
        const std::optional<Kill> kill = killAndRecover(frames, folder);
        if (!kill) {
            std::fprintf(stderr, "bench_recovery: the acquisition killed after %d frames could not be recovered\n",
                         frames);
            return 1;
        }
        const int lost = std::max(0, kill->filed - kill->recovered);
        std::printf("killed_after_frames: %d frames, recovered %d\n", kill->filed, kill->recovered);
        worst = std::max(worst, lost);
        total += lost;
        ++kills;
    }
    std::printf("kill_frames_lost_max: %d frames\n", worst);
    std::printf("kill_frames_lost_mean: %.1f frames\n", double(total) / kills);
    std::printf("kill_lost_max_ms: %d ms\n", worst * frameIntervalMs);
    return 0;
}
