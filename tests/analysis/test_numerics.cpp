#include "analysis/LineFit.h"
#include "analysis/Numerics.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

IvCurve curveOf(const QVector<double>& currents, const QVector<double>& voltages = {})
{
    IvCurve curve;
    for (int i = 0; i < currents.size(); ++i)
        curve.append({currents[i], voltages.isEmpty() ? double(i) : voltages[i]});
    return curve;
}

} // namespace

class TestNumerics : public QObject
{
    Q_OBJECT

private slots:
    void derivativeWindow()
    {
        // Unequal spacing: the voltage is the mean of the six outer samples.
        const IvCurve seven = curveOf({0, 1, 2, 3, 4, 5, 6}, {0, 1, 3, 4, 7, 8, 10});
        DerivativeCurve out;
        derivative(seven, 0, out, 3);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].voltage, (0 + 1 + 3 + 7 + 8 + 10) / 6.0);
        QCOMPARE(out[0].slope, (15.0 - 3.0) / (25.0 - 4.0));

        derivative(seven.mid(0, 6), 0, out, 3);
        QVERIFY(out.isEmpty());

        // Equal spacing: the voltage is the centre sample's; a line gives its slope.
        IvCurve line;
        for (int i = 0; i < 20; ++i)
            line.append({2.0 * (0.5 * i) + 1, 0.5 * i});
        derivative(line, 4, out, 2);
        QCOMPARE(out.size(), 12);
        for (int k = 0; k < out.size(); ++k) {
            QCOMPARE(out[k].voltage, line[4 + k + 2].voltage);
            QCOMPARE(out[k].slope, 2.0);
        }
    }

    void derivativeAlwaysHandsBackAFreshResult()
    {
        DerivativeCurve out(100, DerivativePoint{42, 42});
        derivative(curveOf({0, 1, 2, 3, 4, 5, 6}), 0, out, 3);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].slope, 1.0);
        derivative(curveOf({0, 1, 2}), 0, out, 3);
        QVERIFY(out.isEmpty());
        // A start beyond the end or a half-width below 1 gives nothing, without
        // reading or allocating out of bounds.
        derivative(curveOf({0, 1, 2, 3, 4, 5, 6}), 9, out, 1);
        QVERIFY(out.isEmpty());
        derivative(curveOf({0, 1, 2, 3, 4, 5, 6}), 0, out, 0);
        QVERIFY(out.isEmpty());
        derivative(curveOf({0, 1, 2, 3, 4, 5, 6}), 0, out, -1000000000);
        QVERIFY(out.isEmpty());
        // Half-widths whose double overflows an int: still nothing.
        for (int n : {1500000000, std::numeric_limits<int>::max()}) {
            derivative(curveOf({0, 1, 2, 3, 4, 5, 6}), 0, out, n);
            QVERIFY(out.isEmpty());
        }
    }

    void derivativeSumsInExtendedPrecision()
    {
        // In double, 1e16 + 1 + 1 is 1e16; the extended sums keep the 2.
        const IvCurve curve = curveOf({1e16, 1, 1, 0, 1e16, 0, 0}, {0, 1, 2, 3, 4, 5, 6});
        DerivativeCurve out;
        derivative(curve, 0, out, 3);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].slope, -2.0 / 12.0);
    }

    void crossingSearchFromTheEnd()
    {
        QCOMPARE(crossingIndexFromEnd(IvCurve(), 0), -1);
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, -2, -1}), 0), -1);
        QCOMPARE(crossingIndexFromEnd(curveOf({3, 2, 1}), 0), -1);
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, -1, 2, 5}), 0), 2);
        // Only the last crossing counts.
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, 1, -1, 2, 5}), 0), 3);
        QCOMPARE(crossingIndexFromEnd(curveOf({5, 2, -1, -4}), 0), 2);
        // The last value on the level: the last index.
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, -1, 0}), 0), 2);
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, 4, 6}), 6), 2);
        // A NaN at the end is judged by the last number before it.
        QCOMPARE(crossingIndexFromEnd(curveOf({-3, -1, 2, NaN}), 0), 2);
        QCOMPARE(crossingIndexFromEnd(curveOf({4, -1, NaN, NaN}), 0), 1);
        QCOMPARE(crossingIndexFromEnd(curveOf({NaN, NaN}), 0), -1);
        // NaN never satisfies a comparison, so the walk passes over it.
        QCOMPARE(crossingIndexFromEnd(curveOf({-1, NaN, 2}), 0), 1);
    }

    void lineFit()
    {
        LineFit fit;
        QCOMPARE(fit.count(), 0u);
        QCOMPARE(fit.slope(), 0.0);
        QCOMPARE(fit.intercept(), 0.0);
        fit.add(2, 7);
        QCOMPARE(fit.slope(), 0.0);
        QCOMPARE(fit.intercept(), 7.0);
        fit.add(4, 11); // adding clears the cached solution
        QCOMPARE(fit.slope(), 2.0);
        QCOMPARE(fit.intercept(), 3.0);

        // Large abscissae stay well conditioned thanks to the offset sums.
        const double xs[] = {1e8, 1e8 + 1, 1e8 + 2, 1e8 + 3, 1e8 + 4};
        double ys[5];
        for (int i = 0; i < 5; ++i)
            ys[i] = 3 * (xs[i] - 1e8) + 0.25;
        fit.fit(xs, ys, 5);
        QCOMPARE(fit.count(), 5u);
        QCOMPARE(fit.slope(), 3.0);
        QCOMPARE(fit.meanX(), 1e8 + 2);
        QCOMPARE(fit.intercept(), 6.25 - 3 * (1e8 + 2));
        fit.reset();
        QCOMPARE(fit.count(), 0u);
        QCOMPARE(fit.meanY(), 0.0);
    }

    void trapezoidalIntegral()
    {
        const double xs[] = {0, 1, 2, 3};
        const double ys[] = {0, 1, 2, 3};
        QCOMPARE(integrate(xs, ys, 4, 0, 3), 4.5);
        // Interpolated limits between samples.
        QCOMPARE(integrate(xs, ys, 4, 0.5, 2.5), 3.0);
        QCOMPARE(integrate(xs, ys, 4, 1.25, 1.75), 0.75);
        // Limits beyond the samples are held to them.
        QCOMPARE(integrate(xs, ys, 4, -5, 10), 4.5);
        QCOMPARE(integrate(xs, ys, 4, 2, 2), 0.0);
        QCOMPARE(integrate(xs, ys, 1, 0, 3), 0.0);
        const double bent[] = {1, 1, 5, 5};
        QCOMPARE(integrate(xs, bent, 4, 0.5, 3), 0.5 + 3 + 5);
        // Unsorted abscissae must not lead the walk off the samples.
        const double unsorted[] = {0, NaN, -1, NaN};
        QVERIFY(!std::isinf(integrate(unsorted, ys, 4, 0, 10)));
    }

    void zeroCrossing()
    {
        QCOMPARE(interpolateCrossing({-1, 0}, {1, 2}), 1.0);
        QCOMPARE(interpolateCrossing({-3, 10}, {1, 14}), 13.0);
        QCOMPARE(interpolateCrossing({-2, 5}, {0, 6}), 6.0);
        QCOMPARE(interpolateCrossing({0, 5}, {0, 6}), 6.0);
    }
};

QTEST_GUILESS_MAIN(TestNumerics)
#include "test_numerics.moc"
