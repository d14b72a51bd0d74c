#include "CommandLine.h"

#include "BuildInfo.h"
#include "session/RegularFile.h"
#include "session/SessionFile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace cli {

namespace {

QTextStream& utf8Stream(FILE* file)
{
    // One stream per file for the whole run; never destroyed, so that output
    // written during shutdown still has somewhere to go.
    auto* stream = new QTextStream(file);
    stream->setCodec("UTF-8");
    return *stream;
}

QString programAndCommand(const QString& command)
{
    return command.isEmpty() ? QStringLiteral("orvel-cli") : QStringLiteral("orvel-cli ") + command;
}

} // namespace

QTextStream& out()
{
    static QTextStream& stream = utf8Stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream& stream = utf8Stream(stderr);
    return stream;
}

void warn(const QString& message)
{
    err() << "orvel-cli: " << message << '\n';
    err().flush();
}

int fail(const QString& message)
{
    warn(message);
    return Failure;
}

int usageError(const QString& command, const QString& message)
{
    err() << programAndCommand(command) << ": " << message << '\n'
          << "Try '" << programAndCommand(command) << " --help' for more information.\n";
    err().flush();
    return UsageError;
}

std::optional<int> parseArguments(QCommandLineParser& parser, const QStringList& arguments, const QString& command)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments))
        return usageError(command, parser.errorText());
    if (parser.isSet(help)) {
        // The toolkit names the program by the path it was started with.
        QString text = parser.helpText();
        text.replace(QStringLiteral("Usage: ") + arguments.first(), QStringLiteral("Usage: orvel-cli"));
        out() << text;
        out().flush();
        return Success;
    }
    if (parser.isSet(version)) {
        out() << "orvel-cli " << BuildInfo::versionNumber() << '\n';
        out().flush();
        return Success;
    }
    return std::nullopt;
}

QStringList operands(const QCommandLineParser& parser)
{
    return parser.positionalArguments().mid(1);
}

bool loadSession(const QString& path, measuredData& data, ConfigParam& config, LangmuirSettings& settings,
                 QString& error)
{
    QFile file(path);
    QString reason;
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Text, reason)) {
        error = QStringLiteral("cannot open \"%1\": %2").arg(path, reason);
        return false;
    }
    QStringList warnings;
    if (!readSession(file, data, config, settings, &reason, &warnings)) {
        error = QStringLiteral("\"%1\" is not a readable session file: %2").arg(path, reason);
        return false;
    }
    for (const QString& warning : warnings)
        warn(QStringLiteral("\"%1\": %2").arg(path, warning));
    return true;
}

} // namespace cli
