#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class ConfigParam;
class QThread;
class ScanHandler;
class orvelDevice;
struct ScanStart;
struct scanResult;

// The acquisition behind the main window, without any widget: it owns the
// open sensor, asks for its status once a second while connected, places the
// linear drive at the start of a spatial scan, and runs each data scan's
// worker (ScanHandler) on a thread of its own, keeping track of the workers
// that were told to stop until their threads have ended.
//
// The window decides what to show and whom to ask; this class only reports:
// a status query is due, the running scan ended, the sensor was lost.
class AcquisitionControl : public QObject
{
    Q_OBJECT

public:
    static constexpr int sensorPollIntervalMs = 1000;
    static constexpr int connectAttempts = 10;

    explicit AcquisitionControl(QObject* parent = nullptr);
    // Stops a running scan and closes the sensor; workers still running are
    // waited for, and deleted with their threads.
    ~AcquisitionControl() override;

    bool isConnected() const { return m_sensor != nullptr; }
    // A scan runs and no stop has been asked for.
    bool isScanning() const { return !m_scanHandler.isNull(); }
    // The open sensor; null while not connected.
    orvelDevice* sensor() const { return m_sensor.get(); }

    // Opens the first available sensor, in up to `connectAttempts` rounds
    // over the device list, and starts the status watch. False when none opened.
    bool connectSensor();
    // Stops the status watch and a running scan (sending the end frame), and
    // closes the sensor once no worker can touch it any more.
    void disconnectSensor();
    // The sensor was lost: the status watch and a running scan stop without
    // anything more being sent, and the sensor is closed.
    void dropSensor();
    // The sensor's status letter (see orvelDevice::updateStatus).
    int sensorStatus();
    // Sends the go frame, when connected.
    void sendGo();

    // Waits for the workers that were told to stop and delivers the frames
    // they sent to `receiver` before anything else happens to it.
    void fileFramesOfStoppedScans(QObject* receiver);
    // A spatial scan starts with the drive at its first position: true when
    // it stands there (or no spatial scan is set), otherwise `problem` says why.
    static bool placeDriveAtStart(const ConfigParam& config, QString& problem);
    // Starts the sensor on `start` and its worker on a thread of its own. Every
    // frame goes to `deliver`, called on the thread of `receiver`.
    void startScan(const ScanStart& start, const ConfigParam& config, QObject* receiver,
                   const std::function<void(const scanResult&)>& deliver);
public slots:
    // Sends the end frame at once; the worker sends it again if it was still
    // polling, and ends within one poll. Nothing happens when no scan runs.
    void requestScanStop();

signals:
    // Once a second while connected.
    void statusPollDue();
    // The worker of the running scan (or of the last one stopped, when none
    // runs) has ended.
    void scanEnded();
    // The worker found the sensor gone.
    void sensorLost();
    void extraFramesDropped(int count);
    // The drive did not reach `position` (mm); `reason` is its own error.
    void driveMoveFailed(double position, const QString& reason);

private:
    bool tryOpenSensor();
    void discardStaleFrames();
    void connectDrive(ScanHandler* worker, const ConfigParam& config);
    void workerDone(ScanHandler* worker);
    void releaseSensor();
    void waitForWorkers();
    void forgetFinishedWorkers();

    std::unique_ptr<orvelDevice> m_sensor;
    QTimer m_sensorTimer;
    // The worker of the scan in progress; null when none runs (also once a
    // stop has been requested). Workers and their threads are deleted once
    // the threads have finished, and the pointers clear themselves.
    QPointer<ScanHandler> m_scanHandler;
    // Every worker started and not yet cleaned up; a stopped one may still
    // be finishing its last poll when the next scan starts.
    struct WorkerRun
    {
        QPointer<ScanHandler> worker;
        QPointer<QThread> thread;
    };
    QList<WorkerRun> m_workerRuns;
};
