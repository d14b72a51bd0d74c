#include "acquisition/CompactCurve.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool sameBits(const QVector<double>& a, const QVector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(double) * size_t(a.size())) == 0;
}

// The values as the C library parses their texts.
QVector<double> parsed(const QList<QByteArray>& texts)
{
    QVector<double> values;
    for (const QByteArray& t : texts)
        values.append(std::strtod(t.constData(), nullptr));
    return values;
}

} // namespace

class TestCompactCurve : public QObject
{
    Q_OBJECT

private slots:
    // Six-digit texts of every form "%g" writes, at the ends of the coded
    // range and beyond it, and values of full precision: each vector gives
    // back the bits it was made of.
    void givesBackTheBitsItWasMadeOf()
    {
        const QList<QList<QByteArray>> cases = {
            {"0", "-0", "1e-05", "2.5e+06", "-1.23457e-08", "999999", "0.000123456", "123.456", "-7"},
            {"1e+22", "9.99999e+27", "1e-17", "-4.56789e-17"}, // exponents of 10 at and near the limit
            {"1.5", "1e-300"},                                  // one value far beyond it
            {"1.5", "nan", "inf"},
            {"0.30000000000000004", "3.141592653589793"},       // more than six digits
            {},
        };
        for (const QList<QByteArray>& texts : cases) {
            const QVector<double> values = parsed(texts);
            const CompactCurve curve(values);
            QVERIFY2(sameBits(curve.values(), values), texts.join(' ').constData());
            QVERIFY(curve.sameAs(CompactCurve(values)));
        }
        QVERIFY(!CompactCurve(parsed({"1", "2"})).sameAs(CompactCurve(parsed({"1", "3"}))));
        QVERIFY(!CompactCurve(parsed({"0"})).sameAs(CompactCurve(parsed({"-0"}))));
    }

    // Every six-digit mantissa at one exponent, and one mantissa at every
    // exponent a double's parse of "%g" text can give.
    void everySixDigitValueOfAnExponentRoundTrips()
    {
        QVector<double> values;
        char text[32];
        for (int m = 100000; m <= 999999; m += 7) {
            std::snprintf(text, sizeof text, "%d.%05de-%02d", m / 100000, m % 100000, 9);
            values.append(std::strtod(text, nullptr));
        }
        for (int e = -16; e <= 27; ++e) {
            std::snprintf(text, sizeof text, "-8.76543e%+03d", e);
            values.append(std::strtod(text, nullptr));
        }
        QVERIFY(sameBits(CompactCurve(values).values(), values));
    }
};

QTEST_GUILESS_MAIN(TestCompactCurve)
#include "test_compact_curve.moc"
