// orvel-cli: the command-line companion of the Orvel window. It lists the
// sensors, runs a scan and saves it as a session file, analyses a session file
// and exports it, all on the window's own code.

#include "BuildInfo.h"
#include "CommandLine.h"
#include "Commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

const char* const description =
    "Acquisition, analysis and export of Langmuir-probe sessions without the window.\n"
    "\n"
    "Commands:\n"
    "  sensors                       list the devices with their serial and availability\n"
    "  acquire [options] -o FILE     run one scan on the first available sensor and save the session\n"
    "  analyse FILE [--csv]          print the plasma parameters of a session file\n"
    "  export FILE -o OUT [options]  export a session file to delimited text\n"
    "  recover --list | NAME -o FILE list the recovery journals, or save one as a session file\n"
    "\n"
    "'orvel-cli <command> --help' describes a command's options.\n"
    "Exit codes: 0 success, 1 failure (sensor, scan or file), 2 bad arguments.";

// The analysis writes about a hundred debug lines per curve and the scan
// worker one per poll; neither belongs on a terminal or in a script's output.
// QT_LOGGING_RULES brings them back.
void quietDiagnostics()
{
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\norvel.*.debug=false"));
}

int dispatch(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("sensors, acquire, analyse, export or recover"),
                                 QStringLiteral("<command>"));
    // Everything after the command is the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (const auto exit = cli::parseArguments(parser, arguments, QString()))
        return *exit;

    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return cli::usageError(QString(), QStringLiteral("no command given"));
    const QString command = rest.first();
    const QStringList commandLine = QStringList{arguments.first()} + rest;
    if (command == QLatin1String("sensors"))
        return cli::runSensors(commandLine);
    if (command == QLatin1String("acquire"))
        return cli::runAcquire(commandLine);
    if (command == QLatin1String("analyse"))
        return cli::runAnalyse(commandLine);
    if (command == QLatin1String("export"))
        return cli::runExport(commandLine);
    if (command == QLatin1String("recover"))
        return cli::runRecover(commandLine);
    return cli::usageError(QString(), QStringLiteral("unknown command \"%1\"").arg(command));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The same settings store as the window, and the same export header.
    BuildInfo::registerApplication();
    quietDiagnostics();
    int exitCode = cli::UsageError;
    if (const auto undecodable = cli::undecodableArgument(argc, argv))
        cli::usageError(QString(), QStringLiteral("the argument \"%1\" is not valid text in the system's encoding: "
                                                  "a file of that name would be written under another name")
                                       .arg(*undecodable));
    else
        exitCode = dispatch(app.arguments());
    // Results that did not reach standard output are a failure, not a success.
    const QString lost = cli::closeStandardOutput();
    if (!lost.isEmpty()) {
        cli::warn(QStringLiteral("standard output could not be written: %1").arg(lost));
        if (exitCode == cli::Success)
            exitCode = cli::Failure;
    }
    cli::err().flush();
    return exitCode;
}
