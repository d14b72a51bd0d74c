#include "window/BackgroundWork.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CancellableReader.h"
#include "session/SessionFile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr int momentMs = 500;
constexpr int pollMs = 20;
constexpr int progressSteps = 1000;
constexpr int showProgress = 1; // exit code of the first wait: the work goes on

} // namespace

void runWithProgress(QWidget* parent, const QString& label, const std::function<void()>& work,
                     const std::function<double()>& done, const std::function<void()>& cancel)
{
    std::atomic<bool> finished{false};
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        work();
        finished = true;
    }));

    QProgressDialog progress(label, cancel ? QStringLiteral("Cancel") : QString(), 0, progressSteps, parent);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.cancel(); // shown by hand once the moment has passed, not by its own timer
    if (cancel)
        QObject::connect(&progress, &QProgressDialog::canceled, &progress, cancel);

    QEventLoop loop;
    QElapsedTimer elapsed;
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished)
            loop.exit(0);
        else if (progress.isVisible())
            progress.setValue(int(progressSteps * std::clamp(done(), 0.0, 1.0)));
        else if (elapsed.elapsed() >= momentMs)
            loop.exit(showProgress);
    });
    elapsed.start();
    worker->start();
    poll.start();
    if (loop.exec(QEventLoop::ExcludeUserInputEvents) == showProgress) {
        progress.reset();
        progress.show();
        loop.exec();
    }
    worker->wait();
    progress.hide();
}

BackgroundRead readSessionInBackground(QWidget* parent, QFile& file, measuredData& data, ConfigParam& config,
                                       LangmuirSettings& settings, QStringList& warnings)
{
    // The read fills copies, so that what it leaves out keeps the session's
    // values, as a read in place would.
    measuredData read;
    ConfigParam readConfig = config;
    LangmuirSettings readSettings = settings;
    QStringList changes;
    CancellableReader reader(file);
    bool ok = false;
    const double size = double(std::max<qint64>(file.size(), 1));
    runWithProgress(
        parent, QStringLiteral("Reading %1 ...").arg(QFileInfo(file.fileName()).fileName()),
        [&] { ok = readSession(reader, read, readConfig, readSettings, nullptr, &changes); },
        [&] { return double(reader.bytesDone()) / size; }, [&reader] { reader.cancel(); });

    if (reader.isCancelled())
        return BackgroundRead::Cancelled;
    if (!ok)
        return BackgroundRead::Refused;
    // As readSession hands a read over: the base level stays the session's own.
    data.deviceID = read.deviceID;
    data.comment = read.comment;
    data.positions = std::move(read.positions);
    data.fileName = file.fileName();
    config = readConfig;
    settings = readSettings;
    warnings = changes;
    return BackgroundRead::Read;
}
