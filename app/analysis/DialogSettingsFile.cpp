#include "analysis/DialogSettingsFile.h"

#include "session/RegularFile.h"
#include "session/XmlMaps.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const char* const kRootElement = "settings";
const char* const kClassAttribute = "class";

QString writeError(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot write settings file [%1]\nError code: %2\n").arg(path, reason);
}

} // namespace

QString writeDialogSettingsFile(const QString& path, const QString& className, const DialogEntries& entries)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        const QString folder = path.left(slash);
        if (!QDir().mkpath(folder))
            return QStringLiteral("Cannot create directory name [%1]\n").arg(folder);
    }

    QSaveFile file(path);
    QString reason;
    if (!openSaveFile(file, QIODevice::WriteOnly | QIODevice::Text, reason))
        return writeError(path, reason);
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QLatin1String(kRootElement));
    if (!className.isEmpty())
        xml.writeAttribute(QLatin1String(kClassAttribute), className);
    for (const auto& entry : entries)
        xml.writeTextElement(entry.first, entry.second);
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return writeError(path, file.errorString());
    return QString();
}

QString readDialogSettingsFile(const QString& path, const QString& className, QMap<QString, QString>& entries)
{
    entries.clear();
    QFile file(path);
    if (!file.exists())
        return QString();
    QString reason;
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Text, reason))
        return QStringLiteral("Cannot read settings file [%1]\nError code: %2\n").arg(path, reason);

    QXmlStreamReader xml(&file);
    if (xml.readNextStartElement() && xml.name() == QLatin1String(kRootElement)
        && (className.isEmpty() || xml.attributes().value(QLatin1String(kClassAttribute)) == className)) {
        entries = readTextMap(xml);
    }
    // Half a file is no better than none: keep the defaults.
    if (xml.hasError())
        entries.clear();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("Cannot close settings file [%1]\nError code: %2\n").arg(path, file.errorString());
    return QString();
}
