// The simulated plasma sensor through the whole acquisition path: scan start,
// mode and go frames, decoding, filing into the data model with its averages
// and band joining, and the plasma analysis. What the analysis reads must be
// the plasma the sensor models.

#include "acquisition/ModeFrame.h"
#include "acquisition/ScanStart.h"
#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/PlasmaAnalysis.h"
#include "config/ConfigParam.h"

#include "orvelDevice.h"

#include <QLoggingCategory>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// The sensor's model, as the test environment leaves it: argon defaults.
constexpr double modelKTe = 3.0;
constexpr double modelIonSaturation = 1e-3;
constexpr double temperatureModulation = 0.2;
constexpr double densityModulation = 0.3;

// Runs one scan as the scan worker does, filing every frame until the frame
// that completes the acquisition.
bool acquire(const ConfigParam& config, measuredData& data)
{
    const ScanStart start = scanStartFor(config);
    std::vector<device_item> list;
    orvelDevice::getDeviceList(list);
    if (list.empty())
        return false;
    std::unique_ptr<orvelDevice> sensor(orvelDevice::openDevice(list[0].serial));
    if (!sensor || !start.problem.isEmpty())
        return false;
    sensor->setDelays(0);
    if (!sendModeFrame(*sensor, start) || !sensor->goCommand())
        return false;
    for (int emptyPolls = 0; emptyPolls <= 75;) {
        scanResult r;
        const int got = sensor->getSensorData(r.position, r.mode, r.scan, r.word8, r.word10, r.delay, r.harmonics,
                                              r.freq, r.VR, r.Vi, r.Ir, r.Ii);
        if (got < 0)
            return false;
        if (got == 0) {
            ++emptyPolls;
            continue;
        }
        emptyPolls = 0;
        data.add(r);
        if (r.scan >= int(start.scans) && r.freq > 150000 && (!start.timeResolved || r.delay >= start.lastDelay))
            return true;
    }
    return false;
}

double probeArea(const LangmuirSettings& settings)
{
    return M_PI * settings.probe_radius * settings.probe_radius;
}

} // namespace

class TestPlasmaAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("orvel.analysis.debug=false");
        QCOMPARE(qgetenv("ORVEL_SIMULATED_SENSOR"), QByteArray("1"));
    }

    void averagedScanReadsTheModelsPlasma()
    {
        ConfigParam config;
        config.dataScanRunScans = 10;
        measuredData data;
        QVERIFY(acquire(config, data));
        QCOMPARE(data.positions.size(), 1);
        PositionWrapper& position = data.positions[0];
        QCOMPARE(position.scans.size(), 10);
        QCOMPARE(position.averages.size(), 1);

        const LangmuirSettings settings;
        QVERIFY(position.averages[0].scanRecord());
        ScanRecord curve = position.averages[0].low.recordWithCurve();
        ScanRecord* averaged = &curve;
        QVERIFY(position.averages[0].low.joined);
        analyse(*averaged, settings);
        QCOMPARE(averaged->errorText, QString());
        const double kTe = averaged->parameters.kTe;
        const double Jp = averaged->parameters.Jp;
        const double modelJp = modelIonSaturation / probeArea(settings);
        qInfo("averaged scan: kTe %.4g eV (model %.4g eV), Jp %.6g A/m2 (model %.6g A/m2)", kTe, modelKTe, Jp, modelJp);
        // The fit from 30 % to 90 % of the largest current reads the ion current
        // into the electron current, which makes kTe about a fifth low.
        QVERIFY(std::abs(kTe / modelKTe - 1) < 0.3);
        QVERIFY(std::abs(Jp / modelJp - 1) < 0.02);

        // A single frame of either band reads the same plasma.
        for (const QVector<DelayWrapper>* band : {&position.scans[4].Delays200, &position.scans[4].Delays400}) {
            QCOMPARE(band->size(), 1);
            ScanRecord single = band->first().recordWithCurve();
            analyse(single, settings);
            QCOMPARE(single.errorText, QString());
            QVERIFY(std::abs(single.parameters.kTe / kTe - 1) < 0.05);
            QVERIFY(std::abs(single.parameters.Jp / modelJp - 1) < 0.02);
        }
    }

    void timeResolvedScanFollowsThePlasmaAlongThePeriod()
    {
        ConfigParam config;
        config.dataScanRunScans = 3;
        config.syncParam.bUseSyncScan = true;
        config.syncParam.resolvedInteg = 1000; // a period of 1000 us
        config.syncParam.resolution = 100;     // delays 0, 100, ..., 900
        measuredData data;
        QVERIFY(acquire(config, data));
        QCOMPARE(data.positions.size(), 1);
        PositionWrapper& position = data.positions[0];
        QCOMPARE(position.scans.size(), 3);
        for (const ScanGroup& group : position.scans) {
            QCOMPARE(group.Delays200.size(), 10);
            QCOMPARE(group.Delays400.size(), 10);
            for (int d = 0; d < 10; ++d)
                QCOMPARE(group.Delays400[d].delay, float(100 * d));
        }
        QCOMPARE(position.averages.size(), 10);

        const LangmuirSettings settings;
        QVector<double> kTe, ratio;
        for (int d = 0; d < 10; ++d) {
            QVERIFY(position.averages[d].scanRecord());
            ScanRecord curve = position.averages[d].low.recordWithCurve();
            ScanRecord* record = &curve;
            analyse(*record, settings);
            QCOMPARE(record->errorText, QString());
            const double phase = 2 * M_PI * d / 10.0;
            const double temperature = 1 + temperatureModulation * std::sin(phase);
            const double density = 1 + densityModulation * std::cos(phase);
            const double modelJp = modelIonSaturation * density * std::sqrt(temperature) / probeArea(settings);
            QVERIFY2(std::abs(record->parameters.Jp / modelJp - 1) < 0.02, qPrintable(QString("delay %1").arg(100 * d)));
            kTe << record->parameters.kTe;
            ratio << record->parameters.kTe / (modelKTe * temperature);
        }
        qInfo() << "time-resolved kTe along the period:" << kTe;
        // The analysis reads every delay's kTe low by about as much as the
        // averaged scan's (a little more the hotter the plasma), so the hot and
        // the cold part of the period stand out.
        for (double r : ratio)
            QVERIFY2(r > 0.7 && r < 0.95, qPrintable(QString::number(r)));
        QVERIFY(kTe[2] > 1.3 * kTe[7]);
    }
};

QTEST_GUILESS_MAIN(TestPlasmaAcquisition)
#include "test_plasma_acquisition.moc"
