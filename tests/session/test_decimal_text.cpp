#include "session/DecimalText.h"

#include <QtTest>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

class TestDecimalText : public QObject
{
    Q_OBJECT

private slots:
    void numbersAreWrittenAsPrintfWrites()
    {
        // Rounding boundaries, the switch between fixed and exponent form,
        // subnormals and specials, then random values over the whole range.
        std::vector<double> values = {0.1, 1e-05, 123456789, 2.5e6, -0.25, 0.0, -0.0, 1e-4, 9.99999e-5, 999999.5,
                                      999999.4, 123456.5, 0.000123456789, 1e300, 4.9e-324, 2.2250738585072014e-308,
                                      std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN()};
        std::mt19937_64 rng(7);
        std::uniform_int_distribution<int> exponent(-320, 308);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        for (int i = 0; i < 200000; ++i)
            values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
        for (int i = 0; i < 20000; ++i) { // random bit patterns
            const quint64 bits = rng();
            double x;
            std::memcpy(&x, &bits, sizeof x);
            values.push_back(x);
        }
        for (double x : values) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%g", x);
            QCOMPARE(decimalText(x), QString::fromLatin1(expected));
        }
    }

    void vectorsEndEveryElementWithASeparator()
    {
        QCOMPARE(vectorText({1.5, 2, -0.25}), QByteArray("1.5;2;-0.25;"));
        QCOMPARE(vectorText({0.1}), QByteArray("0.1;"));
        QCOMPARE(vectorText({0.00001}), QByteArray("1e-05;"));
        QCOMPARE(vectorText({123456789}), QByteArray("1.23457e+08;"));
        QCOMPARE(vectorText({}), QByteArray());
    }

    void vectorTextsReadBack()
    {
        QCOMPARE(parseVectorText(u"1.5;2;-0.25;"), QVector<double>({1.5, 2, -0.25}));
        QCOMPARE(parseVectorText(u";;7;;8"), QVector<double>({7, 8})); // empty parts skipped, last ';' optional
        QVERIFY(parseVectorText(u"").isEmpty());
        // What is not a double reads as 0; Qt's parser takes white space and a '+'.
        QCOMPARE(parseVectorText(u"abc;1e999;--1;0x10; 3 ;+4;1e-999;"), QVector<double>({0, 0, 0, 0, 3, 4, 0}));
        const QVector<double> specials = parseVectorText(u"nan;inf;-inf;-0;");
        QVERIFY(std::isnan(specials[0]));
        QCOMPARE(specials[1], std::numeric_limits<double>::infinity());
        QCOMPARE(specials[2], -std::numeric_limits<double>::infinity());
        QVERIFY(std::signbit(specials[3]));
        // A very long spelling of a number is still that number.
        const QString longText = QString("0.") + QString(300, '0') + "1e300;";
        QCOMPARE(parseVectorText(longText), QVector<double>({1e-1}));
    }

    void everyWrittenNumberReadsBackAsItsRounding()
    {
        std::mt19937_64 rng(8);
        std::uniform_real_distribution<double> value(-1e6, 1e6);
        QVector<double> written;
        for (int i = 0; i < 10000; ++i)
            written.append(value(rng) * std::pow(10.0, int(rng() % 40) - 20));
        const QVector<double> read = parseVectorText(QString::fromLatin1(vectorText(written)));
        QCOMPARE(read.size(), written.size());
        for (int i = 0; i < written.size(); ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", written[i]);
            QCOMPARE(read[i], std::strtod(text, nullptr));
        }
    }
};

QTEST_GUILESS_MAIN(TestDecimalText)
#include "test_decimal_text.moc"
