#pragma once

#include <QString>
#include <QVector>

// One row of the EEDF energy-resolution table, both in eV.
struct EedfEntry
{
    double energy = 0.0;
    double resolution = 0.0;
};

bool operator==(const EedfEntry& a, const EedfEntry& b);

// The electron energies at which the EEDF is evaluated, each with its energy
// resolution.
using EedfTable = QVector<EedfEntry>;

// The 20 entries from 0.5 eV to 29 eV that serve when no table file exists.
EedfTable defaultEedfTable();

// Reads a table file ("Energy;Resolution" header, then "energy;resolution"
// lines; unreadable lines are skipped). Returns an empty text on success,
// else the error message; table is replaced only on success.
QString readEedfTable(const QString& path, EedfTable& table);

// Writes a table file in table order. Returns an empty text on success, else
// the error message; a failed write leaves any previous file as it was.
QString writeEedfTable(const QString& path, const EedfTable& table);

// The program-wide default table file "eedf.txt" in folder.
QString defaultEedfTablePath(const QString& folder);

// The table in path, or the default table when the file is missing or unreadable.
EedfTable readEedfTableOrDefault(const QString& path);
