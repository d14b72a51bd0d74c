// The scan start: the mode-frame values and last delay a configuration asks
// for, and the mode frame they make, run against the simulated plasma sensor
// so that the sensor's last frame is the one the worker waits for.

#include "acquisition/ModeFrame.h"
#include "acquisition/ScanProgress.h"
#include "acquisition/measuredData.h"
#include "acquisition/ScanStart.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"

#include "orvelDevice.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

ConfigParam timeResolved(double frequency, double duration = 0, double resolution = 10, double start = 0)
{
    ConfigParam config;
    config.syncParam.bUseSyncScan = true;
    config.syncParam.resolvedInteg = frequency;
    config.syncParam.duration = duration;
    config.syncParam.resolution = resolution;
    config.syncParam.start = start;
    return config;
}

struct Frame
{
    int scan = 0, delay = 0;
    double freq = 0;
};

std::vector<Frame> drain(orvelDevice& sensor)
{
    std::vector<Frame> frames;
    int position, word8, word10, harmonics;
    unsigned char mode;
    double VR[16], Vi[16], Ir[16], Ii[16];
    Frame f;
    while (sensor.getSensorData(position, mode, f.scan, word8, word10, f.delay, harmonics, f.freq, VR, Vi, Ir, Ii) == 1)
        frames.push_back(f);
    return frames;
}

} // namespace

class TestScanStart : public QObject
{
    Q_OBJECT

private slots:
    void timeResolvedValuesAndPeriod_data()
    {
        QTest::addColumn<double>("frequency");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("resolution");
        QTest::addColumn<unsigned>("value");
        QTest::addColumn<unsigned>("period");
        QTest::addColumn<unsigned>("sentResolution");
        QTest::addColumn<int>("lastDelay");
        QTest::newRow("1500 Hz") << 1500.0 << 0.0 << 10.0 << 1000u << 666u << 10u << 656;
        QTest::newRow("600 Hz: value raised to 500") << 600.0 << 0.0 << 10.0 << 500u << 1666u << 10u << 1656;
        QTest::newRow("6000 Hz: value held at 2000") << 6000.0 << 0.0 << 10.0 << 2000u << 166u << 10u << 156;
        QTest::newRow("20 Hz: lowest frequency") << 20.0 << 0.0 << 10.0 << 500u << 50000u << 10u << 49990;
        QTest::newRow("end 2000.7 us") << 1500.0 << 2000.7 << 10.0 << 1000u << 2000u << 10u << 1990;
        QTest::newRow("end set, no frequency") << 0.0 << 2000.7 << 10.0 << 500u << 2000u << 10u << 1990;
        // The frame carries a whole resolution; the last delay keeps the fraction.
        QTest::newRow("fractional step") << 1500.0 << 0.0 << 10.5 << 1000u << 666u << 10u << 655;
        QTest::newRow("step below 1 us") << 1500.0 << 0.0 << 0.0125 << 1000u << 666u << 0u << 665;
    }

    void timeResolvedValuesAndPeriod()
    {
        QFETCH(double, frequency);
        QFETCH(double, duration);
        QFETCH(double, resolution);
        QFETCH(unsigned, value);
        QFETCH(unsigned, period);
        QFETCH(unsigned, sentResolution);
        QFETCH(int, lastDelay);
        ConfigParam config = timeResolved(frequency, duration, resolution, 12.9);
        config.dataScanRunScans = 7;
        const ScanStart start = scanStartFor(config);
        QVERIFY(start.timeResolved);
        QCOMPARE(start.problem, QString());
        QCOMPARE(start.scans, quint16(7));
        QCOMPARE(start.value, value);
        QCOMPARE(start.start, 12u);
        QCOMPARE(start.period, period);
        QCOMPARE(start.resolution, sentResolution);
        QCOMPARE(start.lastDelay, lastDelay);
    }

    void averagedValues()
    {
        ConfigParam config;
        config.dataScanRunParam.integrationTime = 250.9;
        config.dataScanRunScans = 12;
        config.syncParam.resolvedInteg = 1500; // not used in averaged mode
        const ScanStart start = scanStartFor(config);
        QVERIFY(!start.timeResolved);
        QCOMPARE(start.scans, quint16(12));
        QCOMPARE(start.integrationTime, 250u);
        QCOMPARE(start.period, 0u);
        QCOMPARE(start.lastDelay, -10); // 0 - resolution; the worker ignores it in this mode
        QCOMPARE(start.problem, QString());
    }

    void unusableValuesNeverWrap()
    {
        ConfigParam config;
        config.dataScanRunScans = 70000; // the frame's field holds 16 bits
        config.dataScanRunParam.integrationTime = -5;
        ScanStart start = scanStartFor(config);
        QCOMPARE(start.scans, quint16(65535));
        QCOMPARE(start.integrationTime, 0u);

        config.dataScanRunParam.integrationTime = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(scanStartFor(config).integrationTime, 0u);
        config.dataScanRunParam.integrationTime = 1e12;
        QCOMPARE(scanStartFor(config).integrationTime, 4294967295u);

        // A window up to the end of the sync period needs a sync frequency.
        for (double frequency : {0.0, -1500.0, std::numeric_limits<double>::quiet_NaN()}) {
            start = scanStartFor(timeResolved(frequency));
            QVERIFY(!start.problem.isEmpty());
            QCOMPARE(start.period, 0u);
            QCOMPARE(start.value, 500u);
        }

        start = scanStartFor(timeResolved(1500, -300, 10, -40));
        QCOMPARE(start.problem, QString());
        QCOMPARE(start.start, 0u);
        QCOMPARE(start.period, 666u); // a negative end counts as none
    }

    void theSensorEndsOnTheLastDelay_data()
    {
        QTest::addColumn<bool>("syncScan");
        QTest::addColumn<int>("frames");
        QTest::newRow("averaged") << false << 2 * 2;
        // Delays 100, 150, ..., 600 and 616 = 666 - 50: 12 per scan.
        QTest::newRow("time-resolved") << true << 2 * 12 * 2;
    }

    void theSensorEndsOnTheLastDelay()
    {
        QFETCH(bool, syncScan);
        QFETCH(int, frames);
        QCOMPARE(qgetenv("ORVEL_SIMULATED_SENSOR"), QByteArray("1"));
        ConfigParam config = timeResolved(1500, 0, 50, 100);
        config.syncParam.bUseSyncScan = syncScan;
        config.dataScanRunScans = 2;
        const ScanStart start = scanStartFor(config);

        std::vector<device_item> list;
        orvelDevice::getDeviceList(list);
        QCOMPARE(list.size(), std::size_t(1));
        std::unique_ptr<orvelDevice> sensor(orvelDevice::openDevice(list[0].serial));
        QVERIFY(sensor);
        sensor->setDelays(0);
        QVERIFY(sendModeFrame(*sensor, start));
        QVERIFY(sensor->goCommand());
        const std::vector<Frame> received = drain(*sensor);
        QCOMPARE(int(received.size()), frames);

        // The worker's completion test holds for the last frame and no other.
        for (std::size_t i = 0; i < received.size(); ++i) {
            const Frame& f = received[i];
            const bool complete = f.scan >= int(start.scans) && f.freq > 150000
                && (!start.timeResolved || f.delay >= start.lastDelay);
            QCOMPARE(complete, i + 1 == received.size());
        }
        if (syncScan) {
            QCOMPARE(received.front().delay, 100);
            QCOMPARE(received.back().delay, start.lastDelay);
        }
    }

    // The window and the command line both take these three from the
    // configuration at a scan start; the other analysis settings stay.
    void theScanStartsAnalysisSettings()
    {
        ConfigParam config;
        config.offsetCurrent = -3.5e-6;
        config.initScanDerivativePoints = 7;
        config.initScanIonCurrentDrop = 65;
        LangmuirSettings settings;
        settings.probe_radius = 0.001;
        applyScanConfigToAnalysis(config, settings);
        QCOMPARE(settings.offsetCurrent, -3.5e-6);
        QCOMPARE(settings.nDerivativePoints, 7);
        QCOMPARE(settings.VsatFactor, 0.65);
        QCOMPARE(settings.probe_radius, 0.001);

        // A stored count beyond an int does not turn negative.
        config.initScanDerivativePoints = 4000000000u;
        applyScanConfigToAnalysis(config, settings);
        QCOMPARE(settings.nDerivativePoints, std::numeric_limits<int>::max());
    }

    // Progress in scans (and positions) and the time left at the rate so far;
    // the expected texts are worked out by hand.
    void progressAndTimeLeft_data()
    {
        QTest::addColumn<int>("scans");
        QTest::addColumn<int>("positions");
        QTest::addColumn<QVector<int>>("groupsPerPosition");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("timeLeft");
        // 3 of 10 done in 30 s: 7 left at 10 s each.
        QTest::newRow("averaged") << 10 << 1 << QVector<int>{4} << qint64(30000) << 30 << "Scan 4/10"
                                  << "-Time-Left-00:01:10-";
        // 10 + 4 begun, 13 done of 50 in 130 s: 37 left at 10 s each.
        QTest::newRow("spatial") << 10 << 5 << QVector<int>{10, 4} << qint64(130000) << 26
                                 << "Position 2/5, scan 4/10" << "-Time-Left-00:06:10-";
        QTest::newRow("first scan") << 1000 << 1 << QVector<int>{1} << qint64(5000) << 0 << "Scan 1/1000"
                                    << "-Time-Left-";
        QTest::newRow("nothing yet") << 10 << 3 << QVector<int>{} << qint64(0) << 0 << "Position 1/3, scan 0/10"
                                     << "-Time-Left-";
        // 1 of 1000 in 1000 h: far beyond two digits of hours.
        QTest::newRow("held to 99 h") << 1000 << 1 << QVector<int>{2} << qint64(3600000000) << 0
                                      << "Scan 2/1000" << "-Time-Left-99:59:59-";
        // A drive stepped in tiny steps: more scans than an int holds.
        QTest::newRow("two billion positions") << 65535 << 2000000000 << QVector<int>{65535, 1} << qint64(3600000000)
                                               << 0 << "Position 2/2000000000, scan 1/65535" << "-Time-Left-99:59:59-";
        // Repeated frames of a last scan never count past the end.
        QTest::newRow("complete") << 2 << 2 << QVector<int>{2, 3} << qint64(4000) << 100
                                  << "Position 2/2, scan 2/2" << "-Time-Left-00:00:00-";
    }

    void progressAndTimeLeft()
    {
        QFETCH(int, scans);
        QFETCH(int, positions);
        QFETCH(QVector<int>, groupsPerPosition);
        QFETCH(qint64, elapsedMs);
        measuredData data;
        for (const int groups : groupsPerPosition) {
            data.positions.append(PositionWrapper());
            data.positions.last().scans.resize(groups);
        }
        const ScanProgress progress = ScanProgress::of(data, scans, positions);
        QTEST(progress.percent(), "percent");
        QTEST(progress.text(), "text");
        QTEST(progress.timeLeftText(elapsedMs), "timeLeft");
    }

    void onlyAnIdleSensorCanStartAScan()
    {
        QCOMPARE(sensorNotReadyText('I'), QString());
        QVERIFY(sensorNotReadyText('S').startsWith(QStringLiteral("Sensor is busy")));
        for (int status : {int('B'), int('E'), -1})
            QVERIFY(sensorNotReadyText(status).startsWith(QStringLiteral("Unable to establish communication with sensor.\n")));
    }
};

QTEST_GUILESS_MAIN(TestScanStart)
#include "test_scan_start.moc"
