// The command-line rule of the program's start, and what the main window
// says about the sensor.

#include "CommandLine.h"
#include "SensorTexts.h"

#include <QTemporaryDir>
#include <QtTest>

class TestShellTexts : public QObject
{
    Q_OBJECT

private slots:
    void lastFileArgumentWins()
    {
        QCOMPARE(sessionFileArgument({"-style", "/x", "a.ldf", "b.ldf"}), QStringLiteral("b.ldf"));
        QCOMPARE(sessionFileArgument({"a.ldf", "-platform", "/nologo"}), QStringLiteral("a.ldf"));
        QCOMPARE(sessionFileArgument({"-a", "/b"}), QString());
        QCOMPARE(sessionFileArgument({}), QString());
        // An empty argument names nothing and does not undo an earlier name.
        QCOMPARE(sessionFileArgument({"a.ldf", ""}), QStringLiteral("a.ldf"));
    }

    // Absolute paths begin with '/' here: one that names an existing file is
    // a file, any other '/' argument is still an option.
    void absolutePathOfAnExistingFile()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("session.ldf"));
        QFile created(file);
        QVERIFY(created.open(QIODevice::WriteOnly));
        created.close();
        QVERIFY(file.startsWith(QLatin1Char('/')));

        QCOMPARE(sessionFileArgument({"a.ldf", file}), file);
        QCOMPARE(sessionFileArgument({file, "b.ldf"}), QStringLiteral("b.ldf"));
        QCOMPARE(sessionFileArgument({"a.ldf", folder.path()}), QStringLiteral("a.ldf")); // a folder is no file
        QCOMPARE(sessionFileArgument({"a.ldf", folder.filePath("absent.ldf")}), QStringLiteral("a.ldf"));
    }

    void statusLetters()
    {
        QCOMPARE(sensorStatusText('I'), QStringLiteral("Idle"));
        QCOMPARE(sensorStatusText('B'), QStringLiteral("Scanning"));
        QCOMPARE(sensorStatusText('N'), QStringLiteral("Scanning"));
        QCOMPARE(sensorStatusText('L'), QStringLiteral("Linear Drive Moving"));
        QCOMPARE(sensorStatusText('D'), QStringLiteral("Orvel Sensor Disconnected"));
        QCOMPARE(sensorStatusText('E'), QStringLiteral("Error"));
        // Busy is not a state the status watch knows; a failed query neither.
        for (int unknown : {int('S'), int('U'), int('i'), -1, 0})
            QVERIFY2(sensorStatusText(unknown).isEmpty(), qPrintable(QString::number(unknown)));
    }

    void hardwareInformationWithoutSensor()
    {
        const QString dashes(32, QLatin1Char('-'));
        QCOMPARE(hardwareInformation("1.5.0", "built today", nullptr),
                 "\n" + dashes + "  ORVEL SYSTEM SOFTWARE  " + dashes + "\n\n"
                 "SOFTWARE VERSION:\t1.5.0\n"
                 "METER SERIAL NO:\t\nFIRMWARE VERSION:\t\nPROBE SERIAL NO:\t\nFIRMWARE VERSION:\t\n");
    }

    void hardwareInformationPicksWordsZeroOneEightFour()
    {
        // Connected, with an identity line too short to split.
        const QString head = hardwareInformation("1.5.0", "d", "");
        QVERIFY(head.endsWith("SOFTWARE VERSION:\t1.5.0\nSOFTWARE DESCRIPTION:\td\n"));

        // Nine words; the double blank makes an empty word 3.
        QCOMPARE(hardwareInformation("1.5.0", "d", "M123 F2.1 x  P4.0 y z w S77"),
                 head + "METER SERIAL NO:\tM123\nFIRMWARE VERSION:\tF2.1\n"
                        "PROBE SERIAL NO:\tS77\nFIRMWARE VERSION:\tP4.0\n");

        // Too few words for the probe serial: that line is left out.
        const QString fewWords = hardwareInformation("1.5.0", "d", "Brisvane Orvel simulated sensor V2.0 SIM");
        QVERIFY(fewWords.endsWith("METER SERIAL NO:\tBrisvane\nFIRMWARE VERSION:\tOrvel\nFIRMWARE VERSION:\tV2.0\n"));
        QVERIFY(!fewWords.contains("PROBE SERIAL NO"));

        // Eight characters or fewer are not split at all.
        QCOMPARE(hardwareInformation("1.5.0", "d", "ABCD EFG"), head);
        QVERIFY(hardwareInformation("1.5.0", "d", "ABCD EFGH").contains("METER SERIAL NO:\tABCD\n"));
    }
};

QTEST_GUILESS_MAIN(TestShellTexts)
#include "test_shell_texts.moc"
