// Files a realistic acquisition through the product and through the plain
// reference filing, and compares every vector of every frame and averaged
// entry, and every scan record, bit for bit after every frame (the deviations
// of averaged records to rounding).

#include "ReferenceFiling.h"
#include "SimulatedAcquisition.h"

#include <QtTest>

class TestFilingReference : public QObject
{
    Q_OBJECT

private:
    static void fileBoth(measuredData& model, reference::Model& ref, const QVector<scanResult>& frames,
                         const QString& phase)
    {
        const QDateTime filedAt = QDateTime::fromSecsSinceEpoch(1700000000);
        for (int i = 0; i < frames.size(); ++i) {
            const bool filed = model.add(frames[i], filedAt);
            QCOMPARE(filed, ref.add(frames[i], filedAt));
            const QString diff = reference::difference(model, ref);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("%1, frame %2: %3").arg(phase).arg(i).arg(diff)));
        }
    }

private slots:
    void timeResolvedAcquisitionMatchesBitForBit()
    {
        measuredData model;
        reference::Model ref;

        AcquisitionPlan plan;
        plan.scans = 5;
        plan.delays = 8;
        plan.harmonics = 16;
        QVector<scanResult> frames = simulatedAcquisition(plan);

        // The last high-band frame of scan 2 arrives late, during scan 4: it
        // changes an average of an earlier group. A frame of the first scan
        // arrives late too (it lengthens the first group), one with another
        // harmonic count is refused, and a second position interleaves.
        const int frameOfScan2 = 2 * plan.delays + 2 * plan.delays - 1;
        const scanResult lateOfScan2 = frames.takeAt(frameOfScan2);
        QCOMPARE(lateOfScan2.scan, 2);
        scanResult lateOfScan1 = frames[2];
        lateOfScan1.delay = 80;
        scanResult refused = frames[5];
        refused.harmonics = 12;
        frames.insert(3 * 2 * plan.delays + 3, lateOfScan2);
        frames.insert(3 * 2 * plan.delays + 5, lateOfScan1);
        frames.insert(3 * 2 * plan.delays + 6, refused);

        AcquisitionPlan other = plan;
        other.position = 12;
        other.scans = 3;
        other.delays = 3;
        other.seed = 2;
        const QVector<scanResult> second = simulatedAcquisition(other);
        frames = frames.mid(0, 30) + second.mid(0, 6) + frames.mid(30) + second.mid(6);
        fileBoth(model, ref, frames, "plain");

        // The same once more with a base level in force.
        const BaseLevel level = model.baseLevelCandidates(0);
        model.setBaseLevel(level);
        ref.base = level;
        ref.baseLevelSet = true;
        AcquisitionPlan third = plan;
        third.position = 30;
        third.scans = 4;
        third.delays = 4;
        third.seed = 9;
        fileBoth(model, ref, simulatedAcquisition(third), "base level");

        // The acquisition really exercised the joining.
        int joined = 0;
        for (const PositionWrapper& p : model.positions)
            for (const AveragedEntry& e : p.averages)
                joined += e.low.joined;
        QVERIFY(joined > 10);
    }

    // Up to more scans than the harmonics have coefficients, where the scatter
    // is summed over an equivalent factor instead of scan by scan; the voltage
    // scatters as well.
    void longAveragedScanMatches()
    {
        measuredData model;
        reference::Model ref;
        AcquisitionPlan plan;
        plan.scans = 40;
        plan.delays = 1;
        QVector<scanResult> frames = simulatedAcquisition(plan);
        for (int f = 0; f < frames.size(); ++f)
            for (int k = 0; k < plan.harmonics; ++k) {
                frames[f].VR[k] += 0.02 * std::sin(1.3 * f + 0.7 * k);
                frames[f].Vi[k] += 0.02 * std::cos(0.9 * f + 1.1 * k);
            }
        fileBoth(model, ref, frames, "averaged");
        model.positions[0].completeScatter(0);
        QCOMPARE(model.positions[0].averages[0].scanRecord()->sweepCount, 39);
    }
};

QTEST_GUILESS_MAIN(TestFilingReference)
#include "test_filing_reference.moc"
