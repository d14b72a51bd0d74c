// The main window's acquisition against sensors of the device library's
// simulated bus: connecting, the status watch, scans from start to done,
// stopping, a lost sensor, and sensors that are busy or do not answer.

#include "BuildInfo.h"
#include "Logger.h"
#include "MainWin.h"
#include "ScriptedDialogs.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "drive/LinearDrive.h"
#include "simdrive/SimulatedDrive.h"
#include "window/PlotManager.h"

#include "device/DeviceTestSupport.h"
#include "protocol/CommandFrames.h"
#include "protocol/SensorClock.h"
#include "usb/PlasmaSensor.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace orvel::device;

namespace {

using Frame = std::vector<unsigned char>;

Frame bytes(const CommandFrame& frame)
{
    return Frame(frame.begin(), frame.end());
}

int countOf(const std::vector<Frame>& frames, const CommandFrame& wanted)
{
    return int(std::count(frames.begin(), frames.end(), bytes(wanted)));
}

QAction* action(const MainWin& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QLatin1String(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

QString scanButtonText(const PlotManager* session)
{
    return session->findChild<QPushButton*>(QStringLiteral("startScanButton"))->text();
}

QString connectionText(const MainWin& window)
{
    return window.findChild<QLabel*>(QStringLiteral("connectionLabel"))->text();
}

const QString kNotConnected = QStringLiteral(" <font color=red>Not connected ");

} // namespace

class TestMainWindowScan : public QObject
{
    Q_OBJECT

    ScriptedDialogs dialogs;
    std::shared_ptr<SimulatedBus> bus;
    std::shared_ptr<SimulatedDevice> device;

    std::unique_ptr<MainWin> makeWindow()
    {
        auto window = std::make_unique<MainWin>();
        window->setDialogProvider(&dialogs);
        return window;
    }

    // Sensor "SIM0001" measuring the simulated plasma, as fast as it is read
    // unless `frameInterval` says otherwise.
    std::shared_ptr<PlasmaSensor> installPlasmaSensor(SensorFaults faults = {},
                                                      std::chrono::microseconds frameInterval = {})
    {
        PlasmaSensorOptions options;
        options.frameInterval = frameInterval;
        options.faults = faults;
        auto sensor = std::make_shared<PlasmaSensor>(options);
        install(sensor);
        return sensor;
    }

    std::shared_ptr<ScriptedSensor> installScriptedSensor()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        sensor->setWaitOnTimeout(false);
        install(sensor);
        return sensor;
    }

    void install(std::shared_ptr<SimulatedSensor> sensor)
    {
        bus = std::make_shared<SimulatedBus>();
        device = bus->addDevice(defaultSimulatedSerial, std::move(sensor));
        installBus(bus);
    }

    static void connectSensor(MainWin& window) { action(window, "actionConnect")->trigger(); }

    // Connects the window and sets its session up for a spatial scan of one
    // scan per position at 0, 10 and 20 mm on the simulated drive, initialised
    // as the operator does it on the Spatial page of the configuration panel.
    // Null when the drive could not be initialised.
    static PlotManager* prepareSpatialScan(MainWin& window, const SimulatedDrive& simulated)
    {
        connectSensor(window);
        PlotManager* session = window.currentSession();
        ConfigParamPanel* panel = session->configPanel();
        for (QComboBox* ports : panel->findChildren<QComboBox*>())
            if (ports->isEditable())
                ports->setEditText(simulated.slavePath());
        for (QPushButton* button : panel->findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Initialize Linear Drive"))
                button->click();
        if (!panel->getLinearDriveInstance())
            return nullptr;
        ConfigParam& config = panel->configParam;
        config.dataScanRunScans = 1;
        config.spatParam.bUseSpatScan = true;
        config.spatParam.start = 0;
        config.spatParam.step = 10;
        config.spatParam.end = 20;
        return session;
    }

    // What the sensor was sent from now on.
    static std::vector<Frame> sentSince(const ScriptedSensor& sensor, std::size_t mark)
    {
        const auto all = sensor.receivedFrames();
        return std::vector<Frame>(all.begin() + std::ptrdiff_t(std::min(mark, all.size())), all.end());
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.5.0"));
        // The worker notes every poll and the analysis every step.
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    }

    // Each session's panel stores its configuration when it goes, and the next
    // window starts from the stored one: every test starts from the defaults.
    void init()
    {
        dialogs = ScriptedDialogs();
        QSettings().clear();
    }

    void cleanup()
    {
        installBus(std::make_shared<SimulatedBus>());
        device.reset();
        bus.reset();
    }

    void scanFromStartToDone()
    {
        auto sensor = installPlasmaSensor();
        auto window = makeWindow();
        connectSensor(*window);
        QVERIFY(window->isConnected());
        QCOMPARE(window->openSessionCount(), 1); // made for the first connection
        PlotManager* session = window->currentSession();
        QCOMPARE(session->windowTitle(), QStringLiteral("Session 1"));
        QCOMPARE(action(*window, "actionConnect")->text(), QStringLiteral("Disconnect"));
        for (const char* name : {"actionScan", "actionMove", "actionCalibrate", "actionClean"})
            QVERIFY2(action(*window, name)->isEnabled(), name);

        ConfigParam& config = session->configPanel()->configParam;
        config.dataScanRunScans = 3;
        config.dataScanRunParam.integrationTime = 120.7;
        config.offsetCurrent = 2e-6;
        config.initScanDerivativePoints = 5;
        config.initScanIonCurrentDrop = 60;
        const std::size_t mark = sensor->receivedFrames().size();

        action(*window, "actionScan")->trigger();
        QVERIFY(window->isScanning());
        QVERIFY(action(*window, "actionScan")->isChecked());
        QCOMPARE(scanButtonText(session), QStringLiteral("Stop Scan"));
        QVERIFY(!action(*window, "actionMove")->isEnabled());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Scanning"));
        // Progress and time left while the scan runs, in scans of three.
        auto* progress = window->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        auto* timeLeft = window->findChild<QLabel*>(QStringLiteral("timeLeftLabel"));
        QVERIFY(!progress->isHidden());
        QVERIFY(!timeLeft->isHidden());
        QVERIFY(progress->format().endsWith(QStringLiteral("/3")));
        QVERIFY(timeLeft->text().startsWith(QStringLiteral("-Time-Left-")));

        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        QVERIFY(action(*window, "actionScan")->isEnabled());
        QVERIFY(action(*window, "actionMove")->isEnabled());
        QVERIFY(progress->isHidden());
        QVERIFY(timeLeft->isHidden());

        // The frames reached the session: three scans, both bands, analysed.
        const measuredData& data = session->data();
        QCOMPARE(data.positions.size(), 1);
        QCOMPARE(data.positions[0].scans.size(), 3);
        for (const ScanGroup& group : data.positions[0].scans) {
            QCOMPARE(group.Delays200.size(), 1);
            QCOMPARE(group.Delays400.size(), 1);
        }
        QVERIFY(session->hasUnsavedChanges());

        // Status request, mode frame, go frame, in that order; the
        // configuration's settings went into the analysis settings.
        const auto sent = sentSince(*sensor, mark);
        QVERIFY(sent.size() >= 3);
        QCOMPARE(sent[0], bytes(statusRequestFrame()));
        QCOMPARE(sent[1], bytes(averagedModeFrame(3, 120)));
        QCOMPARE(sent[2], bytes(goFrame()));
        const LangmuirSettingsWidget& settings = *session->analysisSettings();
        QCOMPARE(settings.offsetCurrent, 2e-6);
        QCOMPARE(settings.nDerivativePoints, 5);
        QCOMPARE(settings.VsatFactor, 0.6);
        QCOMPARE(session->config().dataScanRunScans, 3u);

        QFile log(Logger::instance()->filePath());
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        QVERIFY(QString::fromLocal8Bit(log.readAll())
                    .contains(QRegularExpression("\nStarting new scan at \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\n")));

        // The hardware box shows the sensor's identity words 0, 1, 8 and 4
        // ("SIM0001 V1.4 Brisvane Orvel V2.0 simulated plasma probe PRB0001").
        window->aboutHardware();
        QVERIFY(dialogs.texts("about").first().endsWith("SOFTWARE VERSION:\t1.5.0\nSOFTWARE DESCRIPTION:\t"
                                                        + BuildInfo::description()
                                                        + "\nMETER SERIAL NO:\tSIM0001\nFIRMWARE VERSION:\tV1.4\n"
                                                          "PROBE SERIAL NO:\tPRB0001\nFIRMWARE VERSION:\tV2.0\n"));

        action(*window, "actionConnect")->trigger();
        QVERIFY(!window->isConnected());
        // A status of the sensor no longer there says nothing true.
        QCOMPARE(window->statusBar()->currentMessage(), QString());
        QCOMPARE(action(*window, "actionConnect")->text(), QStringLiteral("connect"));
        QCOMPARE(connectionText(*window), kNotConnected);
        for (const char* name : {"actionScan", "actionMove", "actionCalibrate", "actionClean"})
            QVERIFY2(!action(*window, name)->isEnabled(), name);
        QCOMPARE(data.positions[0].scans.size(), 3);
        QVERIFY(dialogs.messages.size() == 1); // the hardware box only
    }

    void timeResolvedScanWaitsForTheLastDelay()
    {
        auto sensor = installPlasmaSensor();
        auto window = makeWindow();
        connectSensor(*window);
        ConfigParam& config = window->currentSession()->configPanel()->configParam;
        config.dataScanRunScans = 2;
        config.syncParam.bUseSyncScan = true;
        config.syncParam.resolvedInteg = 1500; // value 1000, period 666 us
        config.syncParam.start = 0;
        config.syncParam.duration = 0;
        config.syncParam.resolution = 10;
        const std::size_t mark = sensor->receivedFrames().size();

        action(*window, "actionScan")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        const auto sent = sentSince(*sensor, mark);
        QCOMPARE(sent.at(1), bytes(timeResolvedModeFrame(2, 1000, 0, 666, 10, tickFactor(false))));
        // Delays 0 to 650 in steps of 10, and the last one, 666 - 10, in both scans.
        const measuredData& data = window->currentSession()->data();
        QCOMPARE(data.positions[0].scans.size(), 2);
        QCOMPARE(data.positions[0].scans[1].Delays200.size(), 67);
        QCOMPARE(data.positions[0].scans[1].Delays200.last().delay, 656.0f);
    }

    void stoppingAndDisconnectingDuringAScan()
    {
        auto sensor = installPlasmaSensor({}, std::chrono::milliseconds(2));
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        session->configPanel()->configParam.dataScanRunScans = 5000;

        action(*window, "actionScan")->trigger();
        QTRY_VERIFY(!session->data().positions.isEmpty());
        const std::size_t mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger(); // stop
        // At once: the end frame, no worker, the button back to "Start Scan".
        QVERIFY(!window->isScanning());
        QVERIFY(countOf(sentSince(*sensor, mark), endFrame()) >= 1);
        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        QTRY_VERIFY(!action(*window, "actionScan")->isChecked());

        // Started again from the session's own button (the frames of the
        // first scan are discarded at the prompt), then the sensor is
        // disconnected while the worker still polls it.
        dialogs.closeAnswers = {QMessageBox::Discard, QMessageBox::Discard};
        session->findChild<QPushButton*>(QStringLiteral("startScanButton"))->click();
        QVERIFY(window->isScanning());
        QTRY_VERIFY(!session->data().positions.isEmpty());
        action(*window, "actionConnect")->trigger();
        QVERIFY(!window->isConnected());
        QVERIFY(!window->isScanning());
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        QVERIFY(!session->data().positions.isEmpty());

        // Connected again, a new scan runs normally.
        connectSensor(*window);
        session->configPanel()->configParam.dataScanRunScans = 2;
        action(*window, "actionScan")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QCOMPARE(session->data().positions[0].scans.size(), 2);
        QCOMPARE(dialogs.texts("prompt").size(), 2);
        QCOMPARE(dialogs.messages.size(), 2);
    }

    void aLostSensorDisconnectsAndAReplugAcquiresAgain()
    {
        SensorFaults faults;
        faults.disconnectAfterFrames = 5;
        installPlasmaSensor(faults);
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        session->configPanel()->configParam.dataScanRunScans = 10;
        action(*window, "actionScan")->trigger();

        QTRY_VERIFY_WITH_TIMEOUT(!window->isConnected(), 30000);
        QVERIFY(!window->isScanning());
        QVERIFY(!action(*window, "actionConnect")->isChecked());
        QCOMPARE(action(*window, "actionConnect")->text(), QStringLiteral("Connect"));
        QCOMPARE(connectionText(*window), kNotConnected);
        // The status bar no longer claims a scan.
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Orvel Central Unit Disconnected"));
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QVERIFY(!action(*window, "actionScan")->isEnabled());
        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        // Every frame that arrived before the loss stays: scans 1 and 2 whole,
        // the low band of scan 3.
        QTRY_COMPARE(session->data().frameCount(), 5);
        QCOMPARE(session->data().positions[0].scans.size(), 3);
        QVERIFY(session->hasUnsavedChanges());
        QVERIFY(dialogs.messages.isEmpty());

        // Plugged in again, the sensor connects and acquires, once the frames
        // of the lost scan are saved.
        installPlasmaSensor();
        connectSensor(*window);
        QVERIFY(window->isConnected());
        session->configPanel()->configParam.dataScanRunScans = 2;
        dialogs.closeAnswers = {QMessageBox::Save};
        dialogs.saveNames = QStringList{QStringLiteral("lost.ldf")};
        action(*window, "actionScan")->trigger();
        QVERIFY(QFile::exists(QStringLiteral("lost.ldf")));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QVERIFY(window->isConnected());
        QCOMPARE(session->data().frameCount(), 4);
        QCOMPARE(dialogs.texts("prompt"), QStringList{"|Session : 'Session 1' has been modified."});
        QCOMPARE(dialogs.messages.size(), 1);
    }

    void garbledAndOversizeFramesAreDroppedAndTheScanGoesOn()
    {
        // Data frames 3 (scan 2, low band) and 6 (scan 3, high band) are
        // damaged on the way; the other eight of the five scans arrive.
        SensorFaults faults;
        faults.garbledFrame = 3;
        faults.oversizeFrame = 6;
        auto sensor = installPlasmaSensor(faults);
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        session->configPanel()->configParam.dataScanRunScans = 5;
        action(*window, "actionScan")->trigger();

        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QCOMPARE(sensor->dataFramesSent(), 10);
        QVERIFY(window->isConnected());
        const measuredData& data = session->data();
        QCOMPARE(data.frameCount(), 8);
        const QVector<ScanGroup>& scans = data.positions[0].scans;
        QCOMPARE(scans.size(), 5);
        QCOMPARE(scans[1].Delays200.size(), 0);
        QCOMPARE(scans[1].Delays400.size(), 1);
        QCOMPARE(scans[2].Delays200.size(), 1);
        QCOMPARE(scans[2].Delays400.size(), 0);
        QCOMPARE(scans[4].Delays400.size(), 1); // the scan ended on its last frame
        QVERIFY(dialogs.messages.isEmpty());
    }

    void aDriveAnsweringWithAnErrorEndsTheSpatialScan()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setHomingTime(10);
        auto sensor = installPlasmaSensor();
        auto window = makeWindow();
        PlotManager* session = prepareSpatialScan(*window, simulated);
        QVERIFY(session);

        action(*window, "actionScan")->trigger();
        QVERIFY(window->isScanning());
        // Progress over the three positions of one scan each; nothing filed yet.
        auto* progress = window->findChild<QProgressBar*>(QStringLiteral("progressBar"));
        QCOMPARE(progress->format(), QStringLiteral("Position 1/3, scan 0/1"));
        // The drive stands at the start; the move to the second position is
        // refused with an error prompt.
        simulated.answerWithError("FP", 24);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QVERIFY(progress->isHidden());

        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        QVERIFY(window->isConnected());
        const measuredData& data = session->data();
        QCOMPARE(data.positions.size(), 1);
        QCOMPARE(data.positions[0].position, 0);
        QCOMPARE(data.frameCount(), 2);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Scan stopped"));
        QVERIFY2(dialogs.messages[0].text.startsWith(QStringLiteral(
                     "The linear drive did not reach the position 10 mm: Illegal data entered.")),
                 qPrintable(dialogs.messages[0].text));
        // The sensor was not restarted anywhere else.
        QCOMPARE(countOf(sensor->receivedFrames(), goFrame()), 1);
        QCOMPARE(simulated.position(), 0);
    }

    void aDriveFallingSilentMidMoveEndsTheSpatialScan()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setHomingTime(10);
        simulated.setTravelSpeed(500); // 10 mm in 2 s
        auto sensor = installPlasmaSensor();
        auto window = makeWindow();
        PlotManager* session = prepareSpatialScan(*window, simulated);
        QVERIFY(session);

        action(*window, "actionScan")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(simulated.isMoving(), 10000);
        simulated.setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);

        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        const measuredData& data = session->data();
        QCOMPARE(data.positions.size(), 1);
        QCOMPARE(data.frameCount(), 2);
        QCOMPARE(dialogs.texts("warning").size(), 1);
        QVERIFY2(dialogs.texts("warning")[0].startsWith(
                     QStringLiteral("Scan stopped|The linear drive did not reach the position 10 mm")),
                 qPrintable(dialogs.texts("warning")[0]));
        QCOMPARE(countOf(sensor->receivedFrames(), goFrame()), 1);
    }

    // A stopped worker may still have frames on their way to the session when
    // the next scan starts at once: they belong to the stopped scan alone.
    void aScanStartedRightAfterAStopFilesOnlyItsOwnFrames()
    {
        auto sensor = installPlasmaSensor();
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        ConfigParam& config = session->configPanel()->configParam;
        config.dataScanRunScans = 5000;
        action(*window, "actionScan")->trigger();
        QTRY_VERIFY(!session->data().positions.isEmpty());
        // The worker goes on reading frames, which wait in this thread's
        // event queue as long as it does not run.
        const int filed = session->data().frameCount();
        QDeadlineTimer deadline(30000);
        while (sensor->dataFramesSent() < filed + 40 && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        QVERIFY(sensor->dataFramesSent() >= filed + 40);

        action(*window, "actionScan")->trigger(); // stop
        config.dataScanRunScans = 2;
        dialogs.closeAnswers = {QMessageBox::Discard};
        action(*window, "actionScan")->trigger();
        QVERIFY(window->isScanning());
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        const measuredData& data = session->data();
        QCOMPARE(data.positions.size(), 1);
        QCOMPARE(data.positions[0].scans.size(), 2);
        for (const ScanGroup& group : data.positions[0].scans) {
            QCOMPARE(group.Delays200.size(), 1);
            QCOMPARE(group.Delays400.size(), 1);
        }
        QCOMPARE(dialogs.texts("prompt").size(), 1);
    }

    // Scan data not saved are dropped only once a scan really starts, and
    // only when the operator said so.
    void unsavedScansAreNotDiscardedUnasked()
    {
        auto sensor = installScriptedSensor();
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        scanResult frame;
        frame.freq = 100000;
        frame.harmonics = 2;
        frame.VR[0] = 1;
        session->dataUpdate(frame);
        QCOMPARE(session->data().frameCount(), 1);

        // A busy sensor starts nothing and the data stay, without a question.
        sensor->setStatus('S');
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("warning").size(), 1);
        QCOMPARE(dialogs.texts("prompt"), QStringList());
        QCOMPARE(session->data().frameCount(), 1);

        // Cancel at the prompt: nothing sent beyond the status query, nothing dropped.
        sensor->setStatus('I');
        dialogs.closeAnswers = {QMessageBox::Cancel};
        std::size_t mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("prompt"), QStringList{"|Session : 'Session 1' has been modified."});
        QCOMPARE(sentSince(*sensor, mark), std::vector<Frame>{bytes(statusRequestFrame())});
        QVERIFY(!window->isScanning());
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QCOMPARE(scanButtonText(session), QStringLiteral("Start Scan"));
        QCOMPARE(session->data().frameCount(), 1);

        // Discard: the scan starts on an empty session.
        dialogs.closeAnswers = {QMessageBox::Discard};
        mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("prompt").size(), 2);
        QVERIFY(window->isScanning());
        QCOMPARE(countOf(sentSince(*sensor, mark), goFrame()), 1);
        QCOMPARE(session->data().frameCount(), 0);
    }

    void aBusySensorIsNotStarted()
    {
        auto sensor = installScriptedSensor();
        auto window = makeWindow();
        connectSensor(*window);
        QVERIFY(window->isConnected());
        sensor->setStatus('S');
        const std::size_t mark = sensor->receivedFrames().size();

        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("warning"),
                 QStringList{"Sensor not ready|Sensor is busy, please wait for the situation to resolve, or power "
                             "cycle the Orvel box"});
        QVERIFY(!window->isScanning());
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QCOMPARE(scanButtonText(window->currentSession()), QStringLiteral("Start Scan"));
        // Nothing beyond the status query.
        QCOMPARE(sentSince(*sensor, mark), std::vector<Frame>{bytes(statusRequestFrame())});

        // The status watch does not know 'S': it takes the sensor for lost.
        window->updateSensorState();
        QVERIFY(!window->isConnected());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Orvel Central Unit Disconnected"));
    }

    void aSensorThatDoesNotAnswer()
    {
        // Not answering at all: it never opens, ten times over.
        auto silent = installScriptedSensor();
        silent->setSilent(true);
        auto window = makeWindow();
        connectSensor(*window);
        QVERIFY(!window->isConnected());
        QVERIFY(!action(*window, "actionConnect")->isChecked());
        QCOMPARE(dialogs.texts("warning"), QStringList{"Unable to connect|Unable to connect to orvel device"});
        QCOMPARE(countOf(silent->receivedFrames(), infoRequestFrame()), MainWin::connectAttempts);
        QVERIFY(!action(*window, "actionScan")->isEnabled());

        // Open, but its answer to the status query at scan start fails.
        auto sensor = installScriptedSensor();
        connectSensor(*window);
        QVERIFY(window->isConnected());
        device->injectReadFault(ReadFault::Error);
        const std::size_t mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("warning").last(),
                 QStringLiteral("Sensor not ready|Unable to establish communication with sensor.\n Please check "
                                "sensor connection to probe, if problem persists please power cycle the whole "
                                "system.\n"));
        QVERIFY(!window->isScanning());
        QCOMPARE(scanButtonText(window->currentSession()), QStringLiteral("Start Scan"));
        QCOMPARE(countOf(sentSince(*sensor, mark), goFrame()), 0);
    }

    void statusWatch()
    {
        auto sensor = installScriptedSensor();
        auto window = makeWindow();
        connectSensor(*window);
        const struct
        {
            char letter;
            const char* message;
        } known[] = {{'I', "Idle"}, {'B', "Scanning"}, {'N', "Scanning"}, {'L', "Linear Drive Moving"},
                     {'D', "Orvel Sensor Disconnected"}, {'E', "Error"}};
        for (const auto& state : known) {
            sensor->setStatus(state.letter);
            window->updateSensorState();
            QCOMPARE(window->statusBar()->currentMessage(), QLatin1String(state.message));
            QCOMPARE(connectionText(*window), QStringLiteral(" <font color=Green>Connected"));
        }
        device->injectReadFault(ReadFault::Error);
        window->updateSensorState();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Orvel Central Unit Disconnected"));
        QVERIFY(!window->isConnected());
        QCOMPARE(connectionText(*window), kNotConnected);
    }

    void reconnectingThreeTimesGivesOneStatusQueryPerSecond()
    {
        auto sensor = installScriptedSensor();
        auto window = makeWindow();
        for (int i = 0; i < 3; ++i) {
            connectSensor(*window);
            QVERIFY(window->isConnected());
            if (i < 2)
                action(*window, "actionConnect")->trigger();
        }
        const std::size_t mark = sensor->receivedFrames().size();
        QElapsedTimer elapsed;
        elapsed.start();
        // Queries keep coming, and three of them take two intervals at the
        // least (a coarse timer may fire 5 % early): no connection left a
        // second poll running. A loaded machine only makes them later.
        QTRY_VERIFY_WITH_TIMEOUT(countOf(sentSince(*sensor, mark), statusRequestFrame()) >= 3, 30000);
        QVERIFY2(elapsed.elapsed() >= 2 * MainWin::sensorPollIntervalMs * 9 / 10,
                 qPrintable(QString::number(elapsed.elapsed())));
    }

    void configurationsThatCannotStart()
    {
        auto sensor = installScriptedSensor();
        auto window = makeWindow();
        connectSensor(*window);
        ConfigParam& config = window->currentSession()->configPanel()->configParam;

        // Time-resolved without an end and without a sync frequency.
        config.syncParam.bUseSyncScan = true;
        config.syncParam.duration = 0;
        config.syncParam.resolvedInteg = 0;
        std::size_t mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("warning").size(), 1);
        QVERIFY(dialogs.texts("warning").last().startsWith(QStringLiteral("Scan not started|")));
        QCOMPARE(sentSince(*sensor, mark), std::vector<Frame>{bytes(statusRequestFrame())});
        QVERIFY(!window->isScanning());

        // Spatial without a drive: said, nothing sent, nothing crashes.
        config.syncParam.bUseSyncScan = false;
        config.spatParam.bUseSpatScan = true;
        mark = sensor->receivedFrames().size();
        action(*window, "actionScan")->trigger();
        QCOMPARE(dialogs.texts("warning").size(), 2);
        QVERIFY(dialogs.texts("warning").last().contains(QStringLiteral("linear drive")));
        QCOMPARE(sentSince(*sensor, mark), std::vector<Frame>{bytes(statusRequestFrame())});
        QVERIFY(!window->isScanning());
        QVERIFY(!action(*window, "actionScan")->isChecked());
        QVERIFY(action(*window, "actionScan")->isEnabled()); // ready for the next try
    }

    void closingTheWindowDuringAScan()
    {
        installPlasmaSensor({}, std::chrono::milliseconds(2));
        auto window = makeWindow();
        connectSensor(*window);
        PlotManager* session = window->currentSession();
        session->configPanel()->configParam.dataScanRunScans = 5000;
        action(*window, "actionScan")->trigger();
        QTRY_VERIFY(!session->data().positions.isEmpty());
        dialogs.closeAnswers = {QMessageBox::Discard};
        QVERIFY(window->close());
        QVERIFY(!window->isScanning());
        window.reset(); // stops nothing twice, waits for the worker, closes the sensor
        QVERIFY(testing::open(defaultSimulatedSerial) != nullptr);
    }
};

QTEST_MAIN(TestMainWindowScan)
#include "test_main_window_scan.moc"
