#include "Acquisition.h"

#include "acquisition/ScanHandler.h"
#include "acquisition/measuredData.h"
#include "session/SessionJournal.h"

#include "orvelDevice.h"

#include <algorithm>

Acquisition::Acquisition(orvelDevice& sensor, const ScanStart& start, double integrationTime, measuredData& data,
                         QObject* parent)
    : QObject(parent)
    , m_sensor(sensor)
    , m_start(start)
    , m_data(data)
    , m_worker(std::make_unique<ScanHandler>(&sensor, nullptr, start.timeResolved, start.scans, start.lastDelay,
                                             integrationTime))
{
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker.get(), &ScanHandler::process);
    connect(m_worker.get(), &ScanHandler::done, &m_thread, &QThread::quit, Qt::DirectConnection);
    // Queued to this thread, in the order the worker emitted them: every frame
    // is filed before the end is seen.
    connect(m_worker.get(), &ScanHandler::dataUpdate, this, &Acquisition::file, Qt::QueuedConnection);
    connect(m_worker.get(), &ScanHandler::sensorDisconnection, this, &Acquisition::sensorLost, Qt::QueuedConnection);
    connect(m_worker.get(), &ScanHandler::extraFramesDropped, this, [this](int count) { m_framesDropped = count; },
            Qt::QueuedConnection);
    connect(&m_thread, &QThread::finished, this, &Acquisition::workerFinished, Qt::QueuedConnection);
}

Acquisition::~Acquisition()
{
    if (m_running) {
        stop();
        m_thread.wait();
    }
}

void Acquisition::start()
{
    m_running = true;
    m_thread.start();
}

void Acquisition::stop()
{
    if (!m_running || !m_worker)
        return;
    m_stopRequested = true;
    m_sensor.endCommand();
    m_worker->stopScan();
}

void Acquisition::file(const scanResult& frame)
{
    ++m_framesReceived;
    if (m_journal ? m_journal->file(m_data, frame) : m_data.add(frame))
        ++m_framesFiled;
    if (endsScan(frame, m_start.timeResolved, m_start.lastDelay))
        m_scansDone = std::max(m_scansDone, frame.scan);
    if (completesAcquisition(frame, m_start.timeResolved, m_start.scans, m_start.lastDelay))
        m_complete = true;
    emit progressed(m_framesReceived, m_scansDone);
}

void Acquisition::sensorLost()
{
    m_lost = true;
}

void Acquisition::workerFinished()
{
    m_thread.wait();
    m_worker.reset();
    m_running = false;
    if (m_lost)
        m_ending = Ending::SensorLost;
    else if (m_complete)
        m_ending = Ending::Complete;
    else if (m_stopRequested)
        m_ending = Ending::Stopped;
    else
        m_ending = Ending::SensorSilent;
    emit finished();
}
