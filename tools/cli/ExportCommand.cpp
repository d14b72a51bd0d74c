// orvel-cli export: a session file to delimited text, with the window's
// export writers.

#include "CommandLine.h"
#include "Commands.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CsvExport.h"
#include "session/ExportSettings.h"

#include <QCommandLineParser>

namespace cli {

int runExport(const QStringList& arguments)
{
    const QString command = QStringLiteral("export");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports a session file to delimited text, as the window's Export does: the sections chosen, in the order "
        "header, plasma parameters, errors and harmonic analysis, IV data. At least one section must be chosen."));
    parser.addPositionalArgument(QStringLiteral("export"), QStringLiteral("the command"), QStringLiteral("export"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Session file (.ldf)."),
                                 QStringLiteral("FILE.ldf"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Text file to write; replaced if it exists."),
                                    QStringLiteral("file"));
    const QCommandLineOption separator(QStringLiteral("separator"),
                                       QStringLiteral("Text between fields (default \";\")."), QStringLiteral("S"),
                                       ExportSettings().separator);
    const QCommandLineOption header(QStringLiteral("header"), QStringLiteral("The header block."));
    const QCommandLineOption params(QStringLiteral("params"),
                                    QStringLiteral("The plasma-parameter table, from a fresh analysis under the file's "
                                                   "analysis settings."));
    const QCommandLineOption errorsAndHarmonics(
        QStringLiteral("errors-harmonics"),
        QStringLiteral("The table of the plasma parameters' errors and the harmonic analysis (kTe, ion current and "
                       "density from the current's harmonics), for the rows of the plasma-parameter table."));
    const QCommandLineOption iv(QStringLiteral("iv"), QStringLiteral("The IV data of every frame."));
    parser.addOptions({output, separator, header, params, errorsAndHarmonics, iv});
    if (const auto exit = parseArguments(parser, arguments, command))
        return *exit;
    const QStringList files = operands(parser);
    if (files.size() != 1)
        return usageError(command, QStringLiteral("name one session file to export"));
    const QString target = parser.value(output);
    if (target.isEmpty())
        return usageError(command, QStringLiteral("name the file to write: -o OUT.csv"));
    const QString separatorProblem = ExportSettings::separatorProblem(parser.value(separator));
    if (!separatorProblem.isEmpty())
        return usageError(command, separatorProblem);
    if (!parser.isSet(header) && !parser.isSet(params) && !parser.isSet(errorsAndHarmonics) && !parser.isSet(iv))
        return usageError(command,
                          QStringLiteral("choose what to export: --header, --params, --errors-harmonics and/or --iv"));

    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
    QString error;
    if (!loadSession(files.first(), data, config, settings, error))
        return fail(error);

    ExportSettings options;
    options.separator = parser.value(separator);
    options.header = parser.isSet(header);
    options.plasmaParameters = parser.isSet(params);
    options.errorsAndHarmonics = parser.isSet(errorsAndHarmonics);
    options.ivInterpolate = parser.isSet(iv);
    error = exportSession(target, options, data, settings);
    if (!error.isEmpty())
        return fail(error);
    return Success;
}

} // namespace cli
