// The fields of orvel-cli's CSV output: numbers that read back exactly, and
// texts quoted only where CSV needs it.

#include "CsvText.h"

#include <QtTest>

#include <limits>

class TestCliCsvText : public QObject
{
    Q_OBJECT

private slots:
    void numbersReadBackExactly()
    {
        for (double value : {0.1, 2.434571630134662, 6.8565880210686880e16, 4.429721664202519e-05, -1e-300, 1.0})
            QCOMPARE(cli::csvNumber(value).toDouble(), value);
        QCOMPARE(cli::csvNumber(0.1), QStringLiteral("0.1"));
        QCOMPARE(cli::csvNumber(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("nan"));
        QCOMPARE(cli::csvNumber(-std::numeric_limits<double>::quiet_NaN()), QStringLiteral("nan"));
    }

    void textsAreQuotedWhereCsvNeedsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("plain") << "Unable to find Vp." << "Unable to find Vp.";
        QTest::newRow("comma") << "kTe error, slope" << "\"kTe error, slope\"";
        QTest::newRow("quote") << "say \"no\"" << "\"say \"\"no\"\"\"";
        QTest::newRow("line break") << "two\nlines" << "\"two\nlines\"";
        QTest::newRow("carriage return") << "a\rb" << "\"a\rb\"";
        QTest::newRow("semicolon stays") << "a;b" << "a;b";
    }

    void textsAreQuotedWhereCsvNeedsIt()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(cli::csvField(text), field);
    }
};

QTEST_GUILESS_MAIN(TestCliCsvText)
#include "test_cli_csv_text.moc"
