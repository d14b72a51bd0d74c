#pragma once

#include "analysis/HarmonicAnalysis.h"
#include "analysis/results.h"

#include <QString>
#include <QVector>

class LangmuirSettings;
class measuredData;
class QTextStream;
struct ExportSettings;

// Export of a session to delimited text for spreadsheets. The section writers
// work on any text stream, so the window and the command-line tool share them.
// Numbers take the stream's default real-number form (six significant digits,
// the shorter of fixed and scientific notation); the session is only read.
//
// Which frames a position exports: its time steps (TimeSteps.h), as the
// session window walks them.

// "Orvel Export File", the software's name and version as registered with the
// application object, and an empty line.
void writeExportHeader(QTextStream& out, const QString& separator);

// One row of the plasma-parameter table: an exported time step that has a
// scan record, analysed afresh.
struct PlasmaParameterRow
{
    int position = 0;   // mm
    double delay = 0;   // µs
    results parameters; // of the fresh analysis; NaN where it determined nothing
    QString errorText;  // of the fresh analysis; empty on success
    HarmonicResults harmonic; // of the time step's harmonics
};

// The plasma-parameter table of a session: one row per exported time step
// that has a scan record, in export order, each from a fresh analysis with
// `settings` on a copy of the record (the session's stored results stay as
// they were). The export writes these rows; the command line prints them.
QVector<PlasmaParameterRow> plasmaParameterRows(const measuredData& data, const LangmuirSettings& settings);

// "Plasma Parameters": one row per exported time step that has a scan record:
// position (mm), delay (µs), kTe, Jp, Ni and the Debye length (m), from a
// fresh analysis with `settings`. The analysis runs on a copy of each record,
// so the session's stored results stay as they were.
void writePlasmaParameters(QTextStream& out, const QString& separator, const measuredData& data,
                           const LangmuirSettings& settings);
// The same table of rows already analysed.
void writePlasmaParameters(QTextStream& out, const QString& separator, const QVector<PlasmaParameterRow>& rows);

// "Errors and Harmonic Analysis": per row of the plasma-parameter table its
// position and delay, the errors of kTe, Jp, Ni and the Debye length (m), and
// the harmonic analysis: kTe (eV) with its error, the ion current (A), the ion
// density (m^-3), the fit's relative residual and, where these are NaN, why.
void writeErrorsAndHarmonics(QTextStream& out, const QString& separator, const QVector<PlasmaParameterRow>& rows);

// "IV Interpolated Data": per position and time step a "Corrected" block (the
// curve the analysis works on: the averaged entry's joined curve of both bands,
// or the frame's own IV curve) and an "Uncorrected" block (the IV curve built
// from the waveforms: the averaged entry's low-band curve, or the frame's own).
void writeIvData(QTextStream& out, const QString& separator, const measuredData& data);

// The sections `options` selects, in their order: header, plasma parameters,
// errors and harmonic analysis, IV data. Nothing selected writes nothing.
void writeExport(QTextStream& out, const ExportSettings& options, const measuredData& data,
                 const LangmuirSettings& settings);

// Writes the export to the file `fileName` (replacing its contents, UTF-8, the
// platform's line ends). Returns an empty text on success, else the error text
// for the operator, beginning "[ERROR] Export Data: ".
QString exportSession(const QString& fileName, const ExportSettings& options, const measuredData& data,
                      const LangmuirSettings& settings);
