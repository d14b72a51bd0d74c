// orvel-cli analyse: the plasma-parameter table of a session file, from a
// fresh analysis under the file's own analysis settings. The rows are the
// export's, so that both always list the same frames with the same values.

#include "CommandLine.h"
#include "Commands.h"
#include "CsvText.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CsvExport.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace cli {

namespace {

const QString command = QStringLiteral("analyse");

void writeCsv(QTextStream& stream, const QVector<PlasmaParameterRow>& rows)
{
    stream << "position,delay_us,kTe,Jp,Ni,Ld,error\n";
    for (const PlasmaParameterRow& row : rows) {
        const results& r = row.parameters;
        stream << row.position << ',' << csvNumber(row.delay) << ',' << csvNumber(r.kTe) << ',' << csvNumber(r.Jp)
               << ',' << csvNumber(r.Ni) << ',' << csvNumber(r.Ldebye) << ',' << csvField(row.errorText) << '\n';
    }
}

// Six significant digits, as the window's values panel and the export show them.
QString tableNumber(double value)
{
    return std::isnan(value) ? QStringLiteral("nan") : QString::number(value, 'g', 6);
}

// Columns padded to their widest entry: numbers to the right, the error text
// (last) to the left.
void writeTable(QTextStream& stream, const QVector<PlasmaParameterRow>& rows)
{
    QVector<QStringList> lines{{QStringLiteral("Position"), QStringLiteral("Delay (us)"), QStringLiteral("kTe (eV)"),
                                QStringLiteral("Jp (A/m2)"), QStringLiteral("Ni (1/m3)"), QStringLiteral("Ld (m)"),
                                QStringLiteral("Error")}};
    for (const PlasmaParameterRow& row : rows) {
        const results& r = row.parameters;
        lines.append({QString::number(row.position), tableNumber(row.delay), tableNumber(r.kTe), tableNumber(r.Jp),
                      tableNumber(r.Ni), tableNumber(r.Ldebye), row.errorText});
    }
    const int columns = lines.first().size();
    QVector<int> width(columns, 0);
    for (const QStringList& line : lines)
        for (int c = 0; c < columns; ++c)
            width[c] = std::max(width[c], line[c].size());
    for (const QStringList& line : lines) {
        QStringList cells;
        for (int c = 0; c + 1 < columns; ++c)
            cells << line[c].rightJustified(width[c]);
        if (!line.constLast().isEmpty())
            cells << line.constLast();
        stream << cells.join(QLatin1String("  ")) << '\n';
    }
}

} // namespace

int runAnalyse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the plasma parameters of every frame of a session file that holds a scan record, from a fresh "
        "analysis under the file's own analysis settings: the frames and values of the export's plasma-parameter "
        "table, with the analysis' error text."));
    parser.addPositionalArgument(QStringLiteral("analyse"), QStringLiteral("the command"), QStringLiteral("analyse"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Session file (.ldf)."),
                                 QStringLiteral("FILE.ldf"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Machine-readable output: a header line "
                                                "position,delay_us,kTe,Jp,Ni,Ld,error, numbers in their shortest "
                                                "round-trip form, nan where not determined."));
    parser.addOption(csv);
    if (const auto exit = parseArguments(parser, arguments, command))
        return *exit;
    const QStringList files = operands(parser);
    if (files.size() != 1)
        return usageError(command, QStringLiteral("name one session file to analyse"));

    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
    QString error;
    if (!loadSession(files.first(), data, config, settings, error))
        return fail(error);
    const QVector<PlasmaParameterRow> rows = plasmaParameterRows(data, settings);
    if (parser.isSet(csv))
        writeCsv(out(), rows);
    else
        writeTable(out(), rows);
    out().flush();
    return Success;
}

} // namespace cli
