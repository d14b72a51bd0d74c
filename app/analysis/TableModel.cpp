#include "analysis/TableModel.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const char* const kDuplicateEnergy = "An entry for this energy level already exists.";

bool byEnergy(const EedfEntry& a, const EedfEntry& b)
{
    return a.energy < b.energy;
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

TableModel::TableModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TableModel::setTable(const EedfTable& table)
{
    beginResetModel();
    m_table = table;
    std::stable_sort(m_table.begin(), m_table.end(), byEnergy);
    endResetModel();
}

int TableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.size();
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_table.size())
        return QVariant();
    const EedfEntry& entry = m_table[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        // Text, not a number, so that the editor is a plain line edit that
        // neither rounds to two decimals nor limits the range.
        return numberText(index.column() == EnergyColumn ? entry.energy : entry.resolution);
    case Qt::ToolTipRole:
        return tr("Double click to edit.");
    default:
        return QVariant();
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == EnergyColumn ? tr("Energy") : tr("Resolution");
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_table.size())
        return false;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    if (index.column() == EnergyColumn)
        return setEnergy(index.row(), number);
    m_table[index.row()].resolution = number;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool TableModel::setEnergy(int row, double energy)
{
    if (m_table[row].energy == energy)
        return true;
    if (hasEnergy(energy)) {
        emit tableEntryError(tr(kDuplicateEnergy));
        return false;
    }
    m_table[row].energy = energy;
    const int target = sortedRowFor(energy, row);
    if (target != row) {
        // Qt counts the destination before the move: one further when moving down.
        beginMoveRows(QModelIndex(), row, row, QModelIndex(), target > row ? target + 1 : target);
        m_table.move(row, target);
        endMoveRows();
    }
    const QModelIndex changed = index(target, EnergyColumn);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool TableModel::hasEnergy(double energy) const
{
    return std::any_of(m_table.cbegin(), m_table.cend(), [energy](const EedfEntry& e) { return e.energy == energy; });
}

int TableModel::sortedRowFor(double energy, int row) const
{
    int target = 0;
    for (int i = 0; i < m_table.size(); ++i) {
        if (i != row && m_table[i].energy < energy)
            ++target;
    }
    return target;
}

bool TableModel::insertRows(int position, int rows, const QModelIndex& parent)
{
    if (parent.isValid() || position != m_table.size() || rows < 1)
        return false;
    for (int i = 0; i < rows; ++i) {
        EedfEntry entry{1.0, 1.0};
        if (!m_table.isEmpty()) {
            const EedfEntry& last = m_table.last();
            entry = {last.energy + last.resolution, last.resolution};
        }
        // A resolution of zero or less would step onto or below an existing energy.
        if (hasEnergy(entry.energy)) {
            emit tableEntryError(tr(kDuplicateEnergy));
            return i > 0;
        }
        const int target = sortedRowFor(entry.energy, -1);
        beginInsertRows(QModelIndex(), target, target);
        m_table.insert(target, entry);
        endInsertRows();
    }
    return true;
}

bool TableModel::removeRows(int position, int rows, const QModelIndex& parent)
{
    if (parent.isValid() || position < 0 || rows < 1 || position + rows > m_table.size())
        return false;
    beginRemoveRows(QModelIndex(), position, position + rows - 1);
    m_table.remove(position, rows);
    endRemoveRows();
    return true;
}
