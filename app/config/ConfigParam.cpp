#include "config/ConfigParam.h"

#include "session/XmlMaps.h"

#include <QSettings>
#include <QVariant>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <limits>
#include <type_traits>

const char* const kConfigParamElement = "settings";
const char* const kConfigParamClass = "configParam";

namespace {

const char* const kSettingsGroup = "ConfigParam";

// Which of the two stores keep a field.
enum Stores : unsigned {
    SettingsStore = 1,
    SessionMap = 2,
    BothStores = SettingsStore | SessionMap,
};

// Where one field lives. In the settings store it is `key` inside the
// sub-group `group` of "ConfigParam" (directly in "ConfigParam" when `group`
// is null); in the session map its key is the field name, prefixed by the
// group as "group_name".
struct FieldKey
{
    const char* group;
    const char* key;
    const char* name;
    unsigned stores;

    QString settingsPath() const
    {
        return group ? QStringLiteral("%1/%2").arg(QLatin1String(group), QLatin1String(key)) : QLatin1String(key);
    }
    QString mapKey() const
    {
        return group ? QStringLiteral("%1_%2").arg(QLatin1String(group), QLatin1String(name)) : QLatin1String(name);
    }
};

template <class T>
using Plain = std::remove_cv_t<std::remove_reference_t<T>>;

// Calls visit(FieldKey, field, loadDefault) for every stored field, in the
// order the settings store lists them. `loadDefault` is what loading gives when
// the store lacks the key; several differ from the constructor's defaults.
template <class Config, class Visitor>
void forEachField(Config& c, Visitor&& visit)
{
    auto field = [&](const char* group, const char* key, const char* name, auto& value, auto loadDefault,
                     unsigned stores) {
        visit(FieldKey{group, key, name, stores}, value, Plain<decltype(value)>(loadDefault));
    };
    auto top = [&](const char* name, auto& value, auto loadDefault, unsigned stores = BothStores) {
        field(nullptr, name, name, value, loadDefault, stores);
    };
    auto sub = [&](const char* group, const char* name, auto& value, auto loadDefault) {
        field(group, name, name, value, loadDefault, BothStores);
    };
    auto runParam = [&](const char* group, auto& p, quint32 traceAverageDefault, double voltageEndDefault) {
        sub(group, "firstStepDelay", p.firstStepDelay, 1000u);
        sub(group, "nextStepDelay", p.nextStepDelay, 100u);
        sub(group, "integrationTime", p.integrationTime, 100.0);
        sub(group, "avgPerStep", p.avgPerStep, 1u);
        sub(group, "traceAverage", p.traceAverage, traceAverageDefault);
        sub(group, "voltageStart", p.voltageStart, -50.0);
        sub(group, "voltageStep", p.voltageStep, 1.0);
        sub(group, "voltageEnd", p.voltageEnd, voltageEndDefault);
    };

    sub("syncParam", "bUseSyncScan", c.syncParam.bUseSyncScan, false);
    sub("syncParam", "start", c.syncParam.start, 0.0);
    sub("syncParam", "duration", c.syncParam.duration, 0.0);
    sub("syncParam", "resolution", c.syncParam.resolution, 10.0);
    sub("syncParam", "averaging", c.syncParam.averaging, true);
    sub("syncParam", "resolvedInteg", c.syncParam.resolvedInteg, 100.0);
    sub("spatParam", "bUseSpatScan", c.spatParam.bUseSpatScan, false);
    sub("spatParam", "start", c.spatParam.start, 0.0);
    sub("spatParam", "step", c.spatParam.step, 5.0);
    sub("spatParam", "end", c.spatParam.end, 10.0);
    // The port is saved and loaded at this one path, so it survives a restart.
    field("spatParam", "comport", "comport", c.comport, QString(), SettingsStore);
    top("useDoubleProbe", c.useDoubleProbe, false, SessionMap);
    top("useSmartScan", c.useSmartScan, true);
    top("useAutoCMRange", c.useAutoCMRange, true);
    top("userChosenCMRange", c.userChosenCMRange, 0u);
    top("voltageIdle", c.voltageIdle, -100.0);
    field(nullptr, "bUseExtTrigger", "useExtTrigger", c.useExtTrigger, false, BothStores);
    field(nullptr, "bUseExtTriggerRisingEdge", "useExtTriggerRisingEdge", c.useExtTriggerRisingEdge, true,
          BothStores);
    top("extTriggerDelay", c.extTriggerDelay, 0.0);
    top("ionCurrentDisable", c.ionCurrentDisable, false);
    top("initScanDisable", c.initScanDisable, false);
    top("dcCScanDisable", c.dcCScanDisable, false);
    top("autosaveNamePattern", c.autosaveNamePattern, QString(), SettingsStore);
    top("enableAutosave", c.enableAutosave, false, SettingsStore);
    sub("cleanProbeParam", "autoClean", c.cleanProbeParam.autoClean, false);
    sub("cleanProbeParam", "voltage", c.cleanProbeParam.voltage, 150.0);
    sub("cleanProbeParam", "power", c.cleanProbeParam.power, 1.0);
    sub("cleanProbeParam", "duration", c.cleanProbeParam.duration, 5);
    sub("cleanProbeParam", "period", c.cleanProbeParam.period, 600);
    sub("cleanProbeParam", "relaxTime", c.cleanProbeParam.relaxTime, 20);
    top("offsetCurrent", c.offsetCurrent, 0.0);
    top("autoCRMargin", c.autoCRMargin, 0.95);
    runParam("ionCurrentScanRunParam", c.ionCurrentScanRunParam, 10u, -50.0);
    top("ionCurrentUseBestCurrentRange", c.ionCurrentUseBestCurrentRange, true);
    top("ionCurrentScalingFactor", c.ionCurrentScalingFactor, 100.0);
    runParam("initScanRunParam", c.initScanRunParam, 1u, 50.0);
    top("initScanLargeVoltageStep", c.initScanLargeVoltageStep, 5.0);
    top("initScanSmallVoltageStep", c.initScanSmallVoltageStep, 0.2);
    top("initScanDerivativePoints", c.initScanDerivativePoints, 3u);
    top("initScanDerivativeDrop", c.initScanDerivativeDrop, 80.0);
    top("initScanIonCurrentDrop", c.initScanIonCurrentDrop, 80.0);
    top("initScanMaxVoltage", c.initScanMaxVoltage, 150.0);
    top("initScanOptimiseForEEDF", c.initScanOptimiseForEEDF, true);
    runParam("dcCScanRunParam", c.dcCScanRunParam, 1u, 50.0);
    top("dcCScanSteps", c.dcCScanSteps, 10u);
    top("dcCScanSweeps", c.dcCScanSweeps, 5u);
    runParam("dataScanRunParam", c.dataScanRunParam, 10u, 50.0);
    top("dataScanThrowScans", c.dataScanThrowScans, 0u);
    top("dataScanRunScans", c.dataScanRunScans, 10u);
}

// Texts of the session map: booleans "1"/"0", integers in decimal, doubles in
// 'g' form with six significant digits (what the session file has always held).
QString mapText(bool value) { return QLatin1String(value ? "1" : "0"); }
QString mapText(quint32 value) { return QString::number(value); }
QString mapText(qint32 value) { return QString::number(value); }
QString mapText(double value) { return QString::number(value, 'g', 6); }
QString mapText(const QString& value) { return value; }

// Readers of the session map: anything that does not parse gives 0 / false.
void fromMapText(const QString& text, bool& value)
{
    bool ok = false;
    value = text.toInt(&ok) == 1 && ok;
}

void fromMapText(const QString& text, quint32& value)
{
    value = text.toUInt();
}

void fromMapText(const QString& text, double& value)
{
    value = text.toDouble();
}

// Signed fields may arrive as decimals: round to the nearest integer, ties to
// even. Values beyond the integer range are clamped rather than converted with
// undefined behaviour; a non-number gives 0.
void fromMapText(const QString& text, qint32& value)
{
    const double rounded = std::nearbyint(text.toDouble());
    if (std::isnan(rounded))
        value = 0;
    else if (rounded <= double(std::numeric_limits<qint32>::min()))
        value = std::numeric_limits<qint32>::min();
    else if (rounded >= double(std::numeric_limits<qint32>::max()))
        value = std::numeric_limits<qint32>::max();
    else
        value = qint32(rounded);
}

void fromMapText(const QString& text, QString& value)
{
    value = text;
}

} // namespace

namespace {

QVariantList storedValues(const ConfigParam& config)
{
    QVariantList values;
    forEachField(config, [&](const FieldKey& key, const auto& value, auto) {
        if (key.stores & SettingsStore)
            values.append(QVariant::fromValue(value));
    });
    return values;
}

} // namespace

bool ConfigParam::sameStoredSettings(const ConfigParam& other) const
{
    return storedValues(*this) == storedValues(other);
}

void ConfigParam::saveSettings() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kSettingsGroup));
    forEachField(*this, [&](const FieldKey& key, const auto& value, auto) {
        if (key.stores & SettingsStore)
            settings.setValue(key.settingsPath(), QVariant::fromValue(value));
    });
    settings.endGroup();
}

void ConfigParam::loadSettings()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kSettingsGroup));
    forEachField(*this, [&](const FieldKey& key, auto& value, auto loadDefault) {
        if (key.stores & SettingsStore)
            value = settings.value(key.settingsPath(), QVariant::fromValue(loadDefault)).template value<decltype(loadDefault)>();
    });
    settings.endGroup();
}

void ConfigParam::toStringMap(QMap<QString, QString>& map) const
{
    forEachField(*this, [&](const FieldKey& key, const auto& value, auto) {
        if (key.stores & SessionMap)
            map.insert(key.mapKey(), mapText(value));
    });
}

void ConfigParam::fromStringMap(const QMap<QString, QString>& map)
{
    forEachField(*this, [&](const FieldKey& key, auto& value, auto) {
        if (key.stores & SessionMap)
            fromMapText(map.value(key.mapKey()), value);
    });
}

void writeConfigParamElement(QXmlStreamWriter& xml, const ConfigParam& config)
{
    TextMap map;
    config.toStringMap(map);
    writeTextMap(xml, QLatin1String(kConfigParamElement), map,
                 TextMap{{QStringLiteral("class"), QLatin1String(kConfigParamClass)}});
}

bool isConfigParamElement(const QXmlStreamReader& xml)
{
    return xml.isStartElement() && xml.name() == QLatin1String(kConfigParamElement)
        && xml.attributes().value(QLatin1String("class")) == QLatin1String(kConfigParamClass);
}

QMap<QString, QString> readConfigParamElement(QXmlStreamReader& xml, ConfigParam& config)
{
    const TextMap map = readTextMap(xml);
    config.fromStringMap(map);
    return map;
}
