#include "acquisition/measuredData.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const QDateTime filedAt = QDateTime::fromSecsSinceEpoch(1700000000);

// A frame whose harmonic values are base + k (VR), base + 100 + k (Vi),
// base + 200 + k (Ir), base + 300 + k (Ii).
scanResult frame(int position, int scan, double freq, double base = 0.0, int harmonics = 4, int delay = 0)
{
    scanResult r;
    r.position = position;
    r.mode = 3;
    r.scan = scan;
    r.delay = delay;
    r.harmonics = harmonics;
    r.freq = freq;
    for (int k = 0; k < scanResult::maxHarmonics; ++k) {
        r.VR[k] = base + k;
        r.Vi[k] = base + 100 + k;
        r.Ir[k] = base + 200 + k;
        r.Ii[k] = base + 300 + k;
    }
    return r;
}

} // namespace

class TestMeasuredData : public QObject
{
    Q_OBJECT

private slots:
    void routesByPositionScanAndBand()
    {
        measuredData data;
        QVERIFY(data.add(frame(5, 1, 149999.0), filedAt));
        QVERIFY(data.add(frame(5, 1, 150000.0), filedAt));
        QVERIFY(data.add(frame(5, 2, 100000.0), filedAt));
        QVERIFY(data.add(frame(7, 1, 100000.0), filedAt));
        QVERIFY(!data.add(frame(5, 1, 0.0), filedAt)); // no period: ignored

        QCOMPARE(data.positions.size(), 2);
        const PositionWrapper& p = data.positions[0];
        QCOMPARE(p.position, 5);
        QCOMPARE(p.mode, 3);
        QCOMPARE(p.scans.size(), 2);
        QCOMPARE(p.scans[0].Delays200.size(), 1);
        QCOMPARE(p.scans[0].Delays200[0].freq, 149999.0);
        QCOMPARE(p.scans[0].Delays400.size(), 1);
        QCOMPARE(p.scans[0].Delays400[0].freq, 150000.0);
        QCOMPARE(p.scans[1].scan, 2);
        QCOMPARE(data.positions[1].position, 7);
    }

    void refusesADifferingHarmonicCount()
    {
        measuredData data;
        QVERIFY(data.add(frame(0, 1, 100000.0, 0, 8), filedAt));
        QVERIFY(!data.add(frame(0, 1, 100000.0, 0, 9), filedAt));
        QCOMPARE(data.positions.size(), 1);
        QCOMPARE(data.positions[0].scans[0].Delays200.size(), 1);
    }

    void frameKeepsItsHarmonicsAndStampsItsRecord()
    {
        measuredData data;
        QVERIFY(data.add(frame(3, 1, 100000.0, 0.5, 6, 250), filedAt));
        const DelayWrapper& w = data.positions[0].scans[0].Delays200[0];
        QCOMPARE(w.harmonics, 6);
        QCOMPARE(w.delay, 250.0f);
        QCOMPARE(w.VR, QVector<double>({0.5, 1.5, 2.5, 3.5, 4.5, 5.5}));
        QCOMPARE(w.waveFormV().size(), 1000);
        QVERIFY(w.scanRecord.has_value());
        QCOMPARE(w.scanRecord->date, filedAt);
        QCOMPARE(w.scanRecord->position, 3.0);
        QCOMPARE(w.scanRecord->resolvedTime, 250.0);
        QCOMPARE(w.scanRecord->sweepCount, 1);
        // The record holds the IV curve reversed, so that its voltages rise.
        QCOMPARE(w.recordV().size(), w.VIx().size());
        QVERIFY(!w.VIx().isEmpty());
        QCOMPARE(w.recordV().first(), w.VIx().last());
        QCOMPARE(w.recordI().first(), w.VIy().last());

        // For a plain cosine the construction order falls, so the record rises.
        scanResult cosine = frame(4, 1, 100000.0, 0, 2);
        for (double* values : {cosine.VR, cosine.Vi, cosine.Ir, cosine.Ii})
            std::fill(values, values + scanResult::maxHarmonics, 0.0);
        cosine.VR[0] = 2.0;
        cosine.Ir[0] = 0.5;
        QVERIFY(data.add(cosine, filedAt));
        const ScanRecord rising = data.positions[1].scans[0].Delays200[0].recordWithCurve();
        QCOMPARE(rising.V.size(), 498); // the two highest levels are never passed again
        QVERIFY(std::is_sorted(rising.V.begin(), rising.V.end()));
        QVERIFY(rising.V.first() < -2.8 && rising.V.last() > 2.8);

        // A negative count is taken as 16 values, a count above 16 as 16.
        measuredData other;
        QVERIFY(other.add(frame(0, 1, 100000.0, 0, -1), filedAt));
        QVERIFY(other.add(frame(1, 1, 100000.0, 0, 40), filedAt));
        QCOMPARE(other.positions[0].scans[0].Delays200[0].VR.size(), 16);
        QCOMPARE(other.positions[1].scans[0].Delays200[0].VR.size(), 16);
    }

    void baseLevelChangesOnlyTheCurrentsOfTheFramesBand()
    {
        measuredData data;
        BaseLevel level;
        for (int v = 0; v < 8; ++v)
            level[v] = QVector<double>(16, 1000.0 * (v + 1));
        level[BaseHighIi] = {1.0, 2.0}; // shorter than the frame: the rest subtracts nothing
        data.setBaseLevel(level);
        QVERIFY(data.baseLevelSet);

        QVERIFY(data.add(frame(0, 1, 100000.0), filedAt));
        QVERIFY(data.add(frame(0, 1, 150000.0), filedAt));
        const DelayWrapper& low = data.positions[0].scans[0].Delays200[0];
        const DelayWrapper& high = data.positions[0].scans[0].Delays400[0];
        QCOMPARE(low.VR, QVector<double>({0, 1, 2, 3}));
        QCOMPARE(low.Vi, QVector<double>({100, 101, 102, 103}));
        QCOMPARE(low.Ir, QVector<double>({200 - 3000, 201 - 3000, 202 - 3000, 203 - 3000}));
        QCOMPARE(low.Ii, QVector<double>({300 - 4000, 301 - 4000, 302 - 4000, 303 - 4000}));
        QCOMPARE(high.VR, QVector<double>({0, 1, 2, 3}));
        QCOMPARE(high.Ir, QVector<double>({200 - 7000, 201 - 7000, 202 - 7000, 203 - 7000}));
        QCOMPARE(high.Ii, QVector<double>({299, 299, 302, 303}));

        data.clearBaseLevel();
        QVERIFY(!data.baseLevelSet);
        QCOMPARE(data.baseLevel[BaseLowIr].size(), 16); // kept
        QVERIFY(data.add(frame(0, 1, 100000.0), filedAt));
        QCOMPARE(data.positions[0].scans[0].Delays200[1].Ir, QVector<double>({200, 201, 202, 203}));
    }

    void averagesAppearWithTheThirdScanAndUseTheEarlierOnes()
    {
        measuredData data;
        for (int scan = 1; scan <= 2; ++scan)
            for (double freq : {100000.0, 200000.0})
                QVERIFY(data.add(frame(0, scan, freq, scan * 10.0), filedAt));
        QVERIFY(data.positions[0].averages.isEmpty());

        QVERIFY(data.add(frame(0, 3, 100000.0, 1e6), filedAt));
        const PositionWrapper& p = data.positions[0];
        QCOMPARE(p.averages.size(), 1);
        const AveragedEntry& e = p.averages[0];
        // Scans 1 and 2 have bases 10 and 20; scan 3 (1e6) is left out.
        QCOMPARE(e.low.VR, QVector<double>({15, 16, 17, 18}));
        QCOMPARE(e.high.Ii, QVector<double>({315, 316, 317, 318}));
        QCOMPARE(e.low.waveFormV().size(), 1000);
        QVERIFY(e.scanRecord() != nullptr);
        QVERIFY(!e.high.scanRecord);

        // A frame of a fourth scan brings scan 3 in (its low band only).
        QVERIFY(data.add(frame(0, 4, 100000.0, 5.0), filedAt));
        QCOMPARE(data.positions[0].averages[0].low.VR[0], (10.0 + 20.0 + 1e6) / 3);
        QCOMPARE(data.positions[0].averages[0].high.VR[0], (10.0 + 20.0) / 2);
    }

    void averagedEntriesFollowTheFirstScanGroupsLength()
    {
        measuredData data;
        for (int scan = 1; scan <= 3; ++scan)
            for (int delay = 0; delay < (scan == 1 ? 2 : 3); ++delay)
                for (double freq : {100000.0, 200000.0})
                    QVERIFY(data.add(frame(0, scan, freq, delay, 4, delay), filedAt));
        QCOMPARE(data.positions[0].averages.size(), 2);
        // A late frame of the first scan lengthens it, and the averages follow.
        QVERIFY(data.add(frame(0, 1, 100000.0, 2, 4, 2), filedAt));
        QCOMPARE(data.positions[0].averages.size(), 2);
        QVERIFY(data.add(frame(0, 1, 200000.0, 2, 4, 2), filedAt));
        QCOMPARE(data.positions[0].averages.size(), 3);
    }

    void componentAccessorPicksBandVectorAndIndex()
    {
        measuredData data;
        QVERIFY(data.add(frame(0, 1, 100000.0, 1.0), filedAt));
        QVERIFY(data.add(frame(0, 1, 100000.0, 2.0), filedAt));
        QVERIFY(data.add(frame(0, 1, 200000.0, 3.0), filedAt));
        const ScanGroup& g = data.positions[0].scans[0];
        QCOMPARE(g.component(ScanGroup::LowVR, 0), g.Delays200[0].VR);
        QCOMPARE(g.component(ScanGroup::LowIi, -1), g.Delays200[1].Ii); // last low-band index
        QCOMPARE(g.component(ScanGroup::HighVi, 0), g.Delays400[0].Vi);
        QCOMPARE(g.component(ScanGroup::LowWaveFormI, 1), g.Delays200[1].waveFormI());
        QCOMPARE(g.component(ScanGroup::HighWaveFormV, 0), g.Delays400[0].waveFormV());
        QCOMPARE(g.component(ScanGroup::LowIvCurrent, 0), g.Delays200[0].VIy());
        QCOMPARE(g.component(ScanGroup::HighIvVoltage, 0), g.Delays400[0].VIx());
        // Index -1 means low index 1, which the high band lacks.
        QVERIFY(g.component(ScanGroup::HighVR, -1).isEmpty());
        QVERIFY(g.component(16, 0).isEmpty());
        QVERIFY(g.component(ScanGroup::LowVR, 2).isEmpty());
    }

    void baseLevelCandidatesAverageTheUsableEarlierScans()
    {
        measuredData data;
        QVERIFY(data.add(frame(0, 1, 100000.0, 10.0), filedAt));
        QVERIFY(data.add(frame(0, 1, 200000.0, 10.0), filedAt));
        QVERIFY(data.add(frame(0, 2, 100000.0, 30.0), filedAt));
        scanResult unusable = frame(0, 2, 200000.0, 400000.0);
        unusable.VR[0] = 600000.0; // above 500000
        unusable.Ir[0] = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(data.add(unusable, filedAt));
        QVERIFY(data.add(frame(0, 3, 100000.0, 1e4), filedAt)); // the last scan: never used

        const BaseLevel c = data.baseLevelCandidates(0);
        for (const QVector<double>& v : c)
            QCOMPARE(v.size(), 16);
        QCOMPARE(c[BaseLowVR][0], 20.0);
        QCOMPARE(c[BaseLowVR][3], 23.0);
        QCOMPARE(c[BaseLowVR][4], 0.0); // values the 4-harmonic frames lack count as zero
        QCOMPARE(c[BaseLowIi][1], 321.0);
        QCOMPARE(c[BaseHighVR][0], 10.0);  // scan 2's VR starts above 500000
        QCOMPARE(c[BaseHighVR][1], 11.0);
        QCOMPARE(c[BaseHighIr][0], 210.0); // scan 2's Ir starts with NaN
        QCOMPARE(c[BaseHighVi][0], (110.0 + 400100.0) / 2);

        for (const QVector<double>& v : data.baseLevelCandidates(5))
            QCOMPARE(v, QVector<double>(16, 0.0));
    }

    void scanResultTravelsThroughAQueuedSignal()
    {
        registerScanResultType();
        QCOMPARE(QMetaType::type("scanResult"), qMetaTypeId<scanResult>());
        scanResult r = frame(9, 4, 123.0);
        const QVariant copy = QVariant::fromValue(r);
        QCOMPARE(copy.value<scanResult>().Ii[15], r.Ii[15]);
    }
};

QTEST_GUILESS_MAIN(TestMeasuredData)
#include "test_measured_data.moc"
