#pragma once

#include "analysis/EedfTable.h"

#include <QDialog>

class QItemSelection;
class QPushButton;
class QTableView;
class TableModel;

// Editor of an EEDF energy-resolution table ("EEDF Table"): cells are edited
// in place, rows added and removed, and tables loaded from and saved to
// .eedfTable files.
class EEDF_Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit EEDF_Dialog(QWidget* parent = nullptr);

    void setTable(const EedfTable& table);
    EedfTable table() const;

    // The main window's "Edit Default EEDF Table": opens "eedf.txt" in
    // folder (the default table when it is missing or unreadable) and, when
    // the user accepts, writes the table back there. A failed write is shown
    // to the user. Returns true when the file was written.
    bool editDefaultTable(const QString& folder);

public slots:
    void saveFile();
    void loadFile();
    void addEntry();
    void removeRows();
    void tableEntryError(const QString& message);
    void selectionUpdate(const QItemSelection& selected, const QItemSelection& deselected);

protected:
    // The user's choices, kept apart so that they can be answered without a desktop.
    virtual QString chooseFileToOpen();
    virtual QString chooseFileToSave();
    virtual void inform(const QString& title, const QString& text);

private:
    void updateRemoveButton();

    TableModel* m_model;
    QTableView* m_view;
    QPushButton* m_remove;
};
