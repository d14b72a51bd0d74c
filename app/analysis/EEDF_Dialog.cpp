#include "analysis/EEDF_Dialog.h"

#include "analysis/TableModel.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

QPushButton* makeButton(const QString& text, const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

EEDF_Dialog::EEDF_Dialog(QWidget* parent)
    : QDialog(parent)
    , m_model(new TableModel(this))
    , m_view(new QTableView(this))
    , m_remove(makeButton(tr("&Remove"), tr("Revome selected rows from table."), this))
{
    setWindowTitle(tr("EEDF Table"));

    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto* add = makeButton(tr("&Add"), tr("Add a new row to table."), this);
    auto* load = makeButton(tr("&Load"), tr("Load EEDF table from file"), this);
    auto* save = makeButton(tr("&Save"), tr("Save EEDF Table to file"), this);
    auto* rowButtons = new QVBoxLayout;
    for (QPushButton* button : {add, m_remove, load, save})
        rowButtons->addWidget(button);
    rowButtons->addStretch();

    auto* okCancel = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(okCancel, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(okCancel, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* body = new QHBoxLayout;
    body->addWidget(m_view);
    body->addLayout(rowButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(okCancel);

    connect(add, &QPushButton::clicked, this, &EEDF_Dialog::addEntry);
    connect(m_remove, &QPushButton::clicked, this, &EEDF_Dialog::removeRows);
    connect(load, &QPushButton::clicked, this, &EEDF_Dialog::loadFile);
    connect(save, &QPushButton::clicked, this, &EEDF_Dialog::saveFile);
    connect(m_model, &TableModel::tableEntryError, this, &EEDF_Dialog::tableEntryError);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &EEDF_Dialog::selectionUpdate);
    updateRemoveButton();
}

void EEDF_Dialog::setTable(const EedfTable& table)
{
    m_model->setTable(table);
    // A model reset clears the selection without telling anyone.
    updateRemoveButton();
}

EedfTable EEDF_Dialog::table() const
{
    return m_model->table();
}

bool EEDF_Dialog::editDefaultTable(const QString& folder)
{
    const QString path = defaultEedfTablePath(folder);
    setWindowTitle(tr("Edit Default EEDF Table"));
    setTable(readEedfTableOrDefault(path));
    if (exec() != QDialog::Accepted)
        return false;
    // The program's folder is often not writable; losing the edits silently would be worse than saying so.
    const QString error = writeEedfTable(path, table());
    if (!error.isEmpty()) {
        inform(tr("EEDF File Save Error"), error);
        return false;
    }
    return true;
}

void EEDF_Dialog::saveFile()
{
    const QString fileName = chooseFileToSave();
    if (fileName.isEmpty())
        return;
    const QString error = writeEedfTable(fileName, table());
    if (!error.isEmpty())
        inform(tr("EEDF File Save Error"), error);
}

void EEDF_Dialog::loadFile()
{
    const QString fileName = chooseFileToOpen();
    if (fileName.isEmpty())
        return;
    EedfTable loaded;
    if (!readEedfTable(fileName, loaded).isEmpty()) {
        inform(tr("EEDF File Load Error"), tr("Unable to load EEDF from file."));
        return;
    }
    setTable(loaded);
}

void EEDF_Dialog::addEntry()
{
    if (m_model->insertRows(m_model->rowCount(), 1))
        m_view->scrollToBottom();
}

void EEDF_Dialog::removeRows()
{
    QList<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    // From the bottom up, so that the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_model->removeRows(row, 1);
    updateRemoveButton();
}

void EEDF_Dialog::tableEntryError(const QString& message)
{
    inform(tr("EEDF Table Error"), message);
}

void EEDF_Dialog::selectionUpdate(const QItemSelection&, const QItemSelection&)
{
    updateRemoveButton();
}

void EEDF_Dialog::updateRemoveButton()
{
    m_remove->setEnabled(m_view->selectionModel()->hasSelection());
}

QString EEDF_Dialog::chooseFileToOpen()
{
    return QFileDialog::getOpenFileName(this, tr("Open EEDF Table File"), QString(),
                                        tr("Langmuir EEDF Table Files (*.eedfTable);;All Files (*.*)"));
}

QString EEDF_Dialog::chooseFileToSave()
{
    return QFileDialog::getSaveFileName(this, tr("Save EEDF Table File"), QString(),
                                        tr("Zund EEDF Table Files (*.eedfTable)"));
}

void EEDF_Dialog::inform(const QString& title, const QString& text)
{
    QMessageBox::information(this, title, text);
}
