#include "acquisition/Waveforms.h"

#include "ReferenceFiling.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

bool sameBits(const QVector<double>& a, const QVector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(double) * a.size()) == 0;
}

// Waveforms that stress the IV search: plateaus, repeated values, NaN, steps.
QVector<double> awkwardWaveform(std::mt19937& rng, int m)
{
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    QVector<double> v;
    double x = 0;
    for (int i = 0; i < m; ++i) {
        switch (pick(rng)) {
        case 0: v.append(std::numeric_limits<double>::quiet_NaN()); continue;
        case 1: break; // repeat
        case 2: x = std::round(value(rng)); break;
        default: x += value(rng) * 0.3;
        }
        v.append(x);
    }
    return v;
}

} // namespace

class TestWaveforms : public QObject
{
    Q_OBJECT

private slots:
    void oneHarmonicGivesAScaledCosine()
    {
        // Only the first of the two values is used: a pure cosine at the
        // fundamental, with 3.141592 for pi.
        QVector<double> V, I, t;
        synthesiseWaveforms({1.0, 7.0}, {0.0, 7.0}, {0.0, 7.0}, {0.0, 7.0}, 1000, 200000.0, V, I, t);
        QCOMPARE(V.size(), 1000);
        for (int j = 0; j < 1000; ++j) {
            QCOMPARE(V[j], std::cos(2.0 * j * 3.141592 / 1000) * 1.4142135623730951);
            QCOMPARE(I[j], 0.0);
            QCOMPARE(t[j], (j + 1.0) / 1000 * 1000.0 / 200000.0);
        }
        QVERIFY(V[500] != -1.4142135623730951); // not full pi
        QVERIFY(std::abs(V[500] + 1.4142135623730951) < 1e-11);
    }

    void fewerThanTwoValuesGiveAFlatWaveform()
    {
        QVector<double> V, I, t;
        synthesiseWaveforms({5.0}, {5.0}, {5.0}, {5.0}, 1000, 1000.0, V, I, t);
        QCOMPARE(V, QVector<double>(1000, 0.0));
        QCOMPARE(I, QVector<double>(1000, 0.0));
        synthesiseWaveforms({1, 2}, {1, 2}, {1, 2}, {1, 2}, 0, 1000.0, V, I, t);
        QVERIFY(V.isEmpty() && I.isEmpty() && t.isEmpty());
    }

    void synthesisMatchesThePlainLoops()
    {
        // Tabulated (1000 samples, up to 16 values) and untabulated shapes,
        // with a shorter vector whose missing values count as zero.
        std::mt19937 rng(3);
        std::normal_distribution<double> value(0.0, 1.0);
        for (int samples : {1000, 1000, 999, 7}) {
            for (int n : {2, 9, 16, 20}) {
                QVector<double> h[4];
                for (QVector<double>& v : h)
                    for (int k = 0; k < n; ++k)
                        v.append(value(rng));
                h[2].resize(n / 2);
                QVector<double> V, I, t, rV, rI, rt;
                synthesiseWaveforms(h[0], h[1], h[2], h[3], samples, 123456.0, V, I, t);
                reference::synthesise(h[0], h[1], h[2], h[3], samples, 123456.0, rV, rI, rt);
                QVERIFY2(sameBits(V, rV) && sameBits(I, rI) && sameBits(t, rt),
                         qPrintable(QString("%1 samples, %2 values").arg(samples).arg(n)));
            }
        }
    }

    void ivCurvePairsEachLevelWithItsUpwardCrossing()
    {
        // Level 3 is passed upward between samples 5 and 6, level 2 between 4
        // and 5, level 1 between 3 and 4; level 0 is never passed after sample 3.
        const QVector<double> V = {3, 2, 1, 0, 1, 2, 3, 4};
        const QVector<double> I = {10, 20, 30, 40, 50, 60, 70, 80};
        QVector<double> ivV, ivI;
        buildIvCurve(V, I, ivV, ivI);
        QCOMPARE(ivV, QVector<double>({3, 2, 1}));
        QCOMPARE(ivI, QVector<double>({35, 35, 35}));

        buildIvCurve({1.0}, {1.0}, ivV, ivI);
        QVERIFY(ivV.isEmpty() && ivI.isEmpty());
    }

    void ivCurveMatchesTheQuadraticSearch()
    {
        std::mt19937 rng(11);
        for (int round = 0; round < 400; ++round) {
            const int m = 2 + round % 60;
            const QVector<double> V = awkwardWaveform(rng, m);
            const QVector<double> I = awkwardWaveform(rng, m);
            QVector<double> ivV, ivI, rV, rI;
            buildIvCurve(V, I, ivV, ivI);
            reference::buildIv(V, I, rV, rI);
            QVERIFY2(sameBits(ivV, rV) && sameBits(ivI, rI), qPrintable(QString("round %1").arg(round)));
        }
    }

    void crossingSearchAndFinderAgree()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(crossingIndex({nan, -2, -1, 0.5, 2}, 0.0, 0), 2);
        QCOMPARE(crossingIndex({3, 2, -1}, 0.0, 0), 1);
        QCOMPARE(crossingIndex({3, 2, 1}, 0.0, 0), -1);
        QCOMPARE(crossingIndex({nan, nan}, 0.0, 0), -1);
        QCOMPARE(crossingIndex({0, 1}, 0.0, 0), -1); // the first value itself is at the level

        std::mt19937 rng(5);
        for (int round = 0; round < 300; ++round) {
            const QVector<double> v = awkwardWaveform(rng, 1 + round % 40);
            const CrossingFinder finder(v);
            QVector<double> levels = v;
            levels << -100 << 100 << nan << 0.05 << -0.05;
            for (double level : levels)
                QCOMPARE(finder.find(level), reference::crossing(v, level, 0));
        }
    }

    void joinedCurveRisesStrictly()
    {
        // Two bands of a probe-like curve: the electron side of the low band
        // is pulled towards the high band and forced to rise.
        QVector<double> lowV, lowI, highV, highI;
        for (int i = 0; i < 200; ++i) {
            const double v = 20.0 - 0.2 * i; // construction order: falling voltages
            lowV.append(v);
            lowI.append(std::exp(std::min(v, 5.0) / 3.0) - 3.0);
            highV.append(v * 0.9);
            highI.append(std::exp(std::min(v * 0.9, 5.0) / 2.5) - 3.0);
        }
        const JoinedCurve joined = joinBands(lowV, lowI, highV, highI);
        QVERIFY(joined.joined);
        QCOMPARE(joined.V.size(), 200);
        for (int i = 1; i < joined.V.size(); ++i)
            QVERIFY2(joined.V[i] > joined.V[i - 1], qPrintable(QString::number(i)));
        for (int i = 0; i < 200; ++i)
            QCOMPARE(joined.I[i], lowI[199 - i]);

        // Without a zero crossing the low band comes back reversed, unjoined.
        const JoinedCurve unjoined = joinBands(lowV, QVector<double>(200, 1.0), highV, highI);
        QVERIFY(!unjoined.joined);
        QCOMPARE(unjoined.V.first(), lowV.last());
        QCOMPARE(unjoined.V.last(), lowV.first());
    }
};

QTEST_GUILESS_MAIN(TestWaveforms)
#include "test_waveforms.moc"
