#include "acquisition/AcquisitionControl.h"

#include "acquisition/ModeFrame.h"
#include "acquisition/ScanHandler.h"
#include "acquisition/ScanStart.h"
#include "acquisition/scanResult.h"
#include "config/ConfigParam.h"
#include "drive/LinearDrive.h"

#include "orvelDevice.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

// More than a sensor's output buffer can hold; a bound for a sensor that
// never stops sending.
constexpr int maxStaleFrames = 4096;

} // namespace

AcquisitionControl::AcquisitionControl(QObject* parent)
    : QObject(parent)
{
    m_sensorTimer.setInterval(sensorPollIntervalMs);
    // Connected once, here: reconnecting the sensor only starts the timer
    // again, so the status is asked once a tick however often it reconnects.
    connect(&m_sensorTimer, &QTimer::timeout, this, &AcquisitionControl::statusPollDue);
}

AcquisitionControl::~AcquisitionControl()
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
}

// ---------------------------------------------------------------- sensor

bool AcquisitionControl::connectSensor()
{
    bool opened = false;
    for (int attempt = 0; attempt < connectAttempts && !opened; ++attempt)
        opened = tryOpenSensor();
    if (opened)
        m_sensorTimer.start();
    return opened;
}

// The first available sensor that opens wins.
bool AcquisitionControl::tryOpenSensor()
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

void AcquisitionControl::disconnectSensor()
{
    m_sensorTimer.stop();
    if (isScanning())
        requestScanStop();
    if (m_sensor)
        releaseSensor();
}

void AcquisitionControl::dropSensor()
{
    m_sensorTimer.stop();
    if (isScanning()) {
        m_scanHandler->stopScan();
        m_scanHandler = nullptr;
    }
    if (m_sensor)
        releaseSensor();
}

int AcquisitionControl::sensorStatus()
{
    if (!m_sensor) {
        m_sensorTimer.stop();
        return -1;
    }
    return m_sensor->updateStatus();
}

void AcquisitionControl::sendGo()
{
    if (m_sensor)
        m_sensor->goCommand();
}

// The sensor object is shared with the workers' threads: it goes only once
// none of them can touch it any more.
void AcquisitionControl::releaseSensor()
{
    waitForWorkers();
    m_sensor->closeDevice();
    m_sensor.reset();
}

// Every worker must have been told to stop. A worker's done() asks this
// thread to quit its own, which cannot happen while this thread waits: each
// is quit here.
void AcquisitionControl::waitForWorkers()
{
    for (const WorkerRun& run : qAsConst(m_workerRuns)) {
        if (run.thread) {
            run.thread->quit();
            run.thread->wait();
        }
    }
}

// Workers whose threads are gone have been deleted with them.
void AcquisitionControl::forgetFinishedWorkers()
{
    m_workerRuns.erase(std::remove_if(m_workerRuns.begin(), m_workerRuns.end(),
                                      [](const WorkerRun& run) { return run.thread.isNull(); }),
                       m_workerRuns.end());
}

// ---------------------------------------------------------------- scans

// Workers that were told to stop end within one poll. Waiting for them keeps
// them from taking frames of the next scan from the sensor, and the frames
// they had sent are filed into the acquisition they belong to, before the
// receiver's data are saved or discarded.
void AcquisitionControl::fileFramesOfStoppedScans(QObject* receiver)
{
    waitForWorkers();
    QCoreApplication::sendPostedEvents(receiver, QEvent::MetaCall);
}

bool AcquisitionControl::placeDriveAtStart(const ConfigParam& config, QString& problem)
{
    if (!config.spatParam.bUseSpatScan)
        return true;
    LinearDrive* drive = config.linearDrive;
    if (!drive) {
        problem = QStringLiteral("A spatially resolved scan needs the linear drive. Initialize it on the "
                                 "Spatial page of the configuration panel first.");
        return false;
    }
    if (!drive->moveTo(config.spatParam.start)) {
        // Frames taken elsewhere would be filed under the start position.
        problem = QStringLiteral("The linear drive did not reach the start position %1 mm: %2")
                      .arg(config.spatParam.start)
                      .arg(QString::fromLatin1(drive->errorString()));
        return false;
    }
    return true;
}

// An idle sensor may still deliver frames of an acquisition that was stopped
// (they were on their way when it stopped; the status query has received
// them). They belong to no scan of the new one.
void AcquisitionControl::discardStaleFrames()
{
    scanResult stale;
    for (int count = 0; count < maxStaleFrames; ++count) {
        if (m_sensor->getSensorData(stale.position, stale.mode, stale.scan, stale.word8, stale.word10, stale.delay,
                                    stale.harmonics, stale.freq, stale.VR, stale.Vi, stale.Ir, stale.Ii)
            <= 0)
            return;
    }
}

void AcquisitionControl::startScan(const ScanStart& start, const ConfigParam& config, QObject* receiver,
                                   const std::function<void(const scanResult&)>& deliver)
{
    discardStaleFrames();
    sendModeFrame(*m_sensor, start);
    m_sensor->goCommand();

    auto* worker = new ScanHandler(m_sensor.get(), nullptr, start.timeResolved, start.scans, start.lastDelay,
                                   config.dataScanRunParam.integrationTime);
    if (config.spatParam.bUseSpatScan)
        worker->setSpatial(config.linearDrive, config.spatParam.start, config.spatParam.step, config.spatParam.end);

    auto* thread = new QThread;
    worker->moveToThread(thread);
    registerScanResultType();
    connect(worker, &ScanHandler::dataUpdate, receiver, deliver, Qt::QueuedConnection);
    connect(thread, &QThread::started, worker, &ScanHandler::process);
    connect(worker, &ScanHandler::sensorDisconnection, this, &AcquisitionControl::sensorLost);
    connect(worker, &ScanHandler::done, thread, &QThread::quit);
    // The worker is deleted here, on this thread, once its own has ended:
    // nothing can then be running in it, and every pointer to it is on this
    // thread, so none is left dangling. The thread object follows.
    connect(thread, &QThread::finished, this, [worker, thread] {
        thread->wait();
        delete worker;
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(worker, &ScanHandler::done, this, [this, worker] { workerDone(worker); });
    connect(worker, &ScanHandler::extraFramesDropped, this, &AcquisitionControl::extraFramesDropped);
    connectDrive(worker, config);

    m_scanHandler = worker;
    forgetFinishedWorkers();
    m_workerRuns.append({worker, thread});
    thread->start();
}

void AcquisitionControl::connectDrive(ScanHandler* worker, const ConfigParam& config)
{
    LinearDrive* drive = config.linearDrive;
    if (!drive)
        return;
    connect(worker, &ScanHandler::moveLinearDrive, drive, &LinearDrive::moveToPosition);
    connect(worker, &ScanHandler::checkPosition, drive, &LinearDrive::checkPosition);
    // A spatial scan cut short by the drive must not pass for a complete one.
    const QPointer<LinearDrive> guardedDrive(drive);
    connect(worker, &ScanHandler::moveFailed, this, [this, guardedDrive](double position) {
        // The drive's own error, not the abort an error prompt also raises.
        const QString reason =
            guardedDrive ? QString::fromLatin1(LinearDrive::messageForCode(guardedDrive->lastErrorCode())) : QString();
        emit driveMoveFailed(position, reason);
    });
}

// The end of an earlier scan that was stopped must not end a newer one.
void AcquisitionControl::workerDone(ScanHandler* worker)
{
    if (m_scanHandler && worker != m_scanHandler)
        return;
    m_scanHandler = nullptr;
    emit scanEnded();
}

void AcquisitionControl::requestScanStop()
{
    if (!isScanning())
        return;
    m_sensor->endCommand();
    m_scanHandler->stopScan();
    m_scanHandler = nullptr;
}
