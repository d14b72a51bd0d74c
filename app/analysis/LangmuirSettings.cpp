#include "analysis/LangmuirSettings.h"

#include "analysis/NumberText.h"

#include <limits>

namespace {

const QChar kListSeparator(QLatin1Char(';'));

// Calls visit(name, field) for every field of the session block, in the order
// of the block.
template <class Settings, class Visitor>
void forEachField(Settings& s, Visitor&& visit)
{
    visit("ionmass", s.ionmass);
    visit("probe_radius", s.probe_radius);
    visit("probe_holder", s.probe_holder);
    visit("probe_length", s.probe_length);
    visit("probe_resistance", s.probe_resistance);
    visit("gas_temperature", s.gas_temperature);
    visit("pressure", s.pressure);
    visit("sigmaN", s.sigmaN);
    visit("sigmaEn", s.sigmaEn);
    visit("correctDC", s.correctDC);
    visit("setVp", s.setVp);
    visit("bUseUserVp", s.bUseUserVp);
    visit("bUse2ndDerivativeZeroVp", s.bUse2ndDerivativeZeroVp);
    visit("nDerivativePoints", s.nDerivativePoints);
    visit("VsatFactor", s.VsatFactor);
    visit("electronReflectVoltage", s.electronReflectVoltage);
    visit("offsetCurrent", s.offsetCurrent);
    visit("UserVpValuesList", s.UserVpValuesList);
    visit("bUseUserVpForFrame", s.bUseUserVpForFrame);
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

template <class T>
void fromBlockText(const QString& text, QVector<T>& list)
{
    list.clear();
    const QStringList parts = text.split(kListSeparator, Qt::SkipEmptyParts);
    list.reserve(parts.size());
    for (const QString& part : parts) {
        T value;
        fromBlockText(part, value);
        list.append(value);
    }
}

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
    forEachField(*this, [&](const char* name, const auto& value) {
        map.insert(QLatin1String(name), blockText(value));
    });
}

void LangmuirSettings::fromStringMap(const QMap<QString, QString>& map)
{
    forEachField(*this, [&](const char* name, auto& value) {
        const auto it = map.constFind(QLatin1String(name));
        if (it != map.constEnd())
            fromBlockText(it.value(), value);
    });
}
