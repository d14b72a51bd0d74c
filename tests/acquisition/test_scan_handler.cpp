// The scan worker on a thread of its own, polling a sensor of the simulated
// USB bus and, in spatial scans, stepping the simulated drive on a
// pseudo-terminal through queued calls, wired as the main window wires it.

#include "acquisition/ScanHandler.h"
#include "drive/AppliedMotion.h"
#include "drive/DrivePort.h"
#include "simdrive/SimulatedDrive.h"

#include "DeviceInspector.h"
#include "device/DeviceTestSupport.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

using namespace orvel::device;
using namespace orvel::device::testing;

namespace {

constexpr double highBand = 200000.0;
constexpr double lowBand = 100000.0;

const char* const pollLine = "ScanHandler::getData() getSensorData.";

// Sensor clock ticks that the device reports as `microseconds` (slow clock).
std::int32_t ticksFor(int microseconds)
{
    return static_cast<std::int32_t>(std::ceil(microseconds * 12.606061));
}

// A data frame whose fields other than scan, band and delay still differ from
// frame to frame, so a field copied from the wrong place shows.
DataFrame frame(int scan, double freq, int delayMicroseconds = 0, int sequence = 0)
{
    DataFrame f;
    f.position = static_cast<std::uint16_t>(40 + sequence);
    f.mode = static_cast<std::uint8_t>(2 + sequence);
    f.scan = static_cast<std::uint16_t>(scan);
    f.word8 = static_cast<std::uint16_t>(100 + sequence);
    f.word10 = static_cast<std::uint16_t>(200 + sequence);
    f.delayTicks = ticksFor(delayMicroseconds);
    f.harmonicCount = 3;
    f.freq = static_cast<float>(freq);
    for (int k = 0; k < 3; ++k)
        f.harmonics[k] = {1.5f + k + sequence, -0.25f * k, 0.125f * k, 2.0f + sequence};
    return f;
}

std::vector<unsigned char> bytesOf(const DataFrame& f)
{
    return encodeDataFrame(f);
}

int framesOfType(const ScriptedSensor& sensor, char type)
{
    int count = 0;
    for (const auto& written : sensor.receivedFrames())
        count += !written.empty() && written[0] == static_cast<unsigned char>(type);
    return count;
}

QList<QByteArray> moveCommands(const QList<QByteArray>& commands)
{
    QList<QByteArray> moves;
    for (const QByteArray& command : commands)
        if (command.startsWith("FP"))
            moves.append(command);
    return moves;
}

// Stands in for the session window: collects on the test's thread what the
// worker sends through queued connections.
class Session : public QObject
{
    Q_OBJECT

public:
    QVector<scanResult> records;
    int doneCount = 0;
    int disconnections = 0;
    QVector<int> dropReports;

    QVector<int> positions() const
    {
        QVector<int> all;
        for (const scanResult& r : records)
            all.append(r.position);
        return all;
    }

public slots:
    void dataUpdate(const scanResult& result) { records.append(result); }
    void workerDone() { ++doneCount; }
    void sensorLost() { ++disconnections; }
    void extraFramesDropped(int count) { dropReports.append(count); }
};

// Collects the debug lines of every thread while it lives; other messages go
// on to the handler that was installed before.
class DebugCapture
{
public:
    DebugCapture()
    {
        active = this;
        previous = qInstallMessageHandler(handle);
    }
    ~DebugCapture()
    {
        qInstallMessageHandler(previous);
        active = nullptr;
    }

    QStringList lines() const
    {
        QMutexLocker lock(&mutex);
        return collected;
    }
    int count(const QString& line) const { return lines().count(line); }
    bool contains(const QString& line) const { return count(line) > 0; }
    // The lines from the first one equal to `first` on, `length` of them.
    QStringList runFrom(const QString& first, int length) const
    {
        const QStringList all = lines();
        const int at = all.indexOf(first);
        return at < 0 ? QStringList() : all.mid(at, length);
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type != QtDebugMsg) {
            previous(type, context, message);
            return;
        }
        QMutexLocker lock(&active->mutex);
        active->collected.append(message);
    }

    static inline DebugCapture* active = nullptr;
    static inline QtMessageHandler previous = nullptr;
    mutable QMutex mutex;
    QStringList collected;
};

// A worker on a thread of its own, wired as the main window wires it: started
// with the thread, quitting it when done, reporting to the session.
class WorkerRun
{
public:
    WorkerRun(orvelDevice& device, Session& session, bool timeResolved, int runScans, int lastDelay,
              double integrationTime)
        : handler(new ScanHandler(&device, &session, timeResolved, runScans, lastDelay, integrationTime))
    {
        handler->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, handler.get(), &ScanHandler::process);
        QObject::connect(handler.get(), &ScanHandler::done, &thread, &QThread::quit);
        QObject::connect(handler.get(), &ScanHandler::done, &session, &Session::workerDone);
        QObject::connect(handler.get(), &ScanHandler::sensorDisconnection, &session, &Session::sensorLost);
    }
    // A test that failed early leaves the worker running: stop it first.
    ~WorkerRun()
    {
        handler->stopScan();
        thread.quit();
        thread.wait();
    }

    void stepDrive(LinearDrive& drive, double start, double step, double end, int pauseMs)
    {
        handler->setSpatial(&drive, start, step, end);
        handler->setDrivePause(pauseMs);
        QObject::connect(handler.get(), &ScanHandler::moveLinearDrive, &drive, &LinearDrive::moveToPosition);
        QObject::connect(handler.get(), &ScanHandler::checkPosition, &drive, &LinearDrive::checkPosition);
    }

    void start() { thread.start(); }
    bool finished() const { return thread.isFinished(); }

    std::unique_ptr<ScanHandler> handler;
    QThread thread;
};

// Answers go frames like the scripted sensor and notes where the drive stood
// (in steps) at each one.
class GoWatchingSensor : public ScriptedSensor
{
public:
    explicit GoWatchingSensor(const SimulatedDrive& drive)
        : drive(drive)
    {
    }
    std::vector<int> goPositions() const
    {
        std::lock_guard<std::mutex> guard(mutex);
        return positions;
    }

protected:
    void answerGo() override
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            positions.push_back(drive.position());
        }
        ScriptedSensor::answerGo();
    }

private:
    const SimulatedDrive& drive;
    mutable std::mutex mutex;
    std::vector<int> positions;
};

// Answers reads at once and, once armed, queues one frame when the given read
// comes, so the number of empty polls before it is exact.
class FrameOnReadSensor : public ScriptedSensor
{
public:
    FrameOnReadSensor() { setWaitOnTimeout(false); }
    void arm(int read, std::vector<unsigned char> bytes)
    {
        frameBytes = std::move(bytes);
        reads = 0;
        deliverOnRead = read;
    }
    std::size_t transmit(unsigned char* out, std::size_t capacity, int timeoutMs) override
    {
        if (++reads == deliverOnRead)
            queue(frameBytes);
        return ScriptedSensor::transmit(out, capacity, timeoutMs);
    }

private:
    std::atomic<int> reads{0};
    std::atomic<int> deliverOnRead{-1};
    std::vector<unsigned char> frameBytes;
};

} // namespace

class TestScanHandler : public QObject
{
    Q_OBJECT

    PrivateRuntimeDir runtime;
    std::unique_ptr<BusScope> bus;
    std::unique_ptr<SimulatedDrive> simulated;

    std::shared_ptr<SimulatedDevice> usbDevice;

    std::unique_ptr<orvelDevice> openSensor(std::shared_ptr<ScriptedSensor> sensor)
    {
        usbDevice = bus->bus->addDevice("SCAN0001", sensor);
        return open("SCAN0001");
    }

    std::unique_ptr<AppliedMotion> driveAt(double position)
    {
        std::unique_ptr<QSerialPort> port = openDrivePort(simulated->slavePath());
        if (!port)
            return nullptr;
        auto drive = std::make_unique<AppliedMotion>(port.release());
        if (!drive->connected || !drive->moveTo(position))
            return nullptr;
        return drive;
    }

    static bool waitForDone(const Session& session, WorkerRun& run, int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        while ((session.doneCount == 0 || !run.finished()) && waited.elapsed() < timeoutMs)
            QTest::qWait(10);
        return session.doneCount == 1 && run.finished();
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("orvel.drive.debug=false");
    }

    void init()
    {
        bus = std::make_unique<BusScope>();
        simulated = std::make_unique<SimulatedDrive>();
        QVERIFY2(simulated->start(), qPrintable(simulated->errorString()));
    }

    void cleanup()
    {
        usbDevice.reset();
        simulated.reset();
        bus.reset();
    }

    void spatialArithmetic()
    {
        QCOMPARE(spatialPositionCount(0, 2.5, 10), 5);
        QCOMPARE(spatialPositionCount(0, 3, 10), 4);
        QCOMPARE(spatialPositionCount(0, 3, 9), 4);
        QCOMPARE(spatialPositionCount(10, 2.5, 0), 5);
        QCOMPARE(spatialPositionCount(10, -2.5, 0), 5);
        QCOMPARE(spatialStep(10, 2.5, 0), -2.5);
        QCOMPARE(spatialStep(0, -2.5, 10), 2.5);
        QCOMPARE(spatialStep(4, -2.5, 4), 2.5);
        QCOMPARE(spatialPositionCount(4, 2.5, 4), 1);
        // Decimal steps: 0.3 / 0.1 falls a hair below 3 in binary.
        QCOMPARE(spatialPositionCount(0, 0.1, 0.3), 4);
        QCOMPARE(spatialPositionCount(0.7, 0.1, 1.0), 4);
        QCOMPARE(spatialPositionCount(0, 0.1, 0.29), 3);
        // A zero step cannot reach the end: the start alone.
        QCOMPARE(spatialPositionCount(0, 0, 10), 1);
        QCOMPARE(spatialPositionCount(5, 0, 5), 1);

        QCOMPARE(truncatedPosition(9.99), 9);
        QCOMPARE(truncatedPosition(-2.5), -2);
        QCOMPARE(truncatedPosition(0.7 + 0.1 + 0.1 + 0.1), 1); // 0.9999999999999999
        QCOMPARE(truncatedPosition(2.999), 2);
    }

    // Frames queued before the worker starts; the acquisition ends on the first
    // frame of the last scan above 150000 Hz, whatever the last delay says.
    void averagedModeEndsOnTheLastScansHighBandFrame()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        const int endFramesBefore = framesOfType(*sensor, 'E');
        sensor->queue(concat({bytesOf(frame(9, highBand, 0, 1)), bytesOf(frame(10, lowBand, 0, 2)),
                              bytesOf(frame(10, 200000.5, 700, 4)), bytesOf(frame(11, highBand, 0, 5))}));

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 10, 100000, 100);
        run.start();
        QVERIFY(waitForDone(session, run, 5000));

        // A frame of exactly 150000 Hz is filed with the high band but ends nothing.
        scanResult atSplit;
        atSplit.scan = 10;
        atSplit.freq = 150000.0;
        QVERIFY(!completesAcquisition(atSplit, false, 10, 100000));
        atSplit.freq = 150000.5;
        QVERIFY(completesAcquisition(atSplit, false, 10, 100000));

        QCOMPARE(session.records.size(), 3);
        QCOMPARE(session.disconnections, 0);
        QCOMPARE(DeviceInspector::queuedFrames(*device), std::size_t(1)); // the frame after the last
        QCOMPARE(framesOfType(*sensor, 'E'), endFramesBefore);
        const scanResult& last = session.records.last();
        QCOMPARE(last.position, 44);
        QCOMPARE(int(last.mode), 6);
        QCOMPARE(last.scan, 10);
        QCOMPARE(last.word8, 104);
        QCOMPARE(last.word10, 204);
        QCOMPARE(last.delay, 700);
        QCOMPARE(last.harmonics, 3);
        QCOMPARE(last.freq, 200000.5);
        QCOMPARE(last.VR[2], 7.5);
        QCOMPARE(last.Vi[2], -0.5);
        QCOMPARE(last.Ir[2], 0.25);
        QCOMPARE(last.Ii[2], 6.0);

        const QStringList lines = debug.lines();
        QCOMPARE(lines.first(), QString("Started scan handler Process."));
        QCOMPARE(lines.last(), QString("Scan handler Process complete."));
        QCOMPARE(debug.count(pollLine), 3);
    }

    // An averaged scan asks for one frame per band and scan: a sensor that
    // sends more (repeats, or scans it was not asked for) has them dropped,
    // and counted once at the end, instead of filling the session.
    void framesBeyondWhatWasAskedForAreDropped()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        std::vector<std::vector<unsigned char>> stream;
        for (int repeat = 0; repeat < 5; ++repeat)
            stream.push_back(bytesOf(frame(1, lowBand, 0, repeat)));
        stream.push_back(bytesOf(frame(0, lowBand, 0, 10)));
        stream.push_back(bytesOf(frame(2, lowBand, 0, 11)));
        stream.push_back(bytesOf(frame(1, highBand, 0, 12)));
        sensor->queue(concat(stream));

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        QObject::connect(run.handler.get(), &ScanHandler::extraFramesDropped, &session, &Session::extraFramesDropped);
        run.start();
        QVERIFY(waitForDone(session, run, 5000));

        QCOMPARE(session.records.size(), 2);
        QCOMPARE(session.records[0].word8, 100); // the first of the repeats
        QCOMPARE(session.records[1].freq, highBand);
        QCOMPARE(session.dropReports, QVector<int>{6});
    }

    void timeResolvedModeAlsoWaitsForTheLastDelay()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        sensor->queue(concat({bytesOf(frame(3, highBand, 980)), bytesOf(frame(3, lowBand, 990)),
                              bytesOf(frame(2, highBand, 990)), bytesOf(frame(3, highBand, 990)),
                              bytesOf(frame(3, highBand, 1000))}));

        DebugCapture debug; // keeps the poll lines out of the test log
        Session session;
        WorkerRun run(*device, session, true, 3, 990, 100000);
        run.start();
        QVERIFY(waitForDone(session, run, 5000));

        QCOMPARE(session.records.size(), 4);
        QCOMPARE(session.records[0].delay, 980);
        QCOMPARE(session.records[3].delay, 990);
        QCOMPARE(session.records[3].scan, 3);
        QCOMPARE(DeviceInspector::queuedFrames(*device), std::size_t(1));
    }

    // The sensor waits its read timeout on every empty poll, as a real one does.
    void seventySixEmptyPollsEndTheScan()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        QElapsedTimer elapsed;
        elapsed.start();
        run.start();
        QVERIFY(waitForDone(session, run, 20000));
        qInfo("76 empty polls took %lld ms", elapsed.elapsed());

        QCOMPARE(debug.count(pollLine), 76);
        QVERIFY(session.records.isEmpty());
        QCOMPARE(session.disconnections, 0);
    }

    // 50 empty polls, a frame that does not complete the scan, then 76 more.
    void aFrameRestartsTheCountOfEmptyPolls()
    {
        auto sensor = std::make_shared<FrameOnReadSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        sensor->arm(51, bytesOf(frame(1, lowBand)));

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.start();
        QVERIFY(waitForDone(session, run, 5000));

        QCOMPARE(session.records.size(), 1);
        QCOMPARE(debug.count(pollLine), 50 + 1 + 76);
    }

    void aLostSensorEndsTheScanWithSensorDisconnection()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        const std::vector<unsigned char> first = bytesOf(frame(1, lowBand));
        sensor->queue(concat({first, bytesOf(frame(1, highBand))}));
        // Only the first frame gets through before the sensor is unplugged.
        usbDevice->disconnectAfter(first.size());

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 5, 0, 100);
        run.start();
        QVERIFY(waitForDone(session, run, 5000));

        QCOMPARE(session.records.size(), 1);
        QCOMPARE(session.records[0].freq, lowBand);
        QCOMPARE(session.disconnections, 1);
        QCOMPARE(debug.count("ScanHandler::getData() getSensorData failed."), 1);
        QCOMPARE(debug.lines().last(), QString("Scan handler Process complete."));
    }

    void stopScanSendsOneEndFrameHoweverOftenCalled()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        const int endFramesBefore = framesOfType(*sensor, 'E');

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.start();
        QTRY_VERIFY(debug.contains(pollLine));
        run.handler->stopScan();
        run.handler->stopScan();
        QVERIFY(waitForDone(session, run, 2000));
        QVERIFY(debug.count(pollLine) < 76);
        run.handler->stopScan();

        QCOMPARE(framesOfType(*sensor, 'E'), endFramesBefore + 1);
        QCOMPARE(session.disconnections, 0);
    }

    // The main window may stop a scan before the worker's thread has got going:
    // the worker must not start polling afterwards.
    void aStopBeforeTheLoopBeginsKeepsItFromPolling()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        auto device = openSensor(sensor);
        QVERIFY(device);
        const std::vector<unsigned char> bytes = bytesOf(frame(1, highBand));
        sensor->queue(bytes);
        const int endFramesBefore = framesOfType(*sensor, 'E');

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.handler->stopScan();
        run.start();
        QVERIFY(waitForDone(session, run, 2000));

        QCOMPARE(debug.count(pollLine), 0);
        QVERIFY(session.records.isEmpty());
        QCOMPARE(sensor->pendingBytes(), bytes.size());
        QCOMPARE(framesOfType(*sensor, 'E'), endFramesBefore); // nothing was running to end
    }

    // With the program's own pause of one second after each drive request.
    void spatialScanVisitsEveryPositionAndRestartsTheSensorThere()
    {
        auto sensor = std::make_shared<GoWatchingSensor>(*simulated);
        sensor->setGoResponse(bytesOf(frame(1, highBand)));
        auto device = openSensor(sensor);
        QVERIFY(device);
        auto drive = driveAt(0);
        QVERIFY(drive);
        simulated->clearLog();

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.stepDrive(*drive, 0, 3, 9, 1000);
        QVERIFY(device->goCommand()); // the main window starts the sensor at the first position
        run.start();
        QVERIFY(waitForDone(session, run, 20000));

        QCOMPARE(session.positions(), QVector<int>({0, 3, 6, 9}));
        QCOMPARE(sensor->goPositions(), std::vector<int>({0, 300, 600, 900}));
        QCOMPARE(framesOfType(*sensor, 'G'), 4);
        QCOMPARE(moveCommands(simulated->commands()), QList<QByteArray>({"FP300", "FP600", "FP900"}));
        QVERIFY(debug.contains("ScanHandler::getData() getSensorData move to position 3"));
        QVERIFY(debug.contains("ScanHandler::getData() getSensorData move to position 9"));
        QVERIFY(debug.contains("ScanHandler::getData() getSensorData spatial steps complete."));
        QVERIFY(!debug.contains("Linear drive did not move. stopping scan"));
    }

    // Decimal steps: 0.7 to 1.0 by 0.1 is four positions, and the last one is
    // filed as 1, not as 0.9999999999999999 truncated.
    void decimalStepsKeepTheirLastPosition()
    {
        auto sensor = std::make_shared<GoWatchingSensor>(*simulated);
        sensor->setGoResponse(bytesOf(frame(1, highBand)));
        auto device = openSensor(sensor);
        QVERIFY(device);
        auto drive = driveAt(0.7);
        QVERIFY(drive);

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.stepDrive(*drive, 0.7, 0.1, 1.0, 150);
        QVERIFY(device->goCommand());
        run.start();
        QVERIFY(waitForDone(session, run, 10000));

        QCOMPARE(session.positions(), QVector<int>({0, 0, 0, 1}));
        QCOMPARE(sensor->goPositions(), std::vector<int>({70, 80, 90, 100}));
        QVERIFY(debug.contains("ScanHandler::getData() getSensorData spatial steps complete."));
    }

    void aDriveThatStopsShortEndsTheScan()
    {
        auto sensor = std::make_shared<GoWatchingSensor>(*simulated);
        sensor->setGoResponse(bytesOf(frame(1, highBand)));
        auto device = openSensor(sensor);
        QVERIFY(device);
        auto drive = driveAt(0);
        QVERIFY(drive);
        simulated->stallMoves(150);

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.stepDrive(*drive, 0, 3, 9, 150);
        QSignalSpy failedMoves(run.handler.get(), &ScanHandler::moveFailed);
        QVERIFY(device->goCommand());
        run.start();
        QVERIFY(waitForDone(session, run, 10000));

        QCOMPARE(session.positions(), QVector<int>({0}));
        QCOMPARE(framesOfType(*sensor, 'G'), 1);
        QCOMPARE(failedMoves.count(), 1);
        QCOMPARE(failedMoves.first().first().toDouble(), 3.0);
        QCOMPARE(debug.runFrom("Linear drive did not move. stopping scan", 4),
                 QStringList({"Linear drive did not move. stopping scan", "lastPosition= 1.5", "position= 1.5",
                              "Scan handler Process complete."}));
        QVERIFY(!debug.contains("ScanHandler::getData() getSensorData spatial steps complete."));
    }

    // A drive that never answered has no position at all (NaN): the scan must
    // end rather than wait for a reading that never changes.
    void aDriveWithoutPositionEndsTheScan()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        sensor->setGoResponse(bytesOf(frame(1, highBand)));
        auto device = openSensor(sensor);
        QVERIFY(device);
        simulated->setSilent(true);
        auto port = openDrivePort(simulated->slavePath());
        QVERIFY(port);
        AppliedMotion drive(port.release());
        QVERIFY(!drive.connected);
        QVERIFY(std::isnan(drive.position()));

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.stepDrive(drive, 0, 3, 9, 100);
        QVERIFY(device->goCommand());
        run.start();
        QVERIFY(waitForDone(session, run, 10000));

        QCOMPARE(session.positions(), QVector<int>({0}));
        QCOMPARE(framesOfType(*sensor, 'G'), 1);
        QCOMPARE(debug.runFrom("Linear drive did not move. stopping scan", 3),
                 QStringList({"Linear drive did not move. stopping scan", "lastPosition= nan", "position= nan"}));
    }

    void stopDuringAMoveAbortsItAndSendsNoGoFrame()
    {
        auto sensor = std::make_shared<ScriptedSensor>();
        sensor->setGoResponse(bytesOf(frame(1, highBand)));
        auto device = openSensor(sensor);
        QVERIFY(device);
        auto drive = driveAt(0);
        QVERIFY(drive);
        simulated->setTravelSpeed(100); // 3 s to the next position
        const int endFramesBefore = framesOfType(*sensor, 'E');

        DebugCapture debug;
        Session session;
        WorkerRun run(*device, session, false, 1, 0, 100);
        run.stepDrive(*drive, 0, 3, 9, 150);
        QSignalSpy failedMoves(run.handler.get(), &ScanHandler::moveFailed);
        QVERIFY(device->goCommand());
        run.start();
        QTRY_VERIFY(debug.contains("ScanHandler::getData() getSensorData move to position 3"));
        QVERIFY(!drive->abortRequested);
        run.handler->stopScan();
        QVERIFY(drive->abortRequested);
        QVERIFY(waitForDone(session, run, 2000));

        QCOMPARE(session.positions(), QVector<int>({0}));
        QCOMPARE(framesOfType(*sensor, 'G'), 1);
        QCOMPARE(framesOfType(*sensor, 'E'), endFramesBefore + 1);
        QVERIFY(!debug.contains("Linear drive did not move. stopping scan"));
        QCOMPARE(failedMoves.count(), 0); // a stop is not a failure
    }
};

QTEST_GUILESS_MAIN(TestScanHandler)
#include "test_scan_handler.moc"
