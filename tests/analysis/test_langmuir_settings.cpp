#include "analysis/LangmuirSettings.h"

#include <QtTest>

#include <cmath>

using Map = QMap<QString, QString>;

class TestLangmuirSettings : public QObject
{
    Q_OBJECT

private slots:
    void blockHoldsEveryFieldWithItsText()
    {
        LangmuirSettings s;
        Map map;
        s.toStringMap(map);
        QCOMPARE(map.size(), 19);
        QCOMPARE(map.value("ionmass"), QString("40"));
        QCOMPARE(map.value("probe_radius"), QString("0.0035"));
        QCOMPARE(map.value("sigmaN"), QString("8.8e-19"));
        QCOMPARE(map.value("sigmaEn"), QString("4.14e-20"));
        QCOMPARE(map.value("pressure"), QString("0.0024"));
        QCOMPARE(map.value("correctDC"), QString("1"));
        QCOMPARE(map.value("bUseUserVp"), QString("0"));
        QCOMPARE(map.value("bUse2ndDerivativeZeroVp"), QString("0"));
        QCOMPARE(map.value("nDerivativePoints"), QString("3"));
        QCOMPARE(map.value("VsatFactor"), QString("0.8"));
        QCOMPARE(map.value("electronReflectVoltage"), QString("-20"));
        // Empty lists are present as empty texts.
        QVERIFY(map.contains("UserVpValuesList"));
        QCOMPARE(map.value("UserVpValuesList"), QString());
        QCOMPARE(map.value("bUseUserVpForFrame"), QString());
    }

    void listsAndShortestNumbers()
    {
        LangmuirSettings s;
        s.UserVpValuesList = {12.5, -3, 1.0 / 3.0};
        s.bUseUserVpForFrame = {true, false, true};
        s.pressure = 1234567.891; // more than six digits survive
        Map map;
        s.toStringMap(map);
        QCOMPARE(map.value("UserVpValuesList"), QString("12.5;-3;0.3333333333333333;"));
        QCOMPARE(map.value("bUseUserVpForFrame"), QString("1;0;1;"));
        QCOMPARE(map.value("pressure"), QString("1234567.891"));

        LangmuirSettings back;
        back.fromStringMap(map);
        QCOMPARE(back.UserVpValuesList, s.UserVpValuesList);
        QCOMPARE(back.bUseUserVpForFrame, s.bUseUserVpForFrame);
        QCOMPARE(back.pressure, s.pressure);
    }

    void roundTripOfChangedRecord()
    {
        LangmuirSettings s;
        s.ionmass = 39.948;
        s.probe_radius = 1.25e-4;
        s.probe_holder = 2e-3;
        s.probe_length = 0.0101;
        s.probe_resistance = 12;
        s.gas_temperature = 450.5;
        s.sigmaN = 1e-18;
        s.sigmaEn = 2e-20;
        s.correctDC = false;
        s.offsetCurrent = -2.5e-7;
        s.setVp = 12.5;
        s.bUseUserVp = true;
        s.bUse2ndDerivativeZeroVp = true;
        s.nDerivativePoints = 5;
        s.VsatFactor = 0.65;
        s.electronReflectVoltage = -35.5;
        Map map;
        s.toStringMap(map);
        LangmuirSettings back;
        back.fromStringMap(map);
        Map again;
        back.toStringMap(again);
        QCOMPARE(again, map);
        QCOMPARE(back.nDerivativePoints, 5);
        QCOMPARE(back.bUseUserVp, true);
        QCOMPARE(back.correctDC, false);
        QCOMPARE(back.offsetCurrent, -2.5e-7);
    }

    void readerAcceptsOlderTextsAndKeepsMissingFields()
    {
        LangmuirSettings s;
        s.setVp = 7;
        s.fromStringMap({{"ionmass", "4.00260"},          // six-digit form of older files
                         {"UserVpValuesList", ";1.5;;2e+01;"},
                         {"bUseUserVpForFrame", "1;;0;2;"},
                         {"correctDC", "0"},
                         {"bUseUserVp", "true"}});       // flags are integers
        QCOMPARE(s.ionmass, 4.0026);
        QCOMPARE(s.UserVpValuesList, (QVector<double>{1.5, 20}));
        QCOMPARE(s.bUseUserVpForFrame, (QVector<bool>{true, false, true}));
        QCOMPARE(s.correctDC, false);
        QCOMPARE(s.bUseUserVp, false);
        QCOMPARE(s.setVp, 7.0);
        QCOMPARE(s.probe_radius, 0.0035);
        QCOMPARE(s.nDerivativePoints, 3);
    }

    void perFrameListsGrow()
    {
        LangmuirSettings s;
        s.setUserVpForFrame(3, 21.5);
        s.setUseUserVpForFrame(2, true);
        s.setUseUserVpForFrame(-1, true); // ignored
        QCOMPARE(s.UserVpValuesList, (QVector<double>{0, 0, 0, 21.5}));
        QCOMPARE(s.bUseUserVpForFrame, (QVector<bool>{false, false, true}));
        QVERIFY(s.useUserVpForFrame(2));
        QVERIFY(!s.useUserVpForFrame(5));
        QCOMPARE(s.userVpForFrame(3), 21.5);
        QVERIFY(std::isnan(s.userVpForFrame(4)));
    }
};

QTEST_GUILESS_MAIN(TestLangmuirSettings)
#include "test_langmuir_settings.moc"
