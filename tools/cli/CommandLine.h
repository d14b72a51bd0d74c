#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class ConfigParam;
class LangmuirSettings;
class QCommandLineParser;
class QTextStream;
class measuredData;

// What the commands of orvel-cli share: exit codes, the two output streams,
// the parsing conventions and reading a session file.
namespace cli {

enum ExitCode {
    Success = 0,
    Failure = 1,    // the sensor, a file or the scan failed
    UsageError = 2, // bad arguments
};

// Standard output and standard error, UTF-8.
QTextStream& out();
QTextStream& err();

// "orvel-cli: <message>" on standard error, at once.
void warn(const QString& message);
// The same, for a failure; returns Failure.
int fail(const QString& message);
// The message and a pointer to the command's help on standard error; returns UsageError.
int usageError(const QString& command, const QString& message);

// Adds --help and --version to `parser` and parses `arguments`. Returns the
// exit code when the command is already done with (help or version shown, or
// the arguments rejected), nothing when it should run.
std::optional<int> parseArguments(QCommandLineParser& parser, const QStringList& arguments, const QString& command);

// The positional arguments after the command's name.
QStringList operands(const QCommandLineParser& parser);

// The first command-line argument that does not survive the way from the
// system's encoding into text and back (bytes that are not valid UTF-8 in a
// UTF-8 locale): a file name among them would be written under other bytes.
// The argument's bytes, with those outside printable ASCII as \xHH; nothing
// when every argument survives.
std::optional<QString> undecodableArgument(int argc, char** argv);

// Flushes and closes standard output. Empty when everything written reached
// it, else the reason it did not (a full disk, a closed pipe).
QString closeStandardOutput();

// Whether a session file can be saved at `path`, tried before the work that
// makes it, so that a mistyped name costs no measurement: the target itself (a
// name too long, a device or FIFO that must not be replaced) and its folder,
// where the session is written before it is renamed over the target. False
// with a message for the operator in `error` otherwise.
bool canWrite(const QString& path, QString& error);

// Reads the session file at `path` with its configuration and analysis
// settings. False, with a message for the operator in `error`, when the file
// cannot be opened or is not a session file.
bool loadSession(const QString& path, measuredData& data, ConfigParam& config, LangmuirSettings& settings,
                 QString& error);

} // namespace cli
