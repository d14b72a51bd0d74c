#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>

class LinearDrive;
class QXmlStreamReader;
class QXmlStreamWriter;

// Run parameters of one kind of scan (the three prescans and the data scans).
struct ScanRunParam
{
    quint32 firstStepDelay = 1000;
    quint32 nextStepDelay = 100;
    // Sampling time over which all ADC readings are averaged into one IV sample.
    double integrationTime = 100;
    // IV samples taken and averaged per voltage step.
    quint32 avgPerStep = 1;
    quint32 traceAverage = 1;
    double voltageStart = -50;
    double voltageStep = 1;
    double voltageEnd = 50;
};

// Everything the operator sets up for a measurement. A plain value record,
// copied between the program-wide default, each configuration panel, each scan
// start and each session; the only thing it does not own is `linearDrive`.
class ConfigParam
{
public:
    // Time-resolved acquisition against an external SYNC period (times in µs).
    struct SyncParam
    {
        bool bUseSyncScan = false;
        double start = 0;
        // 0 means up to the end of the SYNC period.
        double duration = 0;
        double resolution = 10;
        bool averaging = true;
        // Frequency of the external SYNC period (Hz).
        double resolvedInteg = 0;
    };

    // Spatially resolved acquisition on the linear drive (positions in mm).
    struct SpatParam
    {
        bool bUseSpatScan = false;
        double start = 0;
        double step = 5;
        double end = 10;
    };

    struct CleanProbeParam
    {
        bool autoClean = false;
        double voltage = 150;
        double power = 1;
        qint32 duration = 5;
        qint32 period = 600;
        qint32 relaxTime = 20;
    };

    ConfigParam() = default;
    virtual ~ConfigParam() = default;
    ConfigParam(const ConfigParam&) = default;
    ConfigParam& operator=(const ConfigParam&) = default;

    // The settings store of the application (group "ConfigParam"); the
    // organisation and application names must have been set beforehand.
    virtual void saveSettings() const;
    virtual void loadSettings();
    // Whether saveSettings() would store the same values for both records.
    bool sameStoredSettings(const ConfigParam& other) const;

    // The 74 entries of the session file's configuration block. Doubles keep
    // six significant digits; a missing or unreadable entry reads as 0 / false.
    void toStringMap(QMap<QString, QString>& map) const;
    void fromStringMap(const QMap<QString, QString>& map);

    SyncParam syncParam;
    SpatParam spatParam;
    bool useDoubleProbe = false;
    // Optimise the scan voltages from the prescans.
    bool useSmartScan = true;
    bool useAutoCMRange = true;
    quint32 userChosenCMRange = 0;
    double voltageIdle = -100;
    CleanProbeParam cleanProbeParam;
    double offsetCurrent = 0;
    double autoCRMargin = 0.95;
    QString autosaveNamePattern;
    bool enableAutosave = false;
    bool useExtTrigger = false;
    bool useExtTriggerRisingEdge = true;
    double extTriggerDelay = 0;
    bool ionCurrentDisable = false;
    bool initScanDisable = false;
    bool dcCScanDisable = false;
    ScanRunParam ionCurrentScanRunParam;
    bool ionCurrentUseBestCurrentRange = true;
    double ionCurrentScalingFactor = 100;
    // Its voltageStart is the ion-current voltage at which the scan starts.
    ScanRunParam initScanRunParam;
    double initScanLargeVoltageStep = 5;
    double initScanSmallVoltageStep = 0.2;
    quint32 initScanDerivativePoints = 3;
    double initScanDerivativeDrop = 80;
    double initScanIonCurrentDrop = 80;
    double initScanMaxVoltage = 100;
    bool initScanOptimiseForEEDF = true;
    ScanRunParam dcCScanRunParam;
    quint32 dcCScanSteps = 10;
    quint32 dcCScanSweeps = 5;
    ScanRunParam dataScanRunParam;
    quint32 dataScanThrowScans = 0;
    quint32 dataScanRunScans = 10;
    // Serial port of the linear drive.
    QString comport;
    // Borrowed from the configuration panel that opened it; null when none.
    LinearDrive* linearDrive = nullptr;
};

// The configuration block of the session file: element "settings" with
// class "configParam" holding one text element per map entry.
extern const char* const kConfigParamElement;
extern const char* const kConfigParamClass;

void writeConfigParamElement(QXmlStreamWriter& xml, const ConfigParam& config);

// True when the reader stands on the start of a configuration block.
bool isConfigParamElement(const QXmlStreamReader& xml);

// Reads the children of the element the reader stands on into `config` and
// leaves the reader on the element's end. Returns the entries read, so the
// caller can look at entries the record itself does not keep apart.
QMap<QString, QString> readConfigParamElement(QXmlStreamReader& xml, ConfigParam& config);
