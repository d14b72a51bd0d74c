#include "SensorTexts.h"

#include <QStringList>

QString sensorStatusText(int status)
{
    switch (status) {
    case 'I':
        return QStringLiteral("Idle");
    case 'B':
    case 'N':
        return QStringLiteral("Scanning");
    case 'L':
        return QStringLiteral("Linear Drive Moving");
    case 'D':
        return QStringLiteral("Orvel Sensor Disconnected");
    case 'E':
        return QStringLiteral("Error");
    default:
        return QString();
    }
}

namespace {

// The identity line is only worth splitting when it holds more than a word.
constexpr int shortestUsefulInfo = 9;

void appendWordLine(QString& text, const char* label, const QStringList& words, int index)
{
    if (index < words.size())
        text += QStringLiteral("%1:\t%2\n").arg(QLatin1String(label), words.at(index));
}

} // namespace

QString hardwareInformation(const QString& softwareVersion, const QString& buildDescription, const char* infoText)
{
    const QString dashes(32, QLatin1Char('-'));
    QString text = QStringLiteral("\n%1  ORVEL SYSTEM SOFTWARE  %1\n\n").arg(dashes);
    text += QStringLiteral("SOFTWARE VERSION:\t%1\n").arg(softwareVersion);
    if (!infoText) {
        text += QStringLiteral("METER SERIAL NO:\t\nFIRMWARE VERSION:\t\nPROBE SERIAL NO:\t\nFIRMWARE VERSION:\t\n");
        return text;
    }
    text += QStringLiteral("SOFTWARE DESCRIPTION:\t%1\n").arg(buildDescription);
    const QString info = QString::fromLatin1(infoText);
    if (info.size() < shortestUsefulInfo)
        return text;
    const QStringList words = info.split(QLatin1Char(' '));
    appendWordLine(text, "METER SERIAL NO", words, 0);
    appendWordLine(text, "FIRMWARE VERSION", words, 1);
    appendWordLine(text, "PROBE SERIAL NO", words, 8);
    appendWordLine(text, "FIRMWARE VERSION", words, 4);
    return text;
}
