#pragma once

#include <QString>

// What an export writes and how: the field separator and the sections. All
// but the two table choices persist in ".settings/ExportSettings.xml".
struct ExportSettings
{
    static const QString defaultFilePath; // ".settings/ExportSettings.xml", relative to the working directory

    QString separator = QStringLiteral(";");
    bool header = true;        // "ExportHeader": the header block
    bool results = false;      // "ExportResults": kept for the file's sake; selects nothing
    bool ivInterpolate = false; // "ExportVIInterpolate": the IV data block
    bool waveFormData = true;  // "ExportWaveFormData": selects nothing yet
    bool band200 = false;      // "Export200": selects nothing yet
    bool band400 = false;      // "Export400": selects nothing yet
    bool doubleProbeCorrected = false; // "ExportDoubleProbeCorrected": follows the "IV Data" box
    bool plasmaParameters = false; // the plasma-parameter table; chosen per export, never stored
    bool errorsAndHarmonics = false; // the errors and harmonic-analysis table; chosen per export, never stored

    // Sets every stored option present in the file; absent options keep their
    // values, and so does a separator separatorProblem() objects to. A missing,
    // unreadable or foreign file changes nothing: the options are a
    // convenience, and the export works without them.
    void load(const QString& path = defaultFilePath);

    // Why `separator` cannot separate fields: empty, longer than
    // maxSeparatorLength characters, or holding a line break (which would split
    // a row). Empty when it can.
    static QString separatorProblem(const QString& separator);
    static constexpr int maxSeparatorLength = 16;

    // Writes the stored options (creating the file's folder first). Returns an
    // empty text on success, else the message for the operator.
    QString store(const QString& path = defaultFilePath) const;
};
