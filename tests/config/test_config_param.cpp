#include "config/ConfigParam.h"

#include <QBuffer>
#include <QSettings>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtTest>

#include <limits>

namespace {

using Map = QMap<QString, QString>;

// Every child of the configuration block, in the order the file holds them.
const char* const kExpectedKeys[] = {
    "autoCRMargin", "cleanProbeParam_autoClean", "cleanProbeParam_duration", "cleanProbeParam_period",
    "cleanProbeParam_power", "cleanProbeParam_relaxTime", "cleanProbeParam_voltage", "dataScanRunParam_avgPerStep",
    "dataScanRunParam_firstStepDelay", "dataScanRunParam_integrationTime", "dataScanRunParam_nextStepDelay",
    "dataScanRunParam_traceAverage", "dataScanRunParam_voltageEnd", "dataScanRunParam_voltageStart",
    "dataScanRunParam_voltageStep", "dataScanRunScans", "dataScanThrowScans", "dcCScanDisable",
    "dcCScanRunParam_avgPerStep", "dcCScanRunParam_firstStepDelay", "dcCScanRunParam_integrationTime",
    "dcCScanRunParam_nextStepDelay", "dcCScanRunParam_traceAverage", "dcCScanRunParam_voltageEnd",
    "dcCScanRunParam_voltageStart", "dcCScanRunParam_voltageStep", "dcCScanSteps", "dcCScanSweeps",
    "extTriggerDelay", "initScanDerivativeDrop", "initScanDerivativePoints", "initScanDisable",
    "initScanIonCurrentDrop", "initScanLargeVoltageStep", "initScanMaxVoltage", "initScanOptimiseForEEDF",
    "initScanRunParam_avgPerStep", "initScanRunParam_firstStepDelay", "initScanRunParam_integrationTime",
    "initScanRunParam_nextStepDelay", "initScanRunParam_traceAverage", "initScanRunParam_voltageEnd",
    "initScanRunParam_voltageStart", "initScanRunParam_voltageStep", "initScanSmallVoltageStep",
    "ionCurrentDisable", "ionCurrentScalingFactor", "ionCurrentScanRunParam_avgPerStep",
    "ionCurrentScanRunParam_firstStepDelay", "ionCurrentScanRunParam_integrationTime",
    "ionCurrentScanRunParam_nextStepDelay", "ionCurrentScanRunParam_traceAverage",
    "ionCurrentScanRunParam_voltageEnd", "ionCurrentScanRunParam_voltageStart",
    "ionCurrentScanRunParam_voltageStep", "ionCurrentUseBestCurrentRange", "offsetCurrent",
    "spatParam_bUseSpatScan", "spatParam_end", "spatParam_start", "spatParam_step", "syncParam_averaging",
    "syncParam_bUseSyncScan", "syncParam_duration", "syncParam_resolution", "syncParam_resolvedInteg",
    "syncParam_start", "useAutoCMRange", "useDoubleProbe", "useExtTrigger", "useExtTriggerRisingEdge",
    "useSmartScan", "userChosenCMRange", "voltageIdle",
};

void changeRunParam(ScanRunParam& p, int seed)
{
    p.firstStepDelay = 2000 + seed;
    p.nextStepDelay = 200 + seed;
    p.integrationTime = 12.5 + seed;
    p.avgPerStep = 3 + seed;
    p.traceAverage = 4 + seed;
    p.voltageStart = -70.25 - seed;
    p.voltageStep = 0.125 * (seed + 1);
    p.voltageEnd = 80.5 + seed;
}

// A record in which every field differs from both the constructor's and the
// loading defaults, so a field that is not carried over shows up.
ConfigParam changedRecord()
{
    ConfigParam c;
    c.syncParam = {true, 1.5, 2.5, 3.5, false, 4.5};
    c.spatParam = {true, -1.5, 2.25, 30.75};
    c.useDoubleProbe = true;
    c.useSmartScan = false;
    c.useAutoCMRange = false;
    c.userChosenCMRange = 4;
    c.voltageIdle = -90.5;
    c.cleanProbeParam = {true, 120.5, 2.5, 7, 900, -3};
    c.offsetCurrent = -1.5e-06;
    c.autoCRMargin = 0.875;
    c.autosaveNamePattern = QStringLiteral("run_%1");
    c.enableAutosave = true;
    c.useExtTrigger = true;
    c.useExtTriggerRisingEdge = false;
    c.extTriggerDelay = 12.75;
    c.ionCurrentDisable = true;
    c.initScanDisable = true;
    c.dcCScanDisable = true;
    changeRunParam(c.ionCurrentScanRunParam, 1);
    c.ionCurrentUseBestCurrentRange = false;
    c.ionCurrentScalingFactor = 55.5;
    changeRunParam(c.initScanRunParam, 2);
    c.initScanLargeVoltageStep = 6.5;
    c.initScanSmallVoltageStep = 0.3;
    c.initScanDerivativePoints = 5;
    c.initScanDerivativeDrop = 70.5;
    c.initScanIonCurrentDrop = 60.5;
    c.initScanMaxVoltage = 120.5;
    c.initScanOptimiseForEEDF = false;
    changeRunParam(c.dcCScanRunParam, 3);
    c.dcCScanSteps = 11;
    c.dcCScanSweeps = 6;
    changeRunParam(c.dataScanRunParam, 4);
    c.dataScanThrowScans = 2;
    c.dataScanRunScans = 12;
    c.comport = QStringLiteral("/dev/ttyUSB3");
    return c;
}

Map mapOf(const ConfigParam& c)
{
    Map map;
    c.toStringMap(map);
    return map;
}

QByteArray elementOf(const ConfigParam& c)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    writeConfigParamElement(xml, c);
    return bytes;
}

} // namespace

class TestConfigParam : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
        // Never touch the user's store: the test runner gives each test its own.
        const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!configHome.isEmpty());
        QVERIFY(QSettings().fileName().startsWith(configHome));
    }

    void init() { QSettings().clear(); }

    void sessionMapHoldsThe74KeysInFileOrder()
    {
        const Map map = mapOf(ConfigParam());
        QStringList expected;
        for (const char* key : kExpectedKeys)
            expected << QLatin1String(key);
        QCOMPARE(expected.size(), 74);
        QCOMPARE(map.keys(), expected);

        // The element lists exactly these children in this order.
        QXmlStreamReader xml(elementOf(ConfigParam()));
        QVERIFY(xml.readNextStartElement());
        QVERIFY(isConfigParamElement(xml));
        QStringList children;
        while (xml.readNextStartElement()) {
            children << xml.name().toString();
            xml.skipCurrentElement();
        }
        QCOMPARE(children, expected);
    }

    void sessionMapTexts()
    {
        ConfigParam c;
        c.offsetCurrent = 0.0125;
        c.voltageIdle = 1e6;
        c.autoCRMargin = 1234567;
        c.syncParam.bUseSyncScan = true;
        c.cleanProbeParam.relaxTime = -4;
        const Map map = mapOf(c);
        QCOMPARE(map.value("offsetCurrent"), QString("0.0125"));
        QCOMPARE(map.value("voltageIdle"), QString("1e+06"));
        QCOMPARE(map.value("autoCRMargin"), QString("1.23457e+06"));
        QCOMPARE(map.value("dataScanRunParam_voltageStart"), QString("-50"));
        QCOMPARE(map.value("syncParam_bUseSyncScan"), QString("1"));
        QCOMPARE(map.value("syncParam_averaging"), QString("1"));
        QCOMPARE(map.value("useDoubleProbe"), QString("0"));
        QCOMPARE(map.value("cleanProbeParam_relaxTime"), QString("-4"));
        QCOMPARE(map.value("dataScanRunScans"), QString("10"));
        QVERIFY(!map.contains("comport"));
        QVERIFY(!map.contains("enableAutosave"));
        QVERIFY(!map.contains("autosaveNamePattern"));
    }

    void sessionMapRoundTrip()
    {
        const ConfigParam original = changedRecord();
        ConfigParam back;
        back.fromStringMap(mapOf(original));
        QCOMPARE(mapOf(back), mapOf(original));
        QCOMPARE(back.useDoubleProbe, true);
        QCOMPARE(back.cleanProbeParam.relaxTime, -3);
        QCOMPARE(back.initScanRunParam.voltageStep, 0.375);
        // Fields outside the map keep their values.
        QCOMPARE(back.comport, QString());
        QCOMPARE(back.enableAutosave, false);

        ConfigParam rounded;
        rounded.voltageIdle = 1234567;
        ConfigParam roundedBack;
        roundedBack.fromStringMap(mapOf(rounded));
        QCOMPARE(roundedBack.voltageIdle, 1234570.0);
    }

    void sessionMapReadsStrictly()
    {
        Map map = mapOf(ConfigParam());
        map.remove("syncParam_resolution");
        map["syncParam_averaging"] = "true";
        map["useAutoCMRange"] = "2";
        map["useSmartScan"] = "1";
        map["cleanProbeParam_period"] = "600.6";
        map["cleanProbeParam_duration"] = "2.5";
        map["cleanProbeParam_relaxTime"] = "-3.5";
        map["dataScanRunScans"] = "ten";
        map["dataScanThrowScans"] = "-1";
        map["voltageIdle"] = "garbage";
        ConfigParam c;
        c.comport = "COM4";
        LinearDrive* drive = reinterpret_cast<LinearDrive*>(&c);
        c.linearDrive = drive;
        c.fromStringMap(map);
        QCOMPARE(c.syncParam.resolution, 0.0); // missing gives 0, not 10
        QCOMPARE(c.syncParam.averaging, false);
        QCOMPARE(c.useAutoCMRange, false);
        QCOMPARE(c.useSmartScan, true);
        QCOMPARE(c.cleanProbeParam.period, 601);
        QCOMPARE(c.cleanProbeParam.duration, 2);   // ties to even
        QCOMPARE(c.cleanProbeParam.relaxTime, -4); // ties to even
        QCOMPARE(c.dataScanRunScans, 0u);
        QCOMPARE(c.dataScanThrowScans, 0u);
        QCOMPARE(c.voltageIdle, 0.0);
        QCOMPARE(c.comport, QString("COM4"));
        QCOMPARE(c.linearDrive, drive);
    }

    void signedFieldsOutOfRangeAreClamped()
    {
        ConfigParam c;
        c.fromStringMap({{"cleanProbeParam_period", "1e20"},
                         {"cleanProbeParam_duration", "-1e20"},
                         {"cleanProbeParam_relaxTime", "nan"}});
        QCOMPARE(c.cleanProbeParam.period, std::numeric_limits<qint32>::max());
        QCOMPARE(c.cleanProbeParam.duration, std::numeric_limits<qint32>::min());
        QCOMPARE(c.cleanProbeParam.relaxTime, 0);
    }

    void elementRoundTripInAnyOrder()
    {
        // Children in reverse order, with one repeated: the last text wins.
        const Map map = mapOf(changedRecord());
        QByteArray bytes;
        {
            QXmlStreamWriter xml(&bytes);
            xml.writeStartElement("settings");
            xml.writeAttribute("class", "configParam");
            for (auto it = map.constEnd(); it != map.constBegin();) {
                --it;
                xml.writeTextElement(it.key(), it.value());
            }
            xml.writeTextElement("voltageIdle", "-12");
            xml.writeEndElement();
        }
        QXmlStreamReader xml(bytes);
        QVERIFY(xml.readNextStartElement());
        QVERIFY(isConfigParamElement(xml));
        ConfigParam c;
        const Map read = readConfigParamElement(xml, c);
        QVERIFY(xml.isEndElement());
        QCOMPARE(xml.name().toString(), QString("settings"));
        QCOMPARE(read.value("offsetCurrent"), QString("-1.5e-06"));
        QCOMPARE(c.voltageIdle, -12.0);
        c.voltageIdle = changedRecord().voltageIdle;
        QCOMPARE(mapOf(c), map);
    }

    void elementOfOtherClassIsNotAConfiguration()
    {
        QXmlStreamReader xml(QByteArray("<settings class=\"AnalysisSettings\"/>"));
        QVERIFY(xml.readNextStartElement());
        QVERIFY(!isConfigParamElement(xml));
        QXmlStreamReader other(QByteArray("<header class=\"configParam\"/>"));
        QVERIFY(other.readNextStartElement());
        QVERIFY(!isConfigParamElement(other));
    }

    void emptyStoreGivesTheLoadDefaults()
    {
        ConfigParam c = changedRecord();
        c.loadSettings();
        QCOMPARE(c.dataScanRunParam.traceAverage, 10u);
        QCOMPARE(c.ionCurrentScanRunParam.traceAverage, 10u);
        QCOMPARE(c.ionCurrentScanRunParam.voltageEnd, -50.0);
        QCOMPARE(c.initScanRunParam.traceAverage, 1u);
        QCOMPARE(c.dcCScanRunParam.voltageEnd, 50.0);
        QCOMPARE(c.syncParam.resolvedInteg, 100.0);
        QCOMPARE(c.initScanMaxVoltage, 150.0);
        QCOMPARE(c.cleanProbeParam.period, 600);
        QCOMPARE(c.autoCRMargin, 0.95);
        QCOMPARE(c.comport, QString());
        // Not stored: keeps its value.
        QCOMPARE(c.useDoubleProbe, true);

        const ConfigParam fresh;
        QCOMPARE(fresh.dataScanRunParam.traceAverage, 1u);
        QCOMPARE(fresh.ionCurrentScanRunParam.voltageEnd, 50.0);
    }

    void settingsStoreRoundTrip()
    {
        const ConfigParam original = changedRecord();
        original.saveSettings();
        ConfigParam back;
        back.loadSettings();
        Map expected = mapOf(original);
        expected["useDoubleProbe"] = "0"; // not stored, so `back` keeps its own
        QCOMPARE(mapOf(back), expected);
        QCOMPARE(back.comport, original.comport);
        QCOMPARE(back.autosaveNamePattern, original.autosaveNamePattern);
        QCOMPARE(back.enableAutosave, true);
        QCOMPARE(back.initScanRunParam.voltageStep, 0.375); // exact, no text rounding

        QSettings store;
        QCOMPARE(store.value("ConfigParam/bUseExtTrigger").toBool(), true);
        QCOMPARE(store.value("ConfigParam/bUseExtTriggerRisingEdge").toBool(), false);
        QCOMPARE(store.value("ConfigParam/spatParam/comport").toString(), QString("/dev/ttyUSB3"));
        QCOMPARE(store.value("ConfigParam/dataScanRunParam/voltageEnd").toDouble(), 84.5);
        QVERIFY(!store.allKeys().join(',').contains("useDoubleProbe"));
        QVERIFY(!store.allKeys().join(',').contains("linearDrive"));
    }
};

QTEST_GUILESS_MAIN(TestConfigParam)
#include "test_config_param.moc"
