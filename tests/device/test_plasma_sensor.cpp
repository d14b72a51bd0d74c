// The simulated plasma sensor as the program meets it: through orvelDevice on
// the simulated bus, the frames, scans, delays and bands of averaged and
// time-resolved acquisitions, the noise, the pace, the status letters, the
// injected faults and the options read from the environment.

#include "DeviceTestSupport.h"
#include "usb/PlasmaSensor.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <thread>

using namespace orvel::device;
using namespace orvel::device::testing;

namespace {

constexpr double bandLimit = 150000.0;

PlasmaSensorOptions quickOptions()
{
    PlasmaSensorOptions options;
    options.frameInterval = std::chrono::microseconds(0);
    return options;
}

std::shared_ptr<PlasmaSensor> addPlasma(BusScope& scope, const PlasmaSensorOptions& options)
{
    auto sensor = std::make_shared<PlasmaSensor>(options);
    scope.bus->addDevice(defaultSimulatedSerial, sensor);
    return sensor;
}

// Opens the sensor; with `instantReads` a read finding nothing returns at once.
std::unique_ptr<orvelDevice> openPlasma(bool instantReads = true)
{
    auto device = open(defaultSimulatedSerial);
    if (device && instantReads)
        device->setDelays(0);
    return device;
}

// Every frame until getSensorData stops delivering; `last` gets its final result.
std::vector<Received> drain(orvelDevice& device, int* last = nullptr)
{
    std::vector<Received> frames;
    for (;;) {
        Received r = receive(device);
        if (r.result == 1) {
            frames.push_back(r);
            continue;
        }
        // A pass that held only a dropped frame finds nothing while the sensor
        // is still scanning.
        if (r.result == 0 && device.updateStatus() == 'B')
            continue;
        // The status query's reception pass may have queued the last frames.
        while (r.result != -1 && (r = receive(device)).result == 1)
            frames.push_back(r);
        if (last)
            *last = r.result;
        return frames;
    }
}

std::vector<Received> averagedRun(const PlasmaSensorOptions& options, unsigned short scans)
{
    BusScope scope;
    addPlasma(scope, options);
    auto device = openPlasma();
    if (!device)
        return {};
    device->modeCommand(scans, 100);
    device->goCommand();
    return drain(*device);
}

bool sameFrame(const Received& a, const Received& b)
{
    if (a.scan != b.scan || a.delay != b.delay || a.freq != b.freq || a.harmonics != b.harmonics)
        return false;
    for (int k = 0; k < a.harmonics; ++k)
        if (a.VR[k] != b.VR[k] || a.Vi[k] != b.Vi[k] || a.Ir[k] != b.Ir[k] || a.Ii[k] != b.Ii[k])
            return false;
    return true;
}

// The program's completion test for the last frame of an acquisition.
bool completes(const Received& r, int runScans, bool timeResolved, int lastDelay)
{
    return r.scan >= runScans && r.freq > bandLimit && (!timeResolved || r.delay >= lastDelay);
}

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Sets environment variables for one scope.
class Environment
{
public:
    ~Environment()
    {
        for (const QByteArray& name : names_)
            qunsetenv(name.constData());
    }
    void set(const char* name, const char* value)
    {
        qputenv(name, value);
        names_.append(name);
    }

private:
    QList<QByteArray> names_;
};

} // namespace

class TestPlasmaSensor : public QObject
{
    Q_OBJECT

private slots:
    void averagedScansStreamLowThenHighBand()
    {
        BusScope scope;
        addPlasma(scope, quickOptions());
        auto device = openPlasma();
        QVERIFY(device);
        QVERIFY(QByteArray(device->infoText).startsWith("SIM0001 "));
        QCOMPARE(device->updateStatus(), int('I'));

        QVERIFY(device->modeCommand(3, 100));
        for (int go = 0; go < 2; ++go) { // each go frame, as at each position of a spatial scan, runs the scans again
            QVERIFY(device->goCommand());
            const std::vector<Received> frames = drain(*device);
            QCOMPARE(frames.size(), std::size_t(6));
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const Received& r = frames[i];
                QCOMPARE(r.scan, int(i / 2) + 1);
                QCOMPARE(r.freq < bandLimit, i % 2 == 0);
                QCOMPARE(r.delay, 0);
                QCOMPARE(r.harmonics, 16);
                QCOMPARE(int(r.mode), 0);
                QCOMPARE(r.position, 0);
                // Only the very last frame ends the program's acquisition.
                QCOMPARE(completes(r, 3, false, -10), i == frames.size() - 1);
            }
            QCOMPARE(device->updateStatus(), int('I'));
        }
    }

    void timeResolvedScansCoverTheWindow_data()
    {
        QTest::addColumn<bool>("fastClock");
        QTest::addColumn<int>("scans");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<QVector<int>>("delays");

        QVector<int> everyTen;
        for (int d = 0; d <= 650; d += 10)
            everyTen << d;
        everyTen << 656; // period - resolution, which the program waits for
        QTest::newRow("1500 Hz, slow clock") << false << 2 << 0 << 666 << 10 << everyTen;
        QTest::newRow("1500 Hz, fast clock") << true << 2 << 0 << 666 << 10 << everyTen;
        QVector<int> fromHundred;
        for (int d = 100; d <= 900; d += 50)
            fromHundred << d;
        fromHundred << 950;
        QTest::newRow("late start, even steps") << false << 1 << 100 << 1000 << 50 << fromHundred;
        QTest::newRow("start past the window") << false << 2 << 700 << 666 << 10 << QVector<int>{700};
    }

    void timeResolvedScansCoverTheWindow()
    {
        QFETCH(bool, fastClock);
        QFETCH(int, scans);
        QFETCH(int, start);
        QFETCH(int, period);
        QFETCH(int, resolution);
        QFETCH(QVector<int>, delays);

        BusScope scope;
        PlasmaSensorOptions options = quickOptions();
        options.fastClock = fastClock;
        addPlasma(scope, options);
        auto device = openPlasma();
        QVERIFY(device);
        QVERIFY(device->modeCommand(scans, 1000, start, period, resolution));
        QVERIFY(device->goCommand());
        const std::vector<Received> frames = drain(*device);

        QCOMPARE(frames.size(), std::size_t(scans * delays.size() * 2));
        const int lastDelay = period - resolution;
        std::size_t i = 0;
        for (int scan = 1; scan <= scans; ++scan)
            for (int delay : delays)
                for (bool low : {true, false}) {
                    const Received& r = frames[i];
                    QCOMPARE(r.scan, scan);
                    QCOMPARE(r.delay, delay);
                    QCOMPARE(r.freq < bandLimit, low);
                    QCOMPARE(int(r.mode), 1);
                    QCOMPARE(completes(r, scans, true, lastDelay), ++i == frames.size());
                }
    }

    void plasmaVariesAlongTheSyncPeriod()
    {
        PlasmaSensorOptions options = quickOptions();
        options.noise = 0;
        options.strayCapacitance = 0; // the current then scales with the density alone
        BusScope scope;
        addPlasma(scope, options);
        auto device = openPlasma();
        QVERIFY(device);
        QVERIFY(device->modeCommand(1, 1000, 0, 1000, 250)); // delays 0, 250, 500, 750
        QVERIFY(device->goCommand());
        const std::vector<Received> frames = drain(*device);
        QCOMPARE(frames.size(), std::size_t(8));
        // kTe is the same at 0 and 500 us, the density 1 + 0.3 there and 1 - 0.3 here.
        const double ratio = frames[0].Ir[0] / frames[4].Ir[0];
        QVERIFY2(std::abs(ratio - 1.3 / 0.7) < 1e-5, qPrintable(QString::number(ratio)));
        // At 250 us kTe is 20 % up: the pulse of electron current widens.
        QVERIFY(std::abs(frames[2].Ir[3] / frames[2].Ir[0] - frames[0].Ir[3] / frames[0].Ir[0]) > 0.01);

        // An averaged scan sees the steady plasma: without noise every scan is alike.
        QVERIFY(device->modeCommand(2, 100));
        QVERIFY(device->goCommand());
        const std::vector<Received> averaged = drain(*device);
        QCOMPARE(averaged.size(), std::size_t(4));
        QCOMPARE(averaged[2].scan, 2);
        Received secondScan = averaged[2];
        secondScan.scan = averaged[0].scan;
        QVERIFY(sameFrame(averaged[0], secondScan));
    }

    void noiseIsSeededAndSizedAsConfigured()
    {
        PlasmaSensorOptions options = quickOptions();
        options.seed = 7;
        const std::vector<Received> first = averagedRun(options, 3);
        const std::vector<Received> again = averagedRun(options, 3);
        options.seed = 8;
        const std::vector<Received> other = averagedRun(options, 3);
        QCOMPARE(first.size(), std::size_t(6));
        QCOMPARE(again.size(), first.size());
        QCOMPARE(other.size(), first.size());
        for (std::size_t i = 0; i < first.size(); ++i) {
            QVERIFY(sameFrame(first[i], again[i]));
            QVERIFY(!sameFrame(first[i], other[i]));
        }

        // The noise of the rebuilt current, relative to its RMS, is the option's.
        options.noise = 0.02;
        const std::vector<Received> noisy = averagedRun(options, 100);
        QCOMPARE(noisy.size(), std::size_t(200));
        ProbeDrive drive;
        drive.amplitude = options.amplitude;
        drive.strayCapacitance = options.strayCapacitance;
        drive.frequency = options.lowBandFrequency;
        const HarmonicSeries clean = probeHarmonics(options.plasma, drive, 16);
        double cleanPower = 0, noisePower = 0;
        for (int k = 0; k < 16; ++k)
            cleanPower += clean.Ir[k] * clean.Ir[k] + clean.Ii[k] * clean.Ii[k];
        int lowFrames = 0;
        for (const Received& r : noisy) {
            if (r.freq >= bandLimit)
                continue;
            ++lowFrames;
            for (int k = 0; k < 16; ++k)
                noisePower += std::pow(r.Ir[k] - clean.Ir[k], 2) + std::pow(r.Ii[k] - clean.Ii[k], 2);
        }
        const double relative = std::sqrt(noisePower / lowFrames / cleanPower);
        QVERIFY2(std::abs(relative / options.noise - 1) < 0.1, qPrintable(QString::number(relative)));
    }

    void endFrameStopsTheScan()
    {
        BusScope scope;
        PlasmaSensorOptions options;
        options.frameInterval = std::chrono::milliseconds(10);
        auto sensor = addPlasma(scope, options);
        auto device = openPlasma(false);
        QVERIFY(device);
        QVERIFY(device->modeCommand(50, 100));
        QVERIFY(device->goCommand());
        QCOMPARE(device->updateStatus(), int('B'));
        QVERIFY(device->endCommand());
        QCOMPARE(device->updateStatus(), int('I'));
        const int sent = sensor->dataFramesSent();
        QTest::qWait(50);
        QVERIFY(int(drain(*device).size()) <= sent);
        QCOMPARE(sensor->dataFramesSent(), sent);
        QVERIFY(sent < 100);
    }

    // A program that closes the sensor in the middle of a scan (or dies) sends
    // nothing: the sensor goes on streaming, and what the next program reads
    // first is the rest of a frame cut by the last read. Opening must bring
    // the sensor back to a clean state by itself, at the first attempt.
    void aSensorLeftStreamingOpensAtTheFirstAttempt()
    {
        BusScope scope;
        PlasmaSensorOptions options;
        options.frameInterval = std::chrono::milliseconds(1);
        auto sensor = std::make_shared<PlasmaSensor>(options);
        auto link = scope.bus->addDevice(defaultSimulatedSerial, sensor);
        auto first = openPlasma(false);
        QVERIFY(first);
        QVERIFY(first->modeCommand(5000, 100));
        QVERIFY(first->goCommand());
        // The last read of the program ended inside the second frame (277
        // bytes each); then it closed the sensor.
        char bytes[300];
        int taken = 0;
        while (taken < int(sizeof bytes)) {
            const int count = link->read(replyEndpoint, bytes + taken, int(sizeof bytes) - taken, 100);
            QVERIFY(count > 0 || count == -ETIMEDOUT);
            taken += std::max(count, 0);
        }
        first.reset();
        QCOMPARE(sensor->statusLetter(), 'B');

        StdoutCapture output;
        auto second = open(defaultSimulatedSerial);
        const std::string printed = output.text();
        QVERIFY(second);
        QCOMPARE(printed, std::string());
        QCOMPARE(second->updateStatus(), int('I'));
        QCOMPARE(QByteArray(second->infoText),
                 QByteArray("SIM0001 V1.4 Brisvane Orvel V2.0 simulated plasma probe PRB0001"));
        // Nothing of the old scan is left to be taken for a new one.
        second->setDelays(0);
        QCOMPARE(receive(*second).result, 0);
    }

    void statusQueriesDuringAScanLoseNoFrames()
    {
        // As in the program: the worker drains frames while the user-interface
        // thread asks for the status, and both run reception passes.
        BusScope scope;
        PlasmaSensorOptions options;
        options.frameInterval = std::chrono::milliseconds(1);
        addPlasma(scope, options);
        auto device = openPlasma();
        QVERIFY(device);
        QVERIFY(device->modeCommand(40, 100));
        QVERIFY(device->goCommand());
        std::atomic<bool> done{false};
        std::vector<int> scans;
        std::thread worker([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (scans.size() < 80 && std::chrono::steady_clock::now() < deadline) {
                const Received r = receive(*device);
                if (r.result == 1)
                    scans.push_back(r.scan * 2 + (r.freq >= bandLimit ? 1 : 0));
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            done = true;
        });
        int scanning = 0;
        while (!done) {
            const int status = device->updateStatus();
            QVERIFY(status == 'B' || status == 'I');
            scanning += status == 'B';
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        worker.join();
        QVERIFY(scanning > 0);
        QCOMPARE(device->updateStatus(), int('I'));
        QCOMPARE(scans.size(), std::size_t(80));
        for (std::size_t i = 0; i < scans.size(); ++i)
            QCOMPARE(scans[i], int(i) + 2); // scan 1 low, scan 1 high, scan 2 low, ...

        QVERIFY(device->modeCommand(0, 100)); // no scans: nothing to do
        QVERIFY(device->goCommand());
        QCOMPARE(device->updateStatus(), int('I'));
        QCOMPARE(receive(*device).result, 0);
    }

    void framesBecomeAvailableByTime()
    {
        BusScope scope;
        PlasmaSensorOptions options;
        options.frameInterval = std::chrono::milliseconds(20);
        addPlasma(scope, options);
        auto device = openPlasma(false);
        QVERIFY(device);

        // Idle, a poll waits for the library's read timeout and no longer.
        auto begin = std::chrono::steady_clock::now();
        QCOMPARE(receive(*device).result, 0);
        const double idle = seconds(std::chrono::steady_clock::now() - begin);
        QVERIFY2(idle >= 0.045 && idle < 1.0, qPrintable(QString::number(idle)));

        QVERIFY(device->modeCommand(2, 100));
        begin = std::chrono::steady_clock::now();
        QVERIFY(device->goCommand());
        int received = 0;
        while (received < 4) {
            const Received r = receive(*device);
            QVERIFY(r.result >= 0);
            received += r.result;
        }
        const double elapsed = seconds(std::chrono::steady_clock::now() - begin);
        QVERIFY2(elapsed >= 0.079, qPrintable(QString::number(elapsed))); // the fourth frame is due 80 ms after go

        // A frame due later than the read timeout leaves the poll empty-handed.
        device.reset(); // frees the serial's device lock
        PlasmaSensorOptions slow;
        slow.frameInterval = std::chrono::milliseconds(500);
        BusScope slowScope;
        addPlasma(slowScope, slow);
        auto slowDevice = openPlasma(false);
        QVERIFY(slowDevice);
        QVERIFY(slowDevice->goCommand());
        begin = std::chrono::steady_clock::now();
        QCOMPARE(receive(*slowDevice).result, 0);
        QVERIFY(seconds(std::chrono::steady_clock::now() - begin) < 0.4);
    }

    void disconnectionAfterFrames()
    {
        BusScope scope;
        PlasmaSensorOptions options;
        // Slower than the read timeout, so the library never reads ahead and
        // every frame sent reaches the caller before the link goes.
        options.frameInterval = std::chrono::milliseconds(60);
        options.faults.disconnectAfterFrames = 3;
        addPlasma(scope, options);
        auto device = openPlasma(false);
        QVERIFY(device);
        QVERIFY(device->modeCommand(5, 100));
        QVERIFY(device->goCommand());
        std::vector<Received> frames;
        Received r;
        while ((r = receive(*device)).result >= 0)
            if (r.result == 1)
                frames.push_back(r);
        QCOMPARE(r.result, -1);
        QCOMPARE(frames.size(), std::size_t(3));
        QCOMPARE(frames[2].scan, 2);
        QCOMPARE(device->updateStatus(), -1);

        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QVERIFY(list.empty());
        device.reset();
        QVERIFY(!open(defaultSimulatedSerial));
    }

    void garbledAndOversizeFramesAreDroppedAlone_data()
    {
        QTest::addColumn<bool>("oversize");
        QTest::addColumn<QString>("report");
        QTest::newRow("garbled") << false << "Parsing :Error case\n";
        QTest::newRow("oversize length") << true << "INVALID PACKET DUMPING STACK\n";
    }

    void garbledAndOversizeFramesAreDroppedAlone()
    {
        QFETCH(bool, oversize);
        QFETCH(QString, report);
        const std::vector<Received> clean = averagedRun(quickOptions(), 3);
        QCOMPARE(clean.size(), std::size_t(6));

        PlasmaSensorOptions options = quickOptions();
        (oversize ? options.faults.oversizeFrame : options.faults.garbledFrame) = 3;
        StdoutCapture capture;
        const std::vector<Received> faulty = averagedRun(options, 3);
        QCOMPARE(QString::fromStdString(capture.text()), report);

        // Frame 3 (scan 2, low band) is lost; all others arrive unchanged.
        QCOMPARE(faulty.size(), std::size_t(5));
        for (std::size_t i = 0, j = 0; i < clean.size(); ++i)
            if (i != 2)
                QVERIFY(sameFrame(faulty[j++], clean[i]));
    }

    void optionsFromTheEnvironment()
    {
        Environment env;
        env.set("ORVEL_SIM_KTE", "2.5");
        env.set("ORVEL_SIM_ION_SAT", "2e-3");
        env.set("ORVEL_SIM_ELECTRON_SAT", "0.08");
        env.set("ORVEL_SIM_ION_SLOPE", "2.5e-5");
        env.set("ORVEL_SIM_AMPLITUDE", "30");
        env.set("ORVEL_SIM_HARMONICS", "8");
        env.set("ORVEL_SIM_NOISE", "0");
        env.set("ORVEL_SIM_SEED", "18446744073709551615");
        env.set("ORVEL_SIM_FRAME_INTERVAL_MS", "0.5");
        env.set("ORVEL_SIM_DISCONNECT_AFTER", "40");
        env.set("ORVEL_SIM_GARBLE_FRAME", "5");
        env.set("ORVEL_SIM_OVERSIZE_FRAME", "6");
        std::string complaints;
        PlasmaSensorOptions options = plasmaOptionsFromEnvironment(complaints);
        QCOMPARE(QString::fromStdString(complaints), QString());
        QCOMPARE(options.plasma.kTe, 2.5);
        QCOMPARE(options.plasma.ionSaturation, 2e-3);
        QCOMPARE(options.plasma.electronSaturation, 0.08);
        QCOMPARE(options.plasma.ionSlope, 2.5e-5);
        QCOMPARE(options.amplitude, 30.0);
        QCOMPARE(options.harmonics, 8);
        QCOMPARE(options.noise, 0.0);
        QCOMPARE(options.seed, std::uint64_t(18446744073709551615ull));
        QCOMPARE(options.frameInterval.count(), std::int64_t(500));
        QCOMPARE(options.faults.disconnectAfterFrames, 40);
        QCOMPARE(options.faults.garbledFrame, 5);
        QCOMPARE(options.faults.oversizeFrame, 6);
        QVERIFY(options.problem().empty());

        // Unusable values keep their defaults, each with a line that says so.
        env.set("ORVEL_SIM_KTE", "hot");
        env.set("ORVEL_SIM_HARMONICS", "17");
        env.set("ORVEL_SIM_SEED", "-1");
        env.set("ORVEL_SIM_NOISE", "-0.1");
        env.set("ORVEL_SIM_ELECTRON_SAT", "1e-3");
        env.set("ORVEL_SIM_ION_SLOPE", "-1e-5");
        complaints.clear();
        options = plasmaOptionsFromEnvironment(complaints);
        const QString text = QString::fromStdString(complaints);
        QCOMPARE(text.count('\n'), 6);
        QVERIFY(text.contains("ORVEL_SIM_KTE: \"hot\" is not a temperature above 0 eV; using 3\n"));
        QVERIFY(text.contains("ORVEL_SIM_HARMONICS: \"17\""));
        QVERIFY(text.contains("ORVEL_SIM_SEED: \"-1\""));
        QVERIFY(text.contains("ORVEL_SIM_NOISE: \"-0.1\""));
        QVERIFY(text.contains("ORVEL_SIM_ELECTRON_SAT must exceed ORVEL_SIM_ION_SAT"));
        QVERIFY(text.contains("ORVEL_SIM_ION_SLOPE: \"-1e-5\" is not an ion-current slope of 0 A/V or more; using 0\n"));
        const PlasmaSensorOptions defaults;
        QCOMPARE(options.plasma.kTe, defaults.plasma.kTe);
        QCOMPARE(options.harmonics, defaults.harmonics);
        QCOMPARE(options.seed, defaults.seed);
        QCOMPARE(options.noise, defaults.noise);
        QCOMPARE(options.plasma.ionSaturation, defaults.plasma.ionSaturation);
        QCOMPARE(options.plasma.electronSaturation, defaults.plasma.electronSaturation);
        QCOMPARE(options.plasma.ionSlope, 0.0);
    }

    void environmentConfiguresTheSimulatedBus()
    {
        Environment env;
        env.set("ORVEL_SIM_HARMONICS", "8");
        env.set("ORVEL_SIM_FRAME_INTERVAL_MS", "0");
        env.set("ORVEL_SIM_GARBLE_FRAME", "1");
        installBus(busForSetting("1"));
        auto device = openPlasma();
        QVERIFY(device);
        QVERIFY(device->modeCommand(1, 100));
        QVERIFY(device->goCommand());
        StdoutCapture capture;
        const std::vector<Received> frames = drain(*device);
        QCOMPARE(QString::fromStdString(capture.text()), QString("Parsing :Error case\n"));
        QCOMPARE(frames.size(), std::size_t(1));
        QCOMPARE(frames[0].harmonics, 8);
        QVERIFY(frames[0].freq >= bandLimit);
        device.reset();
        installBus(std::make_shared<SimulatedBus>());
    }
};

QTEST_GUILESS_MAIN(TestPlasmaSensor)
#include "test_plasma_sensor.moc"
