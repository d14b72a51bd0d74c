#include "analysis/results.h"

#include <QtTest>

#include <cmath>
#include <cstring>

class TestResults : public QObject
{
    Q_OBJECT

private slots:
    void emptyBlockReadsAllNaN()
    {
        results r;
        r.kTe = 3.0;
        r.read({});
        for (int i = 0; i < results::entryCount; ++i)
            QVERIFY2(std::isnan(r.entry(i)), results::key(i));
    }

    void roundTripIsBitExact()
    {
        results r;
        const double values[] = {0.1, 1.0 / 3.0, 6.02214076e23, -1e-300, 2.5, 1234567.891, 5e-324, -0.0};
        for (int i = 0; i < results::entryCount; ++i)
            r.entry(i) = values[i % 8] * (i + 1);
        r.Ne = std::nan("");
        QMap<QString, QString> map;
        r.write(map);
        QCOMPARE(map.size(), results::entryCount);
        results back;
        back.read(map);
        for (int i = 0; i < results::entryCount; ++i) {
            const double a = r.entry(i), b = back.entry(i);
            if (std::isnan(a)) {
                QVERIFY2(std::isnan(b), results::key(i));
            } else {
                QVERIFY2(std::memcmp(&a, &b, sizeof a) == 0, qPrintable(QString("%1: %2 vs %3").arg(results::key(i)).arg(a).arg(b)));
            }
        }
    }

    void keysFollowTheRecordOrder()
    {
        QCOMPARE(QString(results::key(0)), QString("Vpmax"));
        QCOMPARE(QString(results::key(7)), QString("kTe_error"));
        QCOMPARE(QString(results::key(25)), QString("eedf_kTe_error"));
        results r;
        r.Ldebye = 7.5;
        QCOMPARE(r.entry(18), 7.5);
    }

    void labels()
    {
        QCOMPARE(results::parameterLabel(0), QString("Vp (V)"));
        QCOMPARE(results::parameterLabel(7), QString("<font>Debye Length (&micro;m)</font>"));
        QCOMPARE(results::parameterLabel(10), QString("EEDF kTe (eV)"));
        QCOMPARE(results::parameterLabel(11), QString("Unknown"));
        QCOMPARE(results::parameterLabel(-1), QString("Unknown"));
    }
};

QTEST_GUILESS_MAIN(TestResults)
#include "test_results.moc"
