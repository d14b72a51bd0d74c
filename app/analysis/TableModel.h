#pragma once

#include "analysis/EedfTable.h"

#include <QAbstractTableModel>

// The EEDF table as an editable two-column item model ("Energy",
// "Resolution"). Rows are kept in ascending order of energy: an edited
// energy moves its row to its place, and no two rows may share an energy.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { EnergyColumn, ResolutionColumn };

    explicit TableModel(QObject* parent = nullptr);

    // Takes the table in ascending order of energy (equal energies keep
    // their order; they are not merged, so nothing read is lost).
    void setTable(const EedfTable& table);
    const EedfTable& table() const { return m_table; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Accepts a finite number; refuses an energy another row already has.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Appends rows after the last one, each at the last energy plus the last
    // resolution with that resolution (energy 1, resolution 1 in an empty
    // table). Only position == rowCount() is accepted: a sorted table has no
    // other place for them.
    bool insertRows(int position, int rows, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int position, int rows, const QModelIndex& parent = QModelIndex()) override;

signals:
    void tableEntryError(const QString& message);

private:
    bool hasEnergy(double energy) const;
    bool setEnergy(int row, double energy);
    // The row index an entry of this energy belongs at, row itself left out.
    int sortedRowFor(double energy, int row) const;

    EedfTable m_table;
};
