// The acquisition side of the main window: connecting the sensor, watching
// its status, and starting and stopping data scans.

#include "MainWin.h"

#include "BuildInfo.h"
#include "Logger.h"
#include "SensorTexts.h"
#include "acquisition/ModeFrame.h"
#include "acquisition/ScanHandler.h"
#include "acquisition/ScanStart.h"
#include "acquisition/scanResult.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "drive/LinearDrive.h"
#include "window/DialogProvider.h"
#include "window/PlotManager.h"

#include "orvelDevice.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

const QString kConnected = QStringLiteral(" <font color=Green>Connected");
const QString kNotConnected = QStringLiteral(" <font color=red>Not connected ");
const QString kNotReadyTitle = QStringLiteral("Sensor not ready");
const QString kScanNotStartedTitle = QStringLiteral("Scan not started");
const QString kScanStoppedTitle = QStringLiteral("Scan stopped");
const QString kSensorLost = QStringLiteral("Orvel Central Unit Disconnected");

// More than a sensor's output buffer can hold; a bound for a sensor that
// never stops sending.
constexpr int maxStaleFrames = 4096;

} // namespace

// ---------------------------------------------------------------- connection

void MainWin::actionConnectSlot()
{
    if (m_actionConnect->isChecked())
        connectSensor();
    else
        disconnectSensor();
    setWidgetStates();
}

void MainWin::connectSensor()
{
    // The data of the first scan need a session to go to.
    if (!hasSubWindow())
        emit connectingFirstSession();

    bool opened = false;
    for (int attempt = 0; attempt < connectAttempts && !opened; ++attempt)
        opened = tryOpenSensor();
    if (!opened) {
        m_actionConnect->setChecked(false);
        m_dialogs->warning(this, QStringLiteral("Unable to connect"), QStringLiteral("Unable to connect to orvel device"));
        return;
    }
    m_errorMessages.clear();
    m_area->update();
    m_sensorTimer.start();
    if (PlotManager* active = sessionOf(m_area->activeSubWindow()))
        m_currentSession = active;
    m_actionConnect->setText(QStringLiteral("Disconnect"));
    m_actionMove->setEnabled(true);
    setSessionsConnected(true);
}

// The first available sensor that opens wins.
bool MainWin::tryOpenSensor()
{
    std::vector<device_item> devices;
    orvelDevice::getDeviceList(devices);
    for (device_item& device : devices) {
        if (!device.available)
            continue;
        if (orvelDevice* opened = orvelDevice::openDevice(device.serial)) {
            m_sensor.reset(opened);
            return true;
        }
    }
    return false;
}

void MainWin::disconnectSensor()
{
    m_sensorTimer.stop();
    setSessionsConnected(false);
    m_actionConnect->setText(QStringLiteral("connect"));
    if (isScanning()) {
        requestScanStop();
        m_actionScan->setChecked(false);
        acquiringSession()->scanToggled(false);
    }
    if (m_sensor)
        releaseSensor();
    m_actionMove->setEnabled(false);
    setNotConnected();
}

void MainWin::sensorDisconnected()
{
    if (!m_sensor)
        return;
    m_sensorTimer.stop();
    if (isScanning()) {
        m_scanHandler->stopScan();
        forgetScan();
        m_actionScan->setChecked(false);
        acquiringSession()->scanToggled(false);
    }
    releaseSensor();
    m_actionConnect->setText(QStringLiteral("Connect"));
    m_actionConnect->setChecked(false);
    setNotConnected();
    // Whether the status watch or the scan worker noticed, the last message
    // ("Scanning", "Idle") must not outlive the sensor.
    statusBar()->showMessage(kSensorLost);
    setSessionsConnected(false);
    setWidgetStates();
}

// The sensor object is shared with the workers' threads: it goes only once
// none of them can touch it any more.
void MainWin::releaseSensor()
{
    waitForWorkers();
    m_sensor->closeDevice();
    m_sensor.reset();
}

// Every worker must have been told to stop. A worker's done() asks this
// thread to quit its own, which cannot happen while this thread waits: each
// is quit here.
void MainWin::waitForWorkers()
{
    for (const WorkerRun& run : qAsConst(m_workerRuns)) {
        if (run.thread) {
            run.thread->quit();
            run.thread->wait();
        }
    }
}

// Workers whose threads are gone have been deleted with them.
void MainWin::forgetFinishedWorkers()
{
    m_workerRuns.erase(std::remove_if(m_workerRuns.begin(), m_workerRuns.end(),
                                      [](const WorkerRun& run) { return run.thread.isNull(); }),
                       m_workerRuns.end());
}

void MainWin::shutDownAcquisition()
{
    m_sensorTimer.stop();
    if (m_sensor) {
        if (isScanning())
            requestScanStop();
        releaseSensor();
    }
    // Workers whose threads have ended but have not been cleaned up yet go
    // with their threads, as the clean-up would have done.
    waitForWorkers();
    for (const WorkerRun& run : qAsConst(m_workerRuns)) {
        delete run.worker;
        delete run.thread;
    }
    m_workerRuns.clear();
}

void MainWin::setSessionsConnected(bool connected)
{
    forEachSession([connected](PlotManager& session) { session.setConnected(connected); });
}

void MainWin::setNotConnected()
{
    m_connectionLabel->setText(kNotConnected);
}

void MainWin::updateSensorState()
{
    if (!m_sensor) {
        m_sensorTimer.stop();
        return;
    }
    const QString state = sensorStatusText(m_sensor->updateStatus());
    if (state.isEmpty()) {
        sensorDisconnected();
        return;
    }
    m_connectionLabel->setText(kConnected);
    statusBar()->showMessage(state);
}

void MainWin::testConnection()
{
    if (m_sensor)
        m_sensor->goCommand();
}

void MainWin::aboutHardware()
{
    const QString text = hardwareInformation(QCoreApplication::applicationVersion(), BuildInfo::description(),
                                             m_sensor ? m_sensor->infoText : nullptr);
    m_dialogs->about(this, QCoreApplication::applicationName(), text);
}

// ---------------------------------------------------------------- scans

void MainWin::actionScanSlot(bool)
{
    scan();
    setWidgetStates();
}

PlotManager* MainWin::acquiringSession() const
{
    return m_scanSession ? m_scanSession.data() : m_currentSession;
}

// Starts a scan on the current session when none runs, stops the running
// one otherwise.
void MainWin::scan()
{
    if (!m_sensor) {
        // A session's Start Scan button pressed without a sensor.
        acquiringSession()->scanToggled(false);
        return;
    }
    if (isScanning()) {
        requestScanStop();
        return;
    }
    if (!hasSubWindow())
        createSession();
    // The start may let events run, in which the session can be closed.
    const QPointer<PlotManager> session = m_currentSession;
    m_actionScan->setEnabled(false);
    session->scanEnabled(false);
    Logger::instance(this)->append(QStringLiteral("Starting new scan at %1")
                                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"))));

    const int status = m_sensor->updateStatus();
    if (status == 'I') {
        if (startScan(*session))
            return;
    } else {
        m_dialogs->warning(this, kNotReadyTitle, sensorNotReadyText(status));
    }
    m_actionScan->setChecked(false);
    if (session)
        session->scanToggled(false);
}

// The session's data are discarded only once nothing stands in the way of the
// scan: not a configuration that cannot start, not the operator's answer
// about unsaved data, not the drive.
bool MainWin::startScan(PlotManager& session)
{
    ConfigParam config = session.configPanel()->configParam;
    const ScanStart start = scanStartFor(config);
    if (!start.problem.isEmpty()) {
        m_dialogs->warning(this, kScanNotStartedTitle, start.problem);
        return false;
    }
    const QPointer<PlotManager> guard(&session);
    fileFramesOfStoppedScans(session);
    // The prompt and the drive's move let events run: the user may have
    // disconnected or closed the session meanwhile.
    if (!session.mayDiscardScans() || !guard || !m_sensor)
        return false;
    if (!prepareDrive(config) || !guard || !m_sensor)
        return false;

    session.prepareForNewScan();
    session.config() = config;
    discardStaleFrames();
    sendModeFrame(*m_sensor, start);
    statusBar()->showMessage(QStringLiteral("Scanning"));
    m_sensor->goCommand();

    LangmuirSettingsWidget& settings = *session.analysisSettings();
    settings.setLangmuirSettings();
    applyScanConfigToAnalysis(config, settings);

    // The frames go to the session through launchWorker, tagged with the new
    // acquisition.
    auto* worker = new ScanHandler(m_sensor.get(), nullptr, start.timeResolved, start.scans, start.lastDelay,
                                   config.dataScanRunParam.integrationTime);
    if (config.spatParam.bUseSpatScan)
        worker->setSpatial(config.linearDrive, config.spatParam.start, config.spatParam.step, config.spatParam.end);
    m_scanSession = &session;
    session.scanToggled(true);
    launchWorker(worker, config);
    m_actionScan->setChecked(true);
    m_actionScan->setEnabled(true);
    session.scanEnabled(true);
    return true;
}

// Workers that were told to stop end within one poll. Waiting for them keeps
// them from taking frames of the next scan from the sensor, and the frames
// they had sent are filed into the session's acquisition they belong to,
// before it is saved or discarded.
void MainWin::fileFramesOfStoppedScans(PlotManager& session)
{
    waitForWorkers();
    QCoreApplication::sendPostedEvents(&session, QEvent::MetaCall);
}

// A spatial scan starts with the drive at its first position.
bool MainWin::prepareDrive(const ConfigParam& config)
{
    if (!config.spatParam.bUseSpatScan)
        return true;
    LinearDrive* drive = config.linearDrive;
    if (!drive) {
        m_dialogs->warning(this, kScanNotStartedTitle,
                           QStringLiteral("A spatially resolved scan needs the linear drive. Initialize it on the "
                                          "Spatial page of the configuration panel first."));
        return false;
    }
    if (!drive->moveTo(config.spatParam.start)) {
        // Frames taken elsewhere would be filed under the start position.
        m_dialogs->warning(this, kScanNotStartedTitle,
                           QStringLiteral("The linear drive did not reach the start position %1 mm: %2")
                               .arg(config.spatParam.start)
                               .arg(QString::fromLatin1(drive->errorString())));
        return false;
    }
    return true;
}

// An idle sensor may still deliver frames of an acquisition that was stopped
// (they were on their way when it stopped; the status query has received
// them). They belong to no scan of this session.
void MainWin::discardStaleFrames()
{
    scanResult stale;
    for (int count = 0; count < maxStaleFrames; ++count) {
        if (m_sensor->getSensorData(stale.position, stale.mode, stale.scan, stale.word8, stale.word10, stale.delay,
                                    stale.harmonics, stale.freq, stale.VR, stale.Vi, stale.Ir, stale.Ii)
            <= 0)
            return;
    }
}

void MainWin::launchWorker(ScanHandler* worker, const ConfigParam& config)
{
    auto* thread = new QThread;
    worker->moveToThread(thread);
    registerScanResultType();
    PlotManager* session = m_scanSession;
    const int acquisition = session->acquisition();
    connect(
        worker, &ScanHandler::dataUpdate, session,
        [session, acquisition](const scanResult& frame) { session->acquisitionUpdate(acquisition, frame); },
        Qt::QueuedConnection);
    connect(thread, &QThread::started, worker, &ScanHandler::process);
    connect(worker, &ScanHandler::sensorDisconnection, this, &MainWin::sensorDisconnected);
    connect(worker, &ScanHandler::done, thread, &QThread::quit);
    // The worker is deleted here, on this thread, once its own has ended:
    // nothing can then be running in it, and every pointer to it is on this
    // thread, so none is left dangling. The thread object follows.
    connect(thread, &QThread::finished, this, [worker, thread] {
        thread->wait();
        delete worker;
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(worker, &ScanHandler::done, this, &MainWin::scanDone);
    if (LinearDrive* drive = config.linearDrive) {
        connect(worker, &ScanHandler::moveLinearDrive, drive, &LinearDrive::moveToPosition);
        connect(worker, &ScanHandler::checkPosition, drive, &LinearDrive::checkPosition);
        // A spatial scan cut short by the drive must not pass for a complete one.
        const QPointer<LinearDrive> guardedDrive(drive);
        connect(worker, &ScanHandler::moveFailed, this, [this, guardedDrive](double position) {
            // The drive's own error, not the abort an error prompt also raises.
            const QString reason =
                guardedDrive ? QString::fromLatin1(LinearDrive::messageForCode(guardedDrive->lastErrorCode())) : QString();
            m_dialogs->warning(this, kScanStoppedTitle,
                               QStringLiteral("The linear drive did not reach the position %1 mm: %2\nThe scan was "
                                              "stopped there; the data taken before are kept in the session.")
                                   .arg(position)
                                   .arg(reason));
        });
    }
    m_scanHandler = worker;
    forgetFinishedWorkers();
    m_workerRuns.append({worker, thread});
    thread->start();
}

// Sends the end frame at once; the worker sends it again if it was still
// polling, and ends with done() within one poll.
void MainWin::requestScanStop()
{
    m_sensor->endCommand();
    m_scanHandler->stopScan();
    forgetScan();
}

void MainWin::forgetScan()
{
    m_scanHandler = nullptr;
}

void MainWin::scanDone()
{
    // The end of an earlier scan that was stopped must not end a newer one.
    if (m_scanHandler && sender() && sender() != m_scanHandler)
        return;
    m_actionScan->setChecked(false);
    showScanStopped();
    m_scanHandler = nullptr;
    m_scanSession = nullptr;
    setWidgetStates();
}

// The acquiring session's button, and the current one's, which may have
// been pressed to stop the scan.
void MainWin::showScanStopped()
{
    acquiringSession()->scanToggled(false);
    m_currentSession->scanToggled(false);
}

void MainWin::setWidgetStates()
{
    const bool connected = m_actionConnect->isChecked();
    const bool calibrating = m_actionCalibrate->isChecked();
    const bool cleaning = m_actionClean->isChecked();
    const bool scanning = m_actionScan->isChecked();
    PlotManager* session = m_currentSession;

    if (!connected) {
        for (QAction* action : {m_actionCalibrate, m_actionClean, m_actionScan, m_actionMove})
            action->setEnabled(false);
        session->scanEnabled(true);
    } else if (!calibrating && !cleaning && !scanning) {
        for (QAction* action : {m_actionCalibrate, m_actionClean, m_actionScan})
            action->setEnabled(true);
        session->scanEnabled(true);
    } else if (scanning && !calibrating && !cleaning) {
        for (QAction* action : {m_actionCalibrate, m_actionClean, m_actionMove})
            action->setEnabled(false);
    } else if (calibrating) {
        for (QAction* action : {m_actionClean, m_actionScan, m_actionMove})
            action->setEnabled(false);
        session->scanEnabled(false);
    } else {
        for (QAction* action : {m_actionCalibrate, m_actionScan, m_actionMove})
            action->setEnabled(false);
        session->scanEnabled(false);
    }
}
