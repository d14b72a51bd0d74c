#include "CommandLine.h"

#include "BuildInfo.h"
#include "session/RegularFile.h"
#include "session/SessionFile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>
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

std::optional<QString> undecodableArgument(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QFile::encodeName(QFile::decodeName(bytes)) == bytes)
            continue;
        QString shown;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            shown += byte >= 0x20 && byte < 0x7F ? QString(QLatin1Char(c))
                                                  : QStringLiteral("\\x") + QString::fromLatin1(QByteArray(1, c).toHex().toUpper());
        }
        return shown;
    }
    return std::nullopt;
}

QString closeStandardOutput()
{
    out().flush();
    // The stream's file holds the first error; stdio the rest (errno tells
    // what a short write met).
    const auto* file = qobject_cast<const QFileDevice*>(out().device());
    QString reason = file && file->error() != QFileDevice::NoError ? file->errorString() : QString();
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout) && out().status() == QTextStream::Ok;
    const int flushErrno = errno;
    const bool closed = std::fclose(stdout) == 0;
    const int closeErrno = errno;
    if (reason.isEmpty() && !flushed)
        reason = qt_error_string(flushErrno ? flushErrno : EIO);
    if (reason.isEmpty() && !closed)
        reason = qt_error_string(closeErrno);
    return reason;
}

QStringList operands(const QCommandLineParser& parser)
{
    return parser.positionalArguments().mid(1);
}

bool canWrite(const QString& path, QString& error)
{
    QSaveFile probe(path);
    QString reason;
    if (!openSaveFile(probe, QIODevice::WriteOnly, reason)) {
        error = QStringLiteral("cannot write \"%1\": %2").arg(path, reason);
        return false;
    }
    probe.cancelWriting();
    return true;
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
