// orvel-cli acquire: one scan on the first available sensor, started as the
// window starts it (the same scan-start arithmetic, mode and go frames, scan
// worker and data model), saved as a session file.

#include "Acquisition.h"
#include "Availability.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ProgressBar.h"
#include "StopSignals.h"

#include "acquisition/ExpectedFrames.h"
#include "acquisition/ModeFrame.h"
#include "acquisition/ScanStart.h"
#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "config/PanelControls.h"
#include "session/RegularFile.h"
#include "session/SessionFile.h"
#include "session/SessionJournal.h"

#include "orvelDevice.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <memory>
#include <vector>

namespace cli {

namespace {

const QString command = QStringLiteral("acquire");

// A command-line number and the range it must lie in: the configuration
// panel's range for the same field, so that the command line asks the sensor
// for nothing the window could not.
struct NumberOption
{
    QCommandLineOption option;
    double minimum;
    double maximum;
    bool whole = false;

    // Sets `target` when the option is given; false with the reason when its
    // value is not a number in range.
    template <typename T>
    bool read(const QCommandLineParser& parser, T& target, QString& error) const
    {
        if (!parser.isSet(option))
            return true;
        const QString text = parser.value(option);
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !(value >= minimum && value <= maximum) || (whole && value != std::trunc(value))) {
            error = QStringLiteral("--%1 takes %2 from %3 to %4, not \"%5\"")
                        .arg(option.names().constLast(), QLatin1String(whole ? "a whole number" : "a number"))
                        .arg(minimum)
                        .arg(maximum)
                        .arg(text);
            return false;
        }
        target = T(value);
        return true;
    }
};

struct AcquireOptions
{
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Session file to save the scan to (.ldf); replaced if it exists."),
                              QStringLiteral("file")};
    QCommandLineOption averaged{QStringLiteral("averaged"), QStringLiteral("Time-averaged scan.")};
    QCommandLineOption timeResolved{QStringLiteral("time-resolved"),
                                    QStringLiteral("Time-resolved scan over the period of the external sync signal.")};
    NumberOption scans{{QStringLiteral("scans"), QStringLiteral("Scans to run (1 to 10000)."), QStringLiteral("n")},
                       1, 10000, true};
    NumberOption integrationTime{{QStringLiteral("integration-time"),
                                  QStringLiteral("Integration time of an averaged scan (200 to 5000); implies --averaged."),
                                  QStringLiteral("t")},
                                 200, 5000};
    NumberOption start{{QStringLiteral("start"),
                        QStringLiteral("First delay of a time-resolved scan, us (0 to 1000000); implies --time-resolved."),
                        QStringLiteral("us")},
                       0, 1e6};
    NumberOption end{{QStringLiteral("end"),
                      QStringLiteral("End of the time-resolved window, us (0: the end of the sync period); "
                                     "implies --time-resolved."),
                      QStringLiteral("us")},
                     0, 1e9};
    NumberOption resolution{{QStringLiteral("resolution"),
                             QStringLiteral("Step between the delays of a time-resolved scan, us (0.0125 to 3276); "
                                            "implies --time-resolved."),
                             QStringLiteral("us")},
                            0.0125, 3276};
    NumberOption syncFrequency{{QStringLiteral("sync-frequency"),
                                QStringLiteral("Frequency of the external sync signal, Hz (20 to 200000); "
                                               "implies --time-resolved."),
                                QStringLiteral("Hz")},
                               20, 200000};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({output, scans.option, averaged, timeResolved, integrationTime.option, start.option,
                           end.option, resolution.option, syncFrequency.option});
    }

    // Applies the options to a configuration taken from the settings store.
    bool apply(const QCommandLineParser& parser, ConfigParam& config, QString& error) const
    {
        const bool averagedAsked = parser.isSet(averaged) || parser.isSet(integrationTime.option);
        const bool timeResolvedAsked = parser.isSet(timeResolved) || parser.isSet(start.option)
                                       || parser.isSet(end.option) || parser.isSet(resolution.option)
                                       || parser.isSet(syncFrequency.option);
        if (averagedAsked && timeResolvedAsked) {
            error = QStringLiteral("choose either an averaged scan (--averaged, --integration-time) or a "
                                   "time-resolved one (--time-resolved, --start, --end, --resolution, --sync-frequency)");
            return false;
        }
        if (averagedAsked)
            config.syncParam.bUseSyncScan = false;
        if (timeResolvedAsked)
            config.syncParam.bUseSyncScan = true;

        ConfigParam::SyncParam& sync = config.syncParam;
        if (!scans.read(parser, config.dataScanRunScans, error)
            || !integrationTime.read(parser, config.dataScanRunParam.integrationTime, error)
            || !start.read(parser, sync.start, error) || !end.read(parser, sync.duration, error)
            || !resolution.read(parser, sync.resolution, error)
            || !syncFrequency.read(parser, sync.resolvedInteg, error))
            return false;
        if ((parser.isSet(start.option) || parser.isSet(end.option)) && sync.duration > 0
            && sync.duration <= sync.start) {
            error = QStringLiteral("the window ends (--end %1 us) before it starts (--start %2 us); "
                                   "--end 0 runs it to the end of the sync period")
                        .arg(sync.duration)
                        .arg(sync.start);
            return false;
        }
        return true;
    }
};

using Sensor = std::unique_ptr<orvelDevice>;

// The first available sensor in list order that opens, as the window connects.
Sensor openFirstAvailableSensor(QString& serial, QString& error)
{
    std::vector<device_item> devices;
    orvelDevice::getDeviceList(devices);
    int available = 0;
    QStringList refusals;
    for (device_item& item : devices) {
        if (!item.available) {
            refusals << serialText(item) + QStringLiteral(" ") + availabilityText(item);
            continue;
        }
        ++available;
        if (Sensor sensor{orvelDevice::openDevice(item.serial)}) {
            serial = QString::fromLatin1(item.serial);
            return sensor;
        }
    }
    if (devices.empty())
        error = QStringLiteral("no sensor found (no USB device answers; is it plugged in?)");
    else if (available == 0)
        error = QStringLiteral("no sensor available (%1)").arg(refusals.join(QStringLiteral("; ")));
    else
        error = QStringLiteral("no sensor could be opened (%1 available device(s) did not answer as a sensor)")
                    .arg(available);
    return nullptr;
}

QString scansText(const Acquisition& acquisition)
{
    return QStringLiteral("%1 frames (%2 of %3 scans)")
        .arg(acquisition.framesFiled())
        .arg(acquisition.scansDone())
        .arg(acquisition.scansToRun());
}

// What the operator is told once the session is saved, and the exit code.
int report(const Acquisition& acquisition, const QString& path, const QString& stopSignal)
{
    if (acquisition.framesDropped() > 0)
        warn(ExpectedFrames::droppedText(acquisition.framesDropped()));
    if (acquisition.framesReceived() != acquisition.framesFiled())
        warn(QStringLiteral("%1 frame(s) received could not be filed (no frequency, or a harmonic count unlike "
                            "their position's)")
                 .arg(acquisition.framesReceived() - acquisition.framesFiled()));
    switch (acquisition.ending()) {
    case Acquisition::Ending::Complete:
        out() << "Saved " << scansText(acquisition) << " to " << path << '\n';
        out().flush();
        return Success;
    case Acquisition::Ending::Stopped:
        out() << "Scan stopped by " << stopSignal << "; saved " << scansText(acquisition) << " to " << path << '\n';
        out().flush();
        return Success;
    case Acquisition::Ending::SensorLost:
        return fail(QStringLiteral("the sensor was lost during the scan; the %1 received were saved to %2")
                        .arg(scansText(acquisition), path));
    case Acquisition::Ending::SensorSilent:
        break;
    }
    return fail(QStringLiteral("the sensor stopped sending before the scan was complete; the %1 received were saved "
                               "to %2")
                    .arg(scansText(acquisition), path));
}

// The data stay in the recovery journal, when there is one.
int failedSave(SessionJournal& journal, const QString& path, const QString& reason, const QString& received)
{
    const bool current = journal.waitForWrite();
    const QString kept = journal.fileName();
    const QString failure = QStringLiteral("the session could not be saved to \"%1\" (%2); ").arg(path, reason);
    if (kept.isEmpty() || !QFileInfo::exists(kept))
        return fail(failure + QStringLiteral("the %1 received are lost").arg(received));
    if (!current)
        return fail(failure
                    + QStringLiteral("of the %1 received, only those written to the recovery journal \"%2\" are kept")
                          .arg(received, kept));
    return fail(failure
                + QStringLiteral("the %1 received are kept in the recovery journal \"%2\", which the Orvel window "
                                 "offers to restore at its next start (or: orvel-cli recover)")
                      .arg(received, kept));
}

} // namespace

int runAcquire(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs one scan on the first available sensor and saves the session. The scan is configured as in the "
        "window (the settings store of Brisvane/Orvel); the options below override it. Ctrl+C stops the scan and "
        "saves what was received."));
    parser.addPositionalArgument(QStringLiteral("acquire"), QStringLiteral("the command"), QStringLiteral("acquire"));
    const AcquireOptions options;
    options.addTo(parser);
    if (const auto exit = parseArguments(parser, arguments, command))
        return *exit;
    if (!operands(parser).isEmpty())
        return usageError(command, QStringLiteral("unexpected argument \"%1\"").arg(operands(parser).first()));
    const QString path = parser.value(options.output);
    if (path.isEmpty())
        return usageError(command, QStringLiteral("name the session file to save: -o FILE.ldf"));

    // The window's panel holds what it loads to the ranges of its controls;
    // so does the command line, so that both run the same scan.
    ConfigParam config;
    config.loadSettings();
    holdToPanelControls(config);
    QString error;
    if (!options.apply(parser, config, error))
        return usageError(command, error);
    if (config.spatParam.bUseSpatScan) {
        warn(QStringLiteral("the command line drives no linear drive; scanning at the current position only"));
        config.spatParam.bUseSpatScan = false;
    }
    const ScanStart start = scanStartFor(config);
    if (!start.problem.isEmpty())
        return usageError(command, start.problem);
    if (!canWrite(path, error))
        return fail(error);

    // From here on Ctrl+C stops the scan instead of ending the program.
    StopSignals stopSignals;
    QString serial;
    Sensor sensor = openFirstAvailableSensor(serial, error);
    if (!sensor)
        return fail(error);
    const int status = sensor->updateStatus();
    const QString notReady = sensorNotReadyText(status);
    if (!notReady.isEmpty())
        return fail(QStringLiteral("the sensor is not ready (status %1): %2")
                        .arg(status < 0 ? QStringLiteral("unknown") : QStringLiteral("'%1'").arg(QChar(status)),
                             notReady.trimmed()));
    if (!sendModeFrame(*sensor, start) || !sensor->goCommand())
        return fail(QStringLiteral("the sensor did not take the scan's mode and go frames"));
    LangmuirSettings settings;
    applyScanConfigToAnalysis(config, settings);

    measuredData data;
    data.deviceID = serial;
    Acquisition acquisition(*sensor, start, config.dataScanRunParam.integrationTime, data);
    ProgressBar progress(start.scans);
    QString stopSignal;
    QEventLoop loop;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &loop, [&](const QString& name) {
        stopSignal = name;
        acquisition.stop();
    });
    // A long acquisition survives a crash of this program in a recovery
    // journal, which the window offers to restore at its next start.
    SessionJournal journal([&] { return SessionContents{data, config, settings}; });
    QObject::connect(&journal, &SessionJournal::journalFailed, &loop, [](const QString& problem) {
        warn(QStringLiteral("no recovery journal of the acquisition is kept (%1)").arg(problem));
    });
    acquisition.setJournal(&journal);
    // With ORVEL_CLI_REPORT_FRAMES set, a line "frames N" on standard error
    // after each frame: what a benchmark that kills this program compares its
    // recovery journal with.
    const bool reportFrames = qEnvironmentVariableIsSet("ORVEL_CLI_REPORT_FRAMES");
    QObject::connect(&acquisition, &Acquisition::progressed, &loop, [&](int frames, int scans) {
        progress.update(frames, scans);
        if (reportFrames) {
            err() << "frames " << frames << '\n';
            err().flush();
        }
    });
    QObject::connect(&acquisition, &Acquisition::finished, &loop, &QEventLoop::quit);
    acquisition.start();
    loop.exec();
    progress.finish();
    sensor.reset();

    QString reason;
    if (saveSessionFile(path, data, config, settings, reason) != SessionSave::Saved)
        return failedSave(journal, path, reason, scansText(acquisition));
    journal.remove();
    return report(acquisition, path, stopSignal);
}

} // namespace cli
