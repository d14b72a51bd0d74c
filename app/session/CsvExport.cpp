#include "session/CsvExport.h"

#include "acquisition/TimeStepAnalysis.h"
#include "acquisition/TimeSteps.h"
#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "session/ExportSettings.h"
#include "session/RegularFile.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cerrno>

namespace {

const QString kErrorPrefix = QStringLiteral("[ERROR] Export Data: ");

// One line: the fields with the separator between each pair.
template <typename First, typename... Rest>
void writeRow(QTextStream& out, const QString& separator, const First& first, const Rest&... rest)
{
    out << first;
    ((out << separator << rest), ...);
    out << '\n';
}

void writePoints(QTextStream& out, const QString& separator, const QVector<double>& V, const QVector<double>& I)
{
    const int count = std::min(V.size(), I.size());
    for (int i = 0; i < count; ++i)
        writeRow(out, separator, i, V[i], I[i]);
}

void writeCorrectedCurve(QTextStream& out, const QString& separator, const DelayWrapper& w)
{
    writeRow(out, separator, QStringLiteral("Corrected"));
    writeRow(out, separator, QStringLiteral("index"), QStringLiteral("V (Volts)"), QStringLiteral("I (Amps)"));
    // The joined curve is the one analysed; a single frame has none and is
    // analysed as built.
    const QVector<double> joinedV = w.joinedVIx();
    if (joinedV.isEmpty())
        writePoints(out, separator, w.VIx(), w.VIy());
    else
        writePoints(out, separator, joinedV, w.joinedVIy());
    out << '\n';
}

void writeUncorrectedCurve(QTextStream& out, const QString& separator, const DelayWrapper& w)
{
    writeRow(out, separator, QStringLiteral("Uncorrected"));
    writeRow(out, separator, QStringLiteral("index"), QStringLiteral("V"), QStringLiteral("I"));
    writePoints(out, separator, w.VIx(), w.VIy());
    out << '\n';
}

} // namespace

void writeExportHeader(QTextStream& out, const QString& separator)
{
    writeRow(out, separator, QStringLiteral("Orvel Export File"));
    writeRow(out, separator, QStringLiteral("Software"), QCoreApplication::applicationName());
    writeRow(out, separator, QStringLiteral("Software Version"), QCoreApplication::applicationVersion());
    out << '\n';
}

QVector<PlasmaParameterRow> plasmaParameterRows(const measuredData& data, const LangmuirSettings& settings)
{
    QVector<PlasmaParameterRow> rows;
    for (const PositionWrapper& position : data.positions) {
        forEachTimeStep(position, [&](const TimeStep& step) {
            if (!step.scanRecord())
                return;
            const ScanRecord scan = analysedCopy(step, settings);
            rows.append(
                PlasmaParameterRow{position.position, step.delay(), scan.parameters, scan.errorText, scan.harmonic});
        });
    }
    return rows;
}

void writePlasmaParameters(QTextStream& out, const QString& separator, const measuredData& data,
                           const LangmuirSettings& settings)
{
    writePlasmaParameters(out, separator, plasmaParameterRows(data, settings));
}

void writePlasmaParameters(QTextStream& out, const QString& separator, const QVector<PlasmaParameterRow>& rows)
{
    writeRow(out, separator, QStringLiteral("Plasma Parameters"));
    writeRow(out, separator, QStringLiteral("Position"), QStringLiteral("Delay (us)"), QStringLiteral("kTe"),
             QStringLiteral("Jp"), QStringLiteral("Ni"), QStringLiteral("Ld"));
    for (const PlasmaParameterRow& row : rows) {
        const results& r = row.parameters;
        writeRow(out, separator, row.position, row.delay, r.kTe, r.Jp, r.Ni, r.Ldebye);
    }
}

void writeErrorsAndHarmonics(QTextStream& out, const QString& separator, const QVector<PlasmaParameterRow>& rows)
{
    writeRow(out, separator, QStringLiteral("Errors and Harmonic Analysis"));
    writeRow(out, separator, QStringLiteral("Position"), QStringLiteral("Delay (us)"), QStringLiteral("kTe error"),
             QStringLiteral("Jp error"), QStringLiteral("Ni error"), QStringLiteral("Ld error"),
             QStringLiteral("kTe harmonic"), QStringLiteral("kTe harmonic error"), QStringLiteral("Iis harmonic"),
             QStringLiteral("Ni harmonic"), QStringLiteral("Harmonic residual"), QStringLiteral("Harmonic error"));
    for (const PlasmaParameterRow& row : rows) {
        const results& r = row.parameters;
        const HarmonicResults& h = row.harmonic;
        writeRow(out, separator, row.position, row.delay, r.kTe_error, r.Jp_error, r.Ni_error, r.Ldebye_error, h.kTe,
                 h.kTeError, h.ionCurrent, h.ionDensity, h.residual, h.errorText);
    }
}

void writeIvData(QTextStream& out, const QString& separator, const measuredData& data)
{
    writeRow(out, separator, QStringLiteral("IV Interpolated Data"));
    for (const PositionWrapper& position : data.positions) {
        writeRow(out, separator, QStringLiteral("Position"), position.position);
        forEachTimeStep(position, [&](const TimeStep& step) {
            writeRow(out, separator, QStringLiteral("Delay (us) "), step.delay());
            writeCorrectedCurve(out, separator, step.curves());
            writeUncorrectedCurve(out, separator, step.curves());
        });
    }
}

void writeExport(QTextStream& out, const ExportSettings& options, const measuredData& data,
                 const LangmuirSettings& settings)
{
    if (options.header)
        writeExportHeader(out, options.separator);
    if (options.plasmaParameters || options.errorsAndHarmonics) {
        const QVector<PlasmaParameterRow> rows = plasmaParameterRows(data, settings);
        if (options.plasmaParameters)
            writePlasmaParameters(out, options.separator, rows);
        if (options.errorsAndHarmonics)
            writeErrorsAndHarmonics(out, options.separator, rows);
    }
    if (options.ivInterpolate)
        writeIvData(out, options.separator, data);
}

QString exportSession(const QString& fileName, const ExportSettings& options, const measuredData& data,
                      const LangmuirSettings& settings)
{
    // Written beside the target and renamed over it once complete: a failed
    // export leaves the previous one as it was.
    QSaveFile file(fileName);
    QString reason;
    if (!openSaveFile(file, QIODevice::WriteOnly | QIODevice::Text, reason))
        return kErrorPrefix + QStringLiteral("Failed to open file '%1' for writing (%2).").arg(fileName, reason);
    QTextStream out(&file);
    out.setCodec("UTF-8");
    errno = 0;
    writeExport(out, options, data, settings);
    out.flush();
    const int writeErrno = errno;
    // A full disk shows only here: the stream and the file write late.
    if (out.status() != QTextStream::Ok || !file.commit())
        return kErrorPrefix
               + QStringLiteral("Failed to close file '%1' (%2).").arg(fileName, writeFailure(file, writeErrno));
    return QString();
}
