#pragma once

#include "acquisition/ExpectedFrames.h"
#include "acquisition/scanResult.h"

#include <QMutex>
#include <QObject>

#include <atomic>

class LinearDrive;
class orvelDevice;

// Arithmetic of a spatial scan from `start` to `end` in steps of `step` (mm).
// The number of positions: the whole number of steps that fit, plus one. A
// quotient that misses a whole number only by rounding (0.3 / 0.1) counts as
// that number; a zero or unusable step gives the start position alone.
int spatialPositionCount(double start, double step, double end);
// The step with the magnitude of `step`, pointing from start to end (positive
// when they are equal).
double spatialStep(double start, double step, double end);
// The drive position as a record carries it: truncated toward zero, after
// rounding errors of the position arithmetic far below the drive's resolution
// have been removed (2.9999999999999996 is position 3).
int truncatedPosition(double position);

// Whether `frame` is the last frame of its scan: a high-band frame (the sensor
// sends each frame's high band after its low band) at the scan's last delay,
// `lastDelay`, in time-resolved mode, or at any delay in averaged mode.
bool endsScan(const scanResult& frame, bool timeResolved, int lastDelay);
// Whether `frame` completes an acquisition of `runScans` scans: it ends a scan
// numbered `runScans` or higher.
bool completesAcquisition(const scanResult& frame, bool timeResolved, int runScans, int lastDelay);

// The acquisition worker of one data scan. It lives on a thread of its own:
// process() polls the sensor until the acquisition is complete, forwarding
// every data frame to the session as a scanResult, and in a spatial scan steps
// the linear drive from position to position, restarting the sensor at each.
// It emits done() when it ends.
//
// process() does not return to the thread's event loop while it runs, so the
// main window stops a scan by calling stopScan() directly from its own thread.
class ScanHandler : public QObject
{
    Q_OBJECT

public:
    // `session` receives the records through its slot dataUpdate(scanResult),
    // connected queued; it may be null when the caller connects dataUpdate itself.
    ScanHandler(orvelDevice* device, QObject* session, bool timeResolved, int runScans, int lastDelay,
                double scanIntegrationTime, QObject* parent = nullptr);

    // Turns spatial stepping on; call before the worker's thread starts. The
    // drive must already stand at `start`.
    void setSpatial(LinearDrive* drive, double start, double step, double end);

    // The pause after each request to the drive (ms); 1000 unless changed.
    void setDrivePause(int milliseconds);

signals:
    void dataUpdate(const scanResult& result);
    void sensorDisconnection();
    void done();
    void moveLinearDrive(double position);
    void checkPosition();
    // The drive did not reach `position` (mm): the acquisition ends there.
    void moveFailed(double position);
    // Once, before done(), when the sensor sent `count` frames beyond what the
    // acquisition asked for (see ExpectedFrames); they were not forwarded.
    void extraFramesDropped(int count);

public slots:
    void process();
    // Ends the acquisition: sends the sensor one end frame, however often it is
    // called, and asks the drive to give up a move in progress. A stop that
    // arrives before process() has begun keeps it from polling at all.
    void stopScan();
    void pauseScan();

private:
    static constexpr int maxEmptyPolls = 75;

    void getData();
    void forward(scanResult& result);
    unsigned long pollPause() const;
    void moveToCurrentPosition();
    void stopOnFailedMove(double lastSeen, double reading);
    void runEventsAndPause();

    std::atomic<bool> running{false};
    orvelDevice* device;
    int emptyPolls = 0;
    int runScans;
    int lastDelay;
    bool spatial = false;
    double startPosition = 0.0;
    double step = 0.0;
    int positionCount = 1;
    int positionIndex = 0;
    double currentPosition = 0.0;
    LinearDrive* drive = nullptr;
    double scanIntegrationTime;
    bool timeResolved;
    ExpectedFrames expected;

    // Orders a stop against the start of the loop and against the go frame at a
    // new position: once stopScan has returned, a loop that had not begun never
    // does, and no go frame restarts the sensor.
    QMutex mutex;
    bool stopRequested = false;
    int drivePauseMs = 1000;
};
