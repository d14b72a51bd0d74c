#include "analysis/ProcessSettingsFields.h"

#include "analysis/LangmuirSettings.h"

#include <QLocale>

namespace {

struct Field
{
    const char* objectName;
    const char* setting;
    double LangmuirSettings::*member;
};

// The pressure comes last: its text is read in the unit shown.
const Field kFields[] = {
    {"ionMassEdit", "ionmass", &LangmuirSettings::ionmass},
    {"rpEdit", "probe_radius", &LangmuirSettings::probe_radius},
    {"lpEdit", "probe_length", &LangmuirSettings::probe_length},
    {"tgEdit", "gas_temperature", &LangmuirSettings::gas_temperature},
    {"sigmaNEdit", "sigmaN", &LangmuirSettings::sigmaN},
    {"resEdit", "probe_resistance", &LangmuirSettings::probe_resistance},
    {"pressureEdit", "pressure", &LangmuirSettings::pressure},
};

const QString kPressureField = QStringLiteral("pressureEdit");
const QString kResistanceField = QStringLiteral("resEdit");
const NumberRange kPressureFieldRange{0, 1e9};

} // namespace

const NumberRange* fieldRange(const QString& objectName)
{
    if (objectName == kPressureField)
        return &kPressureFieldRange;
    for (const Field& field : kFields)
        if (objectName == QLatin1String(field.objectName))
            return &LangmuirSettings::range(field.setting)->range;
    return nullptr;
}

bool acceptsFieldText(const QString& objectName, const QString& text, double* value)
{
    const NumberRange* range = fieldRange(objectName);
    bool isNumber = false;
    const double number = QLocale::c().toDouble(text, &isNumber);
    if (!range || !isNumber || !range->contains(number))
        return false;
    if (value)
        *value = number;
    return true;
}

void applyFieldTexts(const QMap<QString, QString>& texts, int pressureUnit, LangmuirSettings& record)
{
    for (const Field& field : kFields) {
        const QString name = QLatin1String(field.objectName);
        double number = 0;
        if (name == kResistanceField || !texts.contains(name) || !acceptsFieldText(name, texts.value(name), &number))
            continue;
        if (name == kPressureField)
            number *= pressureUnitAt(pressureUnit).toTorr;
        record.*field.member = number;
    }
}
