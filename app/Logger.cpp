#include "Logger.h"

#include "BuildInfo.h"
#include "session/RegularFile.h"

#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QTextStream>

const QString Logger::baseName = QStringLiteral("orvel");

Logger* Logger::instance(QObject* owner)
{
    static QPointer<Logger> theLogger;
    if (!theLogger)
        theLogger = new Logger(QDir::currentPath(), QDateTime::currentDateTime(), owner);
    return theLogger;
}

Logger::Logger(const QString& directory, const QDateTime& startTime, QObject* parent)
    : QObject(parent)
{
    if (!enabled)
        return;
    const QDir dir(directory);
    const QFileInfoList files = logFiles(dir);
    QTextStream(stdout) << listing(files);
    m_filePath = dir.absoluteFilePath(chooseFileName(files, startTime));
    append(banner(startTime));
}

void Logger::append(const QString& text) const
{
    if (!enabled)
        return;
    QFile file(m_filePath);
    QString problem;
    // A FIFO planted under the log's name must not stop the program.
    if (!openRegularFile(file, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text, problem))
        return;
    QByteArray bytes = text.toLocal8Bit();
    if (!text.endsWith(QLatin1Char('\n')))
        bytes += '\n';
    file.write(bytes);
}

QFileInfoList Logger::logFiles(const QDir& directory)
{
    // The timestamp in the name makes the name order the age order.
    return directory.entryInfoList({baseName + QStringLiteral("_*.log")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                                   QDir::Name | QDir::Reversed);
}

QString Logger::listing(const QFileInfoList& files)
{
    QString text = QStringLiteral("entryInfoList() contains %1 items.\n     Bytes Filename\n").arg(files.size());
    for (const QFileInfo& file : files)
        text += QStringLiteral("%1 %2\n").arg(file.size(), 10).arg(file.fileName());
    return text;
}

QString Logger::chooseFileName(const QFileInfoList& newestFirst, const QDateTime& now)
{
    if (newestFirst.isEmpty() || newestFirst.first().size() > sizeLimit)
        return newFileName(now);
    return newestFirst.first().fileName();
}

QString Logger::newFileName(const QDateTime& now)
{
    return baseName + QLatin1Char('_') + now.toString(QStringLiteral("yyyyMMddhhmmss")) + QStringLiteral(".log");
}

QString Logger::banner(const QDateTime& now)
{
    // English month names whatever the desktop's language, so logs read alike everywhere.
    const QString created = QLocale::c().toString(now, QStringLiteral("MMM dd yyyy hh:mm:ss"));
    return QStringLiteral("\n\n************************ Logged by Orvel Logger ************************\n")
        + QStringLiteral("\tSoftware Version: ") + BuildInfo::versionText() + QLatin1Char('\n')
        + QStringLiteral("\tSoftware Description: ") + BuildInfo::description() + QLatin1Char('\n')
        + QStringLiteral("\tLog Creation Date: %1\n").arg(created) + QString(71, QLatin1Char('*')) + QLatin1Char('\n');
}
