#include "session/ExportSettings.h"

#include "analysis/DialogSettingsFile.h"

#include <QMap>

const QString ExportSettings::defaultFilePath = QStringLiteral(".settings/ExportSettings.xml");

namespace {

const QString kSeparator = QStringLiteral("ExportSeparator");
const QString kHeader = QStringLiteral("ExportHeader");
const QString kResults = QStringLiteral("ExportResults");
const QString kIvInterpolate = QStringLiteral("ExportVIInterpolate");
const QString kWaveFormData = QStringLiteral("ExportWaveFormData");
const QString k200 = QStringLiteral("Export200");
const QString k400 = QStringLiteral("Export400");
const QString kDoubleProbeCorrected = QStringLiteral("ExportDoubleProbeCorrected");

// The boolean options with their keys, for reading and writing alike.
template <typename Settings, typename Visit>
void visitFlags(Settings& s, Visit visit)
{
    visit(kHeader, s.header);
    visit(kResults, s.results);
    visit(kIvInterpolate, s.ivInterpolate);
    visit(kWaveFormData, s.waveFormData);
    visit(k200, s.band200);
    visit(k400, s.band400);
    visit(kDoubleProbeCorrected, s.doubleProbeCorrected);
}

// Only a text that reads as the integer 1 means true ("2" does not).
bool flagFromText(const QString& text)
{
    bool isNumber = false;
    return text.toInt(&isNumber) == 1 && isNumber;
}

} // namespace

void ExportSettings::load(const QString& path)
{
    QMap<QString, QString> entries;
    readDialogSettingsFile(path, QString(), entries); // failures leave `entries` empty: keep what we have
    if (entries.contains(kSeparator) && separatorProblem(entries.value(kSeparator)).isEmpty())
        separator = entries.value(kSeparator);
    visitFlags(*this, [&entries](const QString& key, bool& flag) {
        if (entries.contains(key))
            flag = flagFromText(entries.value(key));
    });
}

QString ExportSettings::separatorProblem(const QString& separator)
{
    if (separator.isEmpty())
        return QStringLiteral("the separator must not be empty");
    if (separator.size() > maxSeparatorLength)
        return QStringLiteral("the separator may have at most %1 characters").arg(maxSeparatorLength);
    if (separator.contains(QLatin1Char('\n')) || separator.contains(QLatin1Char('\r')))
        return QStringLiteral("the separator must not hold a line break");
    return QString();
}

QString ExportSettings::store(const QString& path) const
{
    // A map iterates its keys in ascending order, the order of the file.
    QMap<QString, QString> values;
    values.insert(kSeparator, separator);
    visitFlags(*this, [&values](const QString& key, bool flag) {
        values.insert(key, flag ? QStringLiteral("1") : QStringLiteral("0"));
    });
    DialogEntries entries;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        entries.append({it.key(), it.value()});
    return writeDialogSettingsFile(path, QString(), entries);
}
