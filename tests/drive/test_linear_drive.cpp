#include "drive/DriveReply.h"
#include "drive/DriveSettings.h"
#include "drive/LinearDrive.h"

#include <QSettings>
#include <QtTest>

#include <climits>
#include <cmath>
#include <limits>

class TestLinearDrive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Brisvane");
        QCoreApplication::setApplicationName("Orvel");
    }

    void replyIsCompleteOnlyAfterLineFeedAndPrompt()
    {
        using DriveReply::isComplete;
        QVERIFY(isComplete("IP=5\r\n>"));
        QVERIFY(isComplete("\r\n?"));
        QVERIFY(!isComplete("\n>"));
        QVERIFY(!isComplete("IP=5\r\n"));
        QVERIFY(!isComplete("IP=5\r\nX"));
        QVERIFY(isComplete("IP=5\r\nX", false));
        QVERIFY(!isComplete("IP=5>"));
    }

    void valueIsTheLastLine()
    {
        using DriveReply::value;
        QCOMPARE(value("IP=1234\r\n>"), QByteArray("IP=1234"));
        QCOMPARE(value("first\r\nsecond\r\n>"), QByteArray("second"));
        QCOMPARE(value("a\nb\r\n?"), QByteArray("b"));
        QCOMPARE(value(QByteArray("x\0y\r\n>", 6)), QByteArray("y"));
        QCOMPARE(value("\r\n>"), QByteArray());
        QCOMPARE(value("86\n>"), QByteArray("86"));
    }

    void valueMustBePrintableOrCopyrightSign()
    {
        QVERIFY(DriveReply::isPrintable(" ~AZ09"));
        QVERIFY(DriveReply::isPrintable("\xA9 2009"));
        QVERIFY(DriveReply::isPrintable(QByteArray()));
        QVERIFY(!DriveReply::isPrintable("IP=12\x01" "34"));
        QVERIFY(!DriveReply::isPrintable("a\x7F"));
        QVERIFY(!DriveReply::isPrintable("a\xA8"));
        QVERIFY(!DriveReply::isPrintable("tab\there"));
    }

    void errorCodeFromPrErAnswer()
    {
        using DriveReply::errorCode;
        QCOMPARE(errorCode("86\r\n>"), std::optional<int>(86));
        QCOMPARE(errorCode("ER=1\r\n86\r\n>"), std::optional<int>(86));
        QCOMPARE(errorCode("-5\r\n>"), std::optional<int>(0x7FFFFFFB)); // sign bit cleared
        QCOMPARE(errorCode("86\r\n?"), std::nullopt);
        QCOMPARE(errorCode("\r\n?"), std::nullopt);
        QCOMPARE(errorCode("ER\r\n>"), std::nullopt);
        QCOMPARE(errorCode("-\r\n>"), std::nullopt);
        QCOMPARE(errorCode("86"), std::nullopt); // silence before the prompt
        QCOMPARE(DriveReply::leadingInteger("99999999999"), std::optional<int>(INT_MAX));
        QCOMPARE(DriveReply::leadingInteger("1234\r\n>"), std::optional<int>(1234));
    }

    void convertsBetweenMillimetresAndSteps()
    {
        LinearDrive drive;
        drive.slope = 0.01;
        QCOMPARE(drive.millimetresToSteps(12.34), std::optional<int>(1234));
        QCOMPARE(drive.stepsToMillimetres(1234), 12.34);
        QCOMPARE(drive.millimetresToSteps(-0.004), std::optional<int>(0));
        QCOMPARE(drive.millimetresToSteps(0.005), std::optional<int>(1)); // half away from zero
        drive.offset = 5;
        QCOMPARE(drive.millimetresToSteps(6), std::optional<int>(100));
        QCOMPARE(drive.stepsToMillimetres(100), 6.0);
    }

    void positionsWithoutAStepCountAreRefused()
    {
        LinearDrive drive;
        drive.slope = 0;
        QCOMPARE(drive.millimetresToSteps(1), std::nullopt);
        drive.slope = 0.01;
        QCOMPARE(drive.millimetresToSteps(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
        QCOMPARE(drive.millimetresToSteps(1e12), std::nullopt);
    }

    void errorStringFollowsAbortThenCode()
    {
        LinearDrive drive;
        QCOMPARE(drive.errorString(), QByteArray("No Error."));
        QCOMPARE(LinearDrive::messageForCode(13), QByteArray("Unknown Error (13)."));
        QCOMPARE(LinearDrive::messageForCode(86), QByteArray("Stall detected. The Stall Flag (ST) has been set to 1."));
        QCOMPARE(LinearDrive::messageForCode(108), QByteArray("Failed to read error code."));
        QCOMPARE(LinearDrive::messageForCode(-1), QByteArray("Unknown Error (-1)."));
        drive.abortRequested = true;
        QCOMPARE(drive.errorString(), QByteArray("Operation aborted."));
    }

    void baseOperationsDoNothing()
    {
        LinearDrive drive;
        QSignalSpy positions(&drive, &LinearDrive::positionUpdated);
        QVERIFY(!drive.home());
        QVERIFY(!drive.moveTo(1));
        QVERIFY(!drive.isAtTarget());
        QVERIFY(!drive.identify());
        QVERIFY(!drive.stop());
        drive.moveToPosition(1);
        drive.checkPosition();
        QCOMPARE(positions.count(), 0);
        QCOMPARE(drive.slope, 1.0);
        QCOMPARE(drive.railLength, 100.0);
        QCOMPARE(drive.homingSpeed, 5.0);
        QCOMPARE(drive.position(), 0.0);
    }

    void settingsDefaultsAndStoredValues()
    {
        QSettings().clear();
        QCOMPARE(DriveSettings::comPort(), QString());
        QCOMPARE(DriveSettings::slope(), 0.01);
        QCOMPARE(DriveSettings::railLength(), 300.0);
        QCOMPARE(DriveSettings::positionBoxLimits().minimum, 0.0);
        QCOMPARE(DriveSettings::positionBoxLimits().maximum, 300.0);

        DriveSettings::setComPort("/dev/pts/7");
        DriveSettings::setSlope(0.025);
        DriveSettings::setRailLength(450);
        QSettings settings;
        settings.setValue("settings/setPosBoxMinimum", 80.0);
        settings.setValue("settings/setPosBoxMaximum", 20.0);
        settings.sync();

        QCOMPARE(settings.value("settings/COM_Port").toString(), QString("/dev/pts/7"));
        QCOMPARE(settings.value("settings/drive_length").toString(), QString("450"));
        QCOMPARE(DriveSettings::positionBoxLimits().minimum, 20.0);
        QCOMPARE(DriveSettings::positionBoxLimits().maximum, 80.0);
        LinearDrive drive;
        DriveSettings::applyTo(drive);
        QCOMPARE(drive.slope, 0.025);
        QCOMPARE(drive.railLength, 450.0);

        // Values no control could have stored give the defaults: a rail of
        // 1e300 mm would overflow the panel's slider.
        settings.setValue("settings/drive_length", 1e300);
        settings.setValue("settings/drive_slope", "fast");
        settings.setValue("settings/setPosBoxMinimum", "nan");
        settings.sync();
        QCOMPARE(DriveSettings::railLength(), 300.0);
        QCOMPARE(DriveSettings::slope(), 0.01);
        QCOMPARE(DriveSettings::positionBoxLimits().minimum, 0.0);
        QCOMPARE(DriveSettings::positionBoxLimits().maximum, 20.0);
    }
};

QTEST_GUILESS_MAIN(TestLinearDrive)
#include "test_linear_drive.moc"
