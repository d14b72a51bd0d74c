#pragma once

#include "acquisition/ScanStart.h"
#include "acquisition/scanResult.h"

#include <QObject>
#include <QThread>

#include <memory>

class ScanHandler;
class SessionJournal;
class measuredData;
class orvelDevice;

// One data scan run from the command line: the window's scan worker on a
// thread of its own, and every frame it forwards filed into the session's data
// model on this thread, as the session window files them.
class Acquisition : public QObject
{
    Q_OBJECT

public:
    enum class Ending {
        Complete,     // the frame that completes the scan arrived
        Stopped,      // stop() ended it early
        SensorLost,   // the sensor stopped answering
        SensorSilent, // the sensor sent nothing more before the scan was complete
    };

    // The mode and go frames of `start` must already have been sent. The
    // integration time sets the worker's pause between polls, as in the window.
    Acquisition(orvelDevice& sensor, const ScanStart& start, double integrationTime, measuredData& data,
                QObject* parent = nullptr);
    ~Acquisition() override;

    // Starts the worker's thread. finished() follows once the scan has ended
    // and every frame the worker forwarded has been filed.
    void start();
    // Ends the scan as the window's Stop does: the end frame, then the
    // worker's stopScan(). Nothing once the worker has finished.
    void stop();

    // Files the frames through `journal` from now on, which keeps them in
    // its recovery journal as well.
    void setJournal(SessionJournal* journal) { m_journal = journal; }

    Ending ending() const { return m_ending; }
    int framesReceived() const { return m_framesReceived; }
    int framesFiled() const { return m_framesFiled; }
    int scansDone() const { return m_scansDone; }
    // Frames the worker dropped as beyond what the scan asked for.
    int framesDropped() const { return m_framesDropped; }
    int scansToRun() const { return m_start.scans; }

signals:
    void progressed(int framesReceived, int scansDone);
    void finished();

private slots:
    void file(const scanResult& frame);
    void sensorLost();
    void workerFinished();

private:
    orvelDevice& m_sensor;
    const ScanStart m_start;
    measuredData& m_data;
    SessionJournal* m_journal = nullptr;
    QThread m_thread;
    // Deleted here once its thread has finished, so that a late stop() never
    // reaches a worker that is gone.
    std::unique_ptr<ScanHandler> m_worker;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_lost = false;
    bool m_complete = false;
    int m_framesReceived = 0;
    int m_framesFiled = 0;
    int m_scansDone = 0;
    int m_framesDropped = 0;
    Ending m_ending = Ending::SensorSilent;
};
