#include "acquisition/ScanHandler.h"

#include "drive/LinearDrive.h"

#include "orvelDevice.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Only a frame above this frequency can end an acquisition: the sensor sends
// the high band of each frame after its low band (below 150000 Hz).
constexpr double lowBandLimit = 150000.0;

// Pause between polls of a time-resolved acquisition (ms).
constexpr unsigned long timeResolvedPollPause = 3;

// Pause before the go frame at a new position, once the drive is there (ms).
constexpr unsigned long goFrameDelay = 10;

// Two readings of the drive are the same when they are equal, or when neither
// is a position at all (a drive that never answered reports NaN, and a NaN
// compared with itself must not read as a drive still on the move).
bool sameReading(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

int spatialPositionCount(double start, double step, double end)
{
    const double steps = std::abs(end - start) / std::abs(step);
    if (!std::isfinite(steps))
        return 1;
    // Decimal positions and steps are not exact in binary: 0.3 / 0.1 comes out
    // a hair below 3, and the last position must not be lost to that.
    const double whole = std::floor(steps * (1.0 + 1e-9));
    return int(std::min(whole, double(INT_MAX - 1))) + 1;
}

double spatialStep(double start, double step, double end)
{
    const double magnitude = std::abs(step);
    return end >= start ? magnitude : -magnitude;
}

int truncatedPosition(double position)
{
    // Rounded to a micrometre first: far finer than any drive steps, far coarser
    // than the rounding error of start + index * step.
    const double truncated = std::trunc(std::round(position * 1e6) / 1e6);
    if (std::isnan(truncated))
        return 0;
    return int(std::clamp(truncated, double(INT_MIN), double(INT_MAX)));
}

bool endsScan(const scanResult& frame, bool timeResolved, int lastDelay)
{
    return frame.freq > lowBandLimit && (!timeResolved || frame.delay >= lastDelay);
}

bool completesAcquisition(const scanResult& frame, bool timeResolved, int runScans, int lastDelay)
{
    return frame.scan >= runScans && endsScan(frame, timeResolved, lastDelay);
}

ScanHandler::ScanHandler(orvelDevice* device, QObject* session, bool timeResolved, int runScans, int lastDelay,
                         double scanIntegrationTime, QObject* parent)
    : QObject(parent)
    , device(device)
    , runScans(runScans)
    , lastDelay(lastDelay)
    , scanIntegrationTime(scanIntegrationTime)
    , timeResolved(timeResolved)
    , expected(timeResolved, runScans)
{
    registerScanResultType();
    if (session)
        connect(this, SIGNAL(dataUpdate(scanResult)), session, SLOT(dataUpdate(scanResult)), Qt::QueuedConnection);
}

void ScanHandler::setSpatial(LinearDrive* drive, double start, double step, double end)
{
    spatial = true;
    this->drive = drive;
    startPosition = currentPosition = start;
    positionCount = spatialPositionCount(start, step, end);
    this->step = spatialStep(start, step, end);
}

void ScanHandler::setDrivePause(int milliseconds)
{
    drivePauseMs = std::max(0, milliseconds);
}

void ScanHandler::process()
{
    {
        QMutexLocker lock(&mutex);
        running = !stopRequested;
    }
    positionIndex = 0;
    qDebug() << "Started scan handler Process.";
    while (running) {
        if (const unsigned long pause = pollPause())
            QThread::msleep(pause);
        getData();
    }
    if (expected.dropped() > 0)
        emit extraFramesDropped(expected.dropped());
    emit done();
    qDebug() << "Scan handler Process complete.";
}

void ScanHandler::stopScan()
{
    QMutexLocker lock(&mutex);
    stopRequested = true;
    if (!running.exchange(false))
        return;
    device->endCommand();
    if (spatial && drive)
        drive->abortRequested = true;
}

void ScanHandler::pauseScan() {}

unsigned long ScanHandler::pollPause() const
{
    if (timeResolved)
        return timeResolvedPollPause;
    // Bounded before the conversion: the integration time comes from stored
    // configurations, which may hold anything.
    return static_cast<unsigned long>(std::clamp(scanIntegrationTime / 150.0, 0.0, double(INT_MAX)));
}

void ScanHandler::getData()
{
    qDebug() << "ScanHandler::getData() getSensorData.";
    scanResult result;
    const int outcome = device->getSensorData(result.position, result.mode, result.scan, result.word8, result.word10,
                                              result.delay, result.harmonics, result.freq, result.VR, result.Vi,
                                              result.Ir, result.Ii);
    if (outcome > 0) {
        forward(result);
    } else if (outcome == 0) {
        if (++emptyPolls > maxEmptyPolls)
            running = false;
    } else {
        qDebug() << "ScanHandler::getData() getSensorData failed.";
        running = false;
        emit sensorDisconnection();
    }
}

void ScanHandler::forward(scanResult& result)
{
    if (spatial)
        result.position = truncatedPosition(currentPosition);
    emptyPolls = 0;
    // Only what was asked for is filed, and only that can complete the scan.
    if (!expected.admit(result, positionIndex))
        return;
    emit dataUpdate(result);
    if (!completesAcquisition(result, timeResolved, runScans, lastDelay))
        return;
    if (!spatial) {
        running = false;
        return;
    }
    ++positionIndex;
    // Each position from the start and its index, so that rounding errors do
    // not add up from step to step.
    currentPosition = startPosition + positionIndex * step;
    if (positionIndex >= positionCount) {
        qDebug() << "ScanHandler::getData() getSensorData spatial steps complete.";
        running = false;
        return;
    }
    moveToCurrentPosition();
}

// The drive runs on the user-interface thread: it is asked to move and to read
// its position through queued signals, and its position and arrival are read
// here. A drive whose reading stops changing away from its target has given up.
void ScanHandler::moveToCurrentPosition()
{
    qDebug() << "ScanHandler::getData() getSensorData move to position" << currentPosition;
    if (!drive) {
        stopOnFailedMove(0.0, std::nan(""));
        return;
    }
    emit moveLinearDrive(currentPosition);
    runEventsAndPause();

    double lastSeen = 0.0;
    for (;;) {
        emit checkPosition();
        runEventsAndPause();
        const double reading = drive->position();
        if (!running)
            return;
        if (drive->isAtTarget())
            break;
        if (sameReading(reading, lastSeen)) {
            stopOnFailedMove(lastSeen, reading);
            return;
        }
        lastSeen = reading;
    }

    QThread::msleep(goFrameDelay);
    QMutexLocker lock(&mutex);
    if (running)
        device->goCommand();
}

void ScanHandler::stopOnFailedMove(double lastSeen, double reading)
{
    qDebug() << "Linear drive did not move. stopping scan";
    qDebug() << "lastPosition=" << lastSeen;
    qDebug() << "position=" << reading;
    running = false;
    emit moveFailed(currentPosition);
}

// Lets queued calls to this worker run (a stop among them), then gives the
// drive time to act on the request just sent.
void ScanHandler::runEventsAndPause()
{
    QCoreApplication::processEvents();
    QThread::msleep(static_cast<unsigned long>(drivePauseMs));
}
