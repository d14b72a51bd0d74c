// The acquisition side of the main window: connecting the sensor, watching
// its status, and starting and stopping data scans.

#include "MainWin.h"

#include "BuildInfo.h"
#include "Logger.h"
#include "SensorTexts.h"
#include "acquisition/AcquisitionControl.h"
#include "acquisition/ExpectedFrames.h"
#include "acquisition/ScanHandler.h"
#include "acquisition/ScanProgress.h"
#include "acquisition/ScanStart.h"
#include "acquisition/scanResult.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "window/DialogProvider.h"
#include "window/PlotManager.h"

#include "orvelDevice.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QStatusBar>

namespace {

const QString kConnected = QStringLiteral(" <font color=Green>Connected");
const QString kNotConnected = QStringLiteral(" <font color=red>Not connected ");
const QString kNotReadyTitle = QStringLiteral("Sensor not ready");
const QString kScanNotStartedTitle = QStringLiteral("Scan not started");
const QString kScanStoppedTitle = QStringLiteral("Scan stopped");
const QString kSensorLost = QStringLiteral("Orvel Central Unit Disconnected");

} // namespace

// ---------------------------------------------------------------- connection

bool MainWin::isConnected() const
{
    return m_acquisition->isConnected();
}

bool MainWin::isScanning() const
{
    return m_acquisition->isScanning();
}

void MainWin::connectAcquisition()
{
    AcquisitionControl* control = m_acquisition.get();
    connect(control, &AcquisitionControl::statusPollDue, this, &MainWin::updateSensorState);
    connect(control, &AcquisitionControl::sensorLost, this, &MainWin::sensorDisconnected);
    connect(control, &AcquisitionControl::scanEnded, this, &MainWin::scanDone);
    connect(control, &AcquisitionControl::driveMoveFailed, this, &MainWin::showDriveMoveFailed);
    // Nothing emits it in this version; a stop from it goes the way of the
    // Scan command's.
    connect(this, &MainWin::stopScan, control, &AcquisitionControl::requestScanStop);
    connect(control, &AcquisitionControl::extraFramesDropped, this, [this](int count) {
        m_dialogs->warning(this, QCoreApplication::applicationName(), ExpectedFrames::droppedText(count));
    });
}

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

    if (!m_acquisition->connectSensor()) {
        m_actionConnect->setChecked(false);
        m_dialogs->warning(this, QStringLiteral("Unable to connect"), QStringLiteral("Unable to connect to orvel device"));
        return;
    }
    m_errorMessages.clear();
    m_area->update();
    if (PlotManager* active = sessionOf(m_area->activeSubWindow()))
        m_currentSession = active;
    showCurrentSessionInTitle();
    m_actionConnect->setText(QStringLiteral("Disconnect"));
    m_actionMove->setEnabled(true);
    setSessionsConnected(true);
}

void MainWin::disconnectSensor()
{
    setSessionsConnected(false);
    m_actionConnect->setText(QStringLiteral("connect"));
    if (isScanning()) {
        m_actionScan->setChecked(false);
        acquiringSession()->scanToggled(false);
    }
    m_acquisition->disconnectSensor();
    hideScanProgress();
    // "Idle" or "Scanning" would outlive the sensor they describe.
    statusBar()->clearMessage();
    m_actionMove->setEnabled(false);
    setNotConnected();
}

void MainWin::sensorDisconnected()
{
    if (!isConnected())
        return;
    const bool wasScanning = isScanning();
    m_acquisition->dropSensor();
    hideScanProgress();
    if (wasScanning) {
        m_actionScan->setChecked(false);
        acquiringSession()->scanToggled(false);
    }
    m_actionConnect->setText(QStringLiteral("Connect"));
    m_actionConnect->setChecked(false);
    setNotConnected();
    // Whether the status watch or the scan worker noticed, the last message
    // ("Scanning", "Idle") must not outlive the sensor.
    statusBar()->showMessage(kSensorLost);
    setSessionsConnected(false);
    setWidgetStates();
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
    if (!isConnected())
        return;
    const QString state = sensorStatusText(m_acquisition->sensorStatus());
    if (state.isEmpty()) {
        sensorDisconnected();
        return;
    }
    m_connectionLabel->setText(kConnected);
    statusBar()->showMessage(state);
}

void MainWin::testConnection()
{
    m_acquisition->sendGo();
}

void MainWin::aboutHardware()
{
    const orvelDevice* sensor = m_acquisition->sensor();
    const QString text = hardwareInformation(QCoreApplication::applicationVersion(), BuildInfo::description(),
                                             sensor ? sensor->infoText : nullptr);
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
    if (!isConnected()) {
        // A session's Start Scan button pressed without a sensor.
        acquiringSession()->scanToggled(false);
        return;
    }
    if (isScanning()) {
        m_acquisition->requestScanStop();
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

    const int status = m_acquisition->sensorStatus();
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
    m_acquisition->fileFramesOfStoppedScans(&session);
    // The prompt and the drive's move let events run: the user may have
    // disconnected or closed the session meanwhile.
    if (!session.mayDiscardScans() || !guard || !isConnected())
        return false;
    QString driveProblem;
    if (!AcquisitionControl::placeDriveAtStart(config, driveProblem)) {
        m_dialogs->warning(this, kScanNotStartedTitle, driveProblem);
        return false;
    }
    if (!guard || !isConnected())
        return false;

    session.prepareForNewScan();
    session.config() = config;
    statusBar()->showMessage(QStringLiteral("Scanning"));

    // The frames go to the session tagged with the new acquisition.
    const int acquisition = session.acquisition();
    PlotManager* target = &session;
    m_acquisition->startScan(start, config, target, [target, acquisition](const scanResult& frame) {
        target->acquisitionUpdate(acquisition, frame);
    });

    LangmuirSettingsWidget& settings = *session.analysisSettings();
    settings.setLangmuirSettings();
    applyScanConfigToAnalysis(config, settings);

    m_scanSession = &session;
    startScanProgress(start, config);
    session.scanToggled(true);
    m_actionScan->setChecked(true);
    m_actionScan->setEnabled(true);
    session.scanEnabled(true);
    return true;
}

void MainWin::showDriveMoveFailed(double position, const QString& reason)
{
    m_dialogs->warning(this, kScanStoppedTitle,
                       QStringLiteral("The linear drive did not reach the position %1 mm: %2\nThe scan was "
                                      "stopped there; the data taken before are kept in the session.")
                           .arg(position)
                           .arg(reason));
}

void MainWin::scanDone()
{
    m_actionScan->setChecked(false);
    hideScanProgress();
    showScanStopped();
    m_scanSession = nullptr;
    setWidgetStates();
}

void MainWin::startScanProgress(const ScanStart& start, const ConfigParam& config)
{
    m_scanScans = start.scans;
    m_scanPositions = config.spatParam.bUseSpatScan
                          ? spatialPositionCount(config.spatParam.start, config.spatParam.step, config.spatParam.end)
                          : 1;
    m_scanClock.start();
    m_progressBar->show();
    m_timeLeftLabel->show();
    updateProgressBar();
}

void MainWin::updateProgressBar()
{
    if (!isScanning() || !m_scanSession) {
        hideScanProgress();
        return;
    }
    const ScanProgress progress = ScanProgress::of(m_scanSession->data(), m_scanScans, m_scanPositions);
    m_progressBar->setValue(progress.percent());
    m_progressBar->setFormat(progress.text());
    m_timeLeftLabel->setText(progress.timeLeftText(m_scanClock.elapsed()));
    m_progressTimer.start();
}

void MainWin::hideScanProgress()
{
    m_progressTimer.stop();
    m_progressBar->hide();
    m_timeLeftLabel->hide();
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
        // Move... too, which a scan disabled: the drive may be moved again.
        for (QAction* action : {m_actionCalibrate, m_actionClean, m_actionScan, m_actionMove})
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
