#include "analysis/LangmuirSettings.h"

#include "analysis/NumberText.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <type_traits>

const PressureUnit pressureUnits[3] = {
    {"[Torr]", 1.0, 1.0},
    {"[Bar]", 750.06, 0.0013332},
    {"[Pascal]", 0.0075006, 133.322},
};

const PressureUnit& pressureUnitAt(int index)
{
    return pressureUnits[index >= 0 && index < int(std::size(pressureUnits)) ? index : 0];
}

namespace {

const QChar kListSeparator(QLatin1Char(';'));

// The ranges of the dialog's fields (its validators), and for the three
// numbers a scan start copies from the configuration, the ranges of the panel's
// controls: "Derivative Calculation Points" 1 to 10, "Ion Current Drop" 0 to
// 10000 % (VsatFactor is a hundredth of it). The dialog takes a pressure of up
// to 1e9 in any unit; the most in Torr is 1e9 bar.
const SettingRange kRanges[] = {
    {"ionmass", "Ion Mass", "amu", {1, 10000}},
    {"probe_radius", "Probe radius", "m", {1e-06, 0.01}},
    {"probe_holder", "Holder radius", "m", {}},
    {"probe_length", "Probe length", "m", {1e-06, 0.1}},
    {"probe_resistance", "Probe resistance", "Ohm", {0, 100}},
    {"gas_temperature", "Gas temperature", "K", {0, 100000}},
    {"pressure", "Gas pressure", "Torr", {0, 1e9 * 750.06}},
    {"sigmaN", "Ion-Neutral cross-section", "m^2", {0, 1e9}},
    {"sigmaEn", "Electron-Neutral cross-section", "m^2", {}},
    {"setVp", "User Vp", "V", {}},
    {"nDerivativePoints", "Derivative Calculation Points", "", {1, 10}},
    {"VsatFactor", "VsatFactor (Ion Current Drop / 100)", "", {0, 100}},
    {"electronReflectVoltage", "electronReflectVoltage", "V", {}},
    {"offsetCurrent", "Current offset", "", {}},
    {"UserVpValuesList", "User Vp of a frame", "V", {}},
};

// Calls visit(name, member) for every field of the session block, in the
// order of the block.
template <class Visitor>
void forEachField(Visitor&& visit)
{
    using S = LangmuirSettings;
    visit("ionmass", &S::ionmass);
    visit("probe_radius", &S::probe_radius);
    visit("probe_holder", &S::probe_holder);
    visit("probe_length", &S::probe_length);
    visit("probe_resistance", &S::probe_resistance);
    visit("gas_temperature", &S::gas_temperature);
    visit("pressure", &S::pressure);
    visit("sigmaN", &S::sigmaN);
    visit("sigmaEn", &S::sigmaEn);
    visit("correctDC", &S::correctDC);
    visit("setVp", &S::setVp);
    visit("bUseUserVp", &S::bUseUserVp);
    visit("bUse2ndDerivativeZeroVp", &S::bUse2ndDerivativeZeroVp);
    visit("nDerivativePoints", &S::nDerivativePoints);
    visit("VsatFactor", &S::VsatFactor);
    visit("electronReflectVoltage", &S::electronReflectVoltage);
    visit("offsetCurrent", &S::offsetCurrent);
    visit("UserVpValuesList", &S::UserVpValuesList);
    visit("bUseUserVpForFrame", &S::bUseUserVpForFrame);
}

QString blockText(double value) { return shortestNumberText(value); }
QString blockText(bool value) { return QLatin1String(value ? "1" : "0"); }
QString blockText(int value) { return QString::number(value); }

template <class T>
QString blockText(const QVector<T>& list)
{
    QString text;
    for (const T& value : list)
        text += blockText(value) + kListSeparator;
    return text;
}

void fromBlockText(const QString& text, double& value) { value = parseNumberText(text); }
void fromBlockText(const QString& text, bool& value) { value = text.toInt() != 0; }
void fromBlockText(const QString& text, int& value) { value = text.toInt(); }

// Part by part: a list of a hundred million entries must not first become a
// hundred million pieces of text.
template <class T>
void fromBlockText(const QString& text, QVector<T>& list)
{
    list.clear();
    for (int start = 0; start < text.size();) {
        int end = text.indexOf(kListSeparator, start);
        if (end < 0)
            end = text.size();
        if (end > start) {
            T value;
            fromBlockText(text.mid(start, end - start), value);
            list.append(value);
        }
        start = end + 1;
    }
}

// The first value outside the rule's range: the number itself, or the first
// such entry of a list.
std::optional<double> firstOutside(const SettingRange& rule, double value)
{
    return rule.range.contains(value) ? std::nullopt : std::optional<double>(value);
}

std::optional<double> firstOutside(const SettingRange& rule, const QVector<double>& list)
{
    for (double value : list)
        if (!rule.range.contains(value))
            return value;
    return std::nullopt;
}

// A number outside its range takes its default; a list entry outside it what
// an unset frame holds.
void putInRange(const SettingRange&, double& value, double fallback) { value = fallback; }
void putInRange(const SettingRange&, int& value, int fallback) { value = fallback; }
void putInRange(const SettingRange& rule, QVector<double>& list, const QVector<double>&)
{
    for (double& value : list)
        if (!rule.range.contains(value))
            value = 0;
}

// What the session reader says when it replaces a value.
QString replacementText(const char* name, const SettingRange& rule, const QString& text, double fallback)
{
    return QStringLiteral("analysis setting \"%1\" (%2) = \"%3\" is %4; the default %5 is used instead")
        .arg(QLatin1String(name), QLatin1String(rule.label), text.left(40),
             rule.range.isBounded() ? QStringLiteral("outside %1").arg(rule.range.text())
                                    : QStringLiteral("not a finite number"),
             numberText(fallback));
}

QString replacementText(const char* name, const SettingRange& rule, const QString& text, const QVector<double>&)
{
    return QStringLiteral("analysis setting \"%1\" (%2) = \"%3\" holds entries that are not finite numbers; they "
                          "read as 0, as for a frame without a value")
        .arg(QLatin1String(name), QLatin1String(rule.label), text.left(40));
}

template <class T>
using Plain = std::remove_cv_t<std::remove_reference_t<T>>;

template <class T>
constexpr bool isNumber = !std::is_same_v<T, bool> && !std::is_same_v<T, QVector<bool>>;

// Grows the list to hold `index`; new entries are value-initialised (false, 0).
template <class T>
void setAt(QVector<T>& list, int index, T value)
{
    if (index < 0)
        return;
    if (index >= list.size())
        list.resize(index + 1);
    list[index] = value;
}

} // namespace

QString SettingRange::describe(double value) const
{
    const QString unitText = *unit ? QStringLiteral(" %1").arg(QLatin1String(unit)) : QString();
    if (!range.isBounded())
        return QStringLiteral("%1 %2%3 (must be a finite number)").arg(QLatin1String(label), numberText(value), unitText);
    return QStringLiteral("%1 %2%3 (allowed: %4%3)").arg(QLatin1String(label), numberText(value), unitText, range.text());
}

const SettingRange* LangmuirSettings::range(const char* name)
{
    for (const SettingRange& rule : kRanges)
        if (qstrcmp(rule.name, name) == 0)
            return &rule;
    return nullptr;
}

void LangmuirSettings::setUseUserVpForFrame(int frame, bool use)
{
    setAt(bUseUserVpForFrame, frame, use);
}

void LangmuirSettings::setUserVpForFrame(int frame, double value)
{
    setAt(UserVpValuesList, frame, value);
}

bool LangmuirSettings::useUserVpForFrame(int frame) const
{
    return frame >= 0 && frame < bUseUserVpForFrame.size() && bUseUserVpForFrame.at(frame);
}

double LangmuirSettings::userVpForFrame(int frame) const
{
    if (frame < 0 || frame >= UserVpValuesList.size())
        return std::numeric_limits<double>::quiet_NaN();
    return UserVpValuesList.at(frame);
}

void LangmuirSettings::toStringMap(QMap<QString, QString>& map) const
{
    forEachField([&](const char* name, auto member) { map.insert(QLatin1String(name), blockText(this->*member)); });
}

void LangmuirSettings::fromStringMap(const QMap<QString, QString>& map, QStringList* replaced)
{
    const LangmuirSettings defaults;
    forEachField([&](const char* name, auto member) {
        const auto it = map.constFind(QLatin1String(name));
        if (it == map.constEnd())
            return;
        auto& value = this->*member;
        fromBlockText(it.value(), value);
        if constexpr (isNumber<Plain<decltype(value)>>) {
            const SettingRange& rule = *range(name);
            if (!firstOutside(rule, value))
                return;
            putInRange(rule, value, defaults.*member);
            if (replaced)
                replaced->append(replacementText(name, rule, it.value(), defaults.*member));
        }
    });
}

QString LangmuirSettings::outOfRange(std::initializer_list<const char*> only) const
{
    QString problem;
    forEachField([&](const char* name, auto member) {
        const bool asked = only.size() == 0
                           || std::any_of(only.begin(), only.end(), [name](const char* n) { return qstrcmp(n, name) == 0; });
        if constexpr (isNumber<Plain<decltype(this->*member)>>) {
            const SettingRange& rule = *range(name);
            const std::optional<double> outside = firstOutside(rule, this->*member);
            if (asked && problem.isEmpty() && outside)
                problem = rule.describe(*outside);
        }
    });
    return problem;
}
