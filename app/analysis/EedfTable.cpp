#include "analysis/EedfTable.h"

#include "session/RegularFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

namespace {

const QString kHeader = QStringLiteral("Energy;Resolution");

// A line is kept when both its fields are finite numbers, the values the
// table's editor takes; "inf" or "nan" read as numbers but are not energies.
bool parseLine(const QString& line, EedfEntry& entry)
{
    const int separator = line.indexOf(QLatin1Char(';'));
    if (separator < 1)
        return false;
    bool energyOk = false, resolutionOk = false;
    entry.energy = line.left(separator).toDouble(&energyOk);
    if (!energyOk || !std::isfinite(entry.energy))
        return false;
    // Anything after a second ';' is ignored.
    entry.resolution = line.section(QLatin1Char(';'), 1, 1).toDouble(&resolutionOk);
    return resolutionOk && std::isfinite(entry.resolution);
}

} // namespace

bool operator==(const EedfEntry& a, const EedfEntry& b)
{
    return a.energy == b.energy && a.resolution == b.resolution;
}

EedfTable defaultEedfTable()
{
    return {{0.5, 0.4}, {1, 0.5}, {1.5, 0.5}, {2, 0.5}, {3, 1},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 1},
            {9, 1},     {10, 2},  {12, 2},    {14, 2},  {16, 2}, {18, 2}, {20, 3}, {23, 3}, {26, 3}, {29, 3}};
}

QString readEedfTable(const QString& path, EedfTable& table)
{
    QFile file(path);
    QString reason;
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Text, reason))
        return QStringLiteral("Error - cannot open EEDF table File.");
    QTextStream in(&file);
    if (!in.readLine().startsWith(kHeader))
        return QStringLiteral("Error - EEDF table File Corrupt.");

    EedfTable entries;
    while (!in.atEnd()) {
        EedfEntry entry;
        if (parseLine(in.readLine(), entry))
            entries.append(entry);
    }
    if (entries.isEmpty())
        return QStringLiteral("Error - EEDF table File Corrupt.");
    table = entries;
    return QString();
}

QString writeEedfTable(const QString& path, const EedfTable& table)
{
    const QString failure = QStringLiteral("Error - cannot write EEDF table file.");
    QSaveFile file(path);
    QString reason;
    if (!openSaveFile(file, QIODevice::WriteOnly | QIODevice::Text, reason))
        return failure;
    QTextStream out(&file);
    out << kHeader << '\n';
    for (const EedfEntry& entry : table)
        out << entry.energy << ';' << entry.resolution << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        return failure;
    return QString();
}

QString defaultEedfTablePath(const QString& folder)
{
    return QStringLiteral("%1/eedf.txt").arg(folder);
}

EedfTable readEedfTableOrDefault(const QString& path)
{
    EedfTable table;
    if (!readEedfTable(path, table).isEmpty())
        return defaultEedfTable();
    return table;
}
