#include "session/CsvExport.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/PlasmaAnalysis.h"
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

// One exported time step of a position: its frame, and the averaged entry of
// the same index once the position is averaged.
struct TimeStep
{
    const DelayWrapper& frame;
    const AveragedEntry* averaged;

    double delay() const { return double(frame.delay); } // averaged wrappers carry no delay of their own

    // The record the window analyses for this time step.
    const ScanRecord* scanRecord() const
    {
        if (averaged && averaged->scanRecord())
            return averaged->scanRecord();
        return frame.scanRecord ? &*frame.scanRecord : nullptr;
    }

    // The wrapper whose curves the IV block writes; an averaged entry's
    // low-band wrapper holds the joined curve of both bands.
    const DelayWrapper& curves() const { return averaged ? averaged->low : frame; }
};

const QVector<DelayWrapper>& exportedFrames(const PositionWrapper& position)
{
    static const QVector<DelayWrapper> none;
    if (position.scans.isEmpty())
        return none;
    const ScanGroup& first = position.scans.first();
    // A session taken in the high band only would otherwise export nothing.
    return first.Delays200.isEmpty() ? first.Delays400 : first.Delays200;
}

template <typename Visit>
void forEachTimeStep(const PositionWrapper& position, Visit visit)
{
    const QVector<DelayWrapper>& frames = exportedFrames(position);
    for (int d = 0; d < frames.size(); ++d)
        visit(TimeStep{frames[d], d < position.averages.size() ? &position.averages[d] : nullptr});
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
    if (w.joinedVIx.isEmpty())
        writePoints(out, separator, w.VIx, w.VIy);
    else
        writePoints(out, separator, w.joinedVIx, w.joinedVIy);
    out << '\n';
}

void writeUncorrectedCurve(QTextStream& out, const QString& separator, const DelayWrapper& w)
{
    writeRow(out, separator, QStringLiteral("Uncorrected"));
    writeRow(out, separator, QStringLiteral("index"), QStringLiteral("V"), QStringLiteral("I"));
    writePoints(out, separator, w.VIx, w.VIy);
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
            const ScanRecord* record = step.scanRecord();
            if (!record)
                return;
            ScanRecord scan = *record;
            analyse(scan, settings);
            rows.append(PlasmaParameterRow{position.position, step.delay(), scan.parameters, scan.errorText});
        });
    }
    return rows;
}

void writePlasmaParameters(QTextStream& out, const QString& separator, const measuredData& data,
                           const LangmuirSettings& settings)
{
    writeRow(out, separator, QStringLiteral("Plasma Parameters"));
    writeRow(out, separator, QStringLiteral("Position"), QStringLiteral("Delay (us)"), QStringLiteral("kTe"),
             QStringLiteral("Jp"), QStringLiteral("Ni"), QStringLiteral("Ld"));
    for (const PlasmaParameterRow& row : plasmaParameterRows(data, settings)) {
        const results& r = row.parameters;
        writeRow(out, separator, row.position, row.delay, r.kTe, r.Jp, r.Ni, r.Ldebye);
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
    if (options.plasmaParameters)
        writePlasmaParameters(out, options.separator, data, settings);
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
