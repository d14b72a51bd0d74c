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

const QString csvHeader = QStringLiteral(
    "position,delay_us,kTe,Jp,Ni,Ld,error,kTe_error,Jp_error,Ni_error,Ld_error,kTe_harmonic,kTe_harmonic_error,"
    "Iis_harmonic,Ni_harmonic,harmonic_residual,harmonic_error");

// The numbers of a row after its position and delay: the values, their
// errors, the harmonic analysis.
QVector<double> values(const PlasmaParameterRow& row)
{
    const results& r = row.parameters;
    const HarmonicResults& h = row.harmonic;
    return {r.kTe, r.Jp, r.Ni, r.Ldebye, r.kTe_error, r.Jp_error, r.Ni_error, r.Ldebye_error,
            h.kTe, h.kTeError, h.ionCurrent, h.ionDensity, h.residual};
}

constexpr int valuesBeforeErrorText = 4;

void writeCsv(QTextStream& stream, const QVector<PlasmaParameterRow>& rows)
{
    stream << csvHeader << '\n';
    for (const PlasmaParameterRow& row : rows) {
        QStringList fields{QString::number(row.position), csvNumber(row.delay)};
        const QVector<double> numbers = values(row);
        for (int i = 0; i < numbers.size(); ++i) {
            if (i == valuesBeforeErrorText)
                fields << csvField(row.errorText);
            fields << csvNumber(numbers[i]);
        }
        fields << csvField(row.harmonic.errorText);
        stream << fields.join(QLatin1Char(',')) << '\n';
    }
}

// Six significant digits, as the window's values panel and the export show them.
QString tableNumber(double value)
{
    return std::isnan(value) ? QStringLiteral("nan") : QString::number(value, 'g', 6);
}

// Columns padded to their widest entry: numbers to the right, the two texts
// (last) to the left.
void writeTable(QTextStream& stream, const QVector<PlasmaParameterRow>& rows)
{
    QVector<QStringList> lines{{QStringLiteral("Position"), QStringLiteral("Delay (us)"), QStringLiteral("kTe (eV)"),
                                QStringLiteral("Jp (A/m2)"), QStringLiteral("Ni (1/m3)"), QStringLiteral("Ld (m)"),
                                QStringLiteral("kTe err"), QStringLiteral("Jp err"), QStringLiteral("Ni err"),
                                QStringLiteral("Ld err"), QStringLiteral("kTe harm (eV)"), QStringLiteral("kTe harm err"),
                                QStringLiteral("Iis harm (A)"), QStringLiteral("Ni harm (1/m3)"),
                                QStringLiteral("Harm residual"), QStringLiteral("Error"),
                                QStringLiteral("Harmonic error")}};
    for (const PlasmaParameterRow& row : rows) {
        QStringList line{QString::number(row.position), tableNumber(row.delay)};
        for (double value : values(row))
            line << tableNumber(value);
        lines.append(line << row.errorText << row.harmonic.errorText);
    }
    const int columns = lines.first().size();
    const int texts = 2;
    QVector<int> width(columns, 0);
    for (const QStringList& line : lines)
        for (int c = 0; c < columns; ++c)
            width[c] = std::max(width[c], line[c].size());
    for (const QStringList& line : lines) {
        QStringList cells;
        for (int c = 0; c < columns - texts; ++c)
            cells << line[c].rightJustified(width[c]);
        cells << line[columns - texts].leftJustified(width[columns - texts]) << line.constLast();
        QString text = cells.join(QLatin1String("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        stream << text << '\n';
    }
}

} // namespace

int runAnalyse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the plasma parameters of every frame of a session file that holds a scan record, from a fresh "
        "analysis under the file's own analysis settings: the frames and values of the export's plasma-parameter "
        "table, with the analysis' error text, the errors (averaged frames) and the harmonic analysis (kTe, ion "
        "current and density from the current's harmonics, with the reason where it gives none)."));
    parser.addPositionalArgument(QStringLiteral("analyse"), QStringLiteral("the command"), QStringLiteral("analyse"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Session file (.ldf)."),
                                 QStringLiteral("FILE.ldf"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Machine-readable output: a header line %1, numbers in their "
                                                "shortest round-trip form, nan where not determined.")
                                     .arg(csvHeader));
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
