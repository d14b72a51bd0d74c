#include "analysis/EEDF_Dialog.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

// Answers the dialog's questions from the test instead of from a user.
class ScriptedDialog : public EEDF_Dialog
{
public:
    QString fileToOpen, fileToSave;
    QStringList messages; // "title: text"
    int execResult = QDialog::Rejected;
    QString titleAtExec;
    EedfTable tableAtExec;
    std::function<void(ScriptedDialog&)> userEdits;

    int exec() override
    {
        titleAtExec = windowTitle();
        tableAtExec = table();
        if (userEdits)
            userEdits(*this);
        return execResult;
    }

protected:
    QString chooseFileToOpen() override { return fileToOpen; }
    QString chooseFileToSave() override { return fileToSave; }
    void inform(const QString& title, const QString& text) override { messages.append(title + ": " + text); }
};

QPushButton* button(QWidget& dialog, const QString& text)
{
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestEedfDialog : public QObject
{
    Q_OBJECT

private slots:
    void buttonsAndTitle()
    {
        ScriptedDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("EEDF Table"));
        const QStringList texts{"&Add", "&Remove", "&Load", "&Save"};
        const QStringList tips{"Add a new row to table.", "Revome selected rows from table.",
                               "Load EEDF table from file", "Save EEDF Table to file"};
        for (int i = 0; i < texts.size(); ++i) {
            QPushButton* b = button(dialog, texts[i]);
            QVERIFY2(b, qPrintable(texts[i]));
            QCOMPARE(b->toolTip(), tips[i]);
        }
    }

    void addOnEmptyAndFilledTables()
    {
        ScriptedDialog dialog;
        button(dialog, "&Add")->click();
        QCOMPARE(dialog.table(), (EedfTable{{1, 1}}));
        dialog.setTable({{4, 1.5}});
        button(dialog, "&Add")->click();
        button(dialog, "&Add")->click();
        QCOMPARE(dialog.table(), (EedfTable{{4, 1.5}, {5.5, 1.5}, {7, 1.5}}));
        QVERIFY(dialog.messages.isEmpty());
    }

    void removeWorksOnTheSelectionOnly()
    {
        ScriptedDialog dialog;
        dialog.setTable(defaultEedfTable());
        QPushButton* remove = button(dialog, "&Remove");
        QVERIFY(!remove->isEnabled());

        auto* view = dialog.findChild<QTableView*>();
        view->selectionModel()->select(view->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->select(view->model()->index(19, 1),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(remove->isEnabled());
        remove->click();
        QCOMPARE(dialog.table(), defaultEedfTable().mid(1, 18));
        QVERIFY(!remove->isEnabled());

        view->selectRow(3);
        QVERIFY(remove->isEnabled());
        dialog.setTable(defaultEedfTable());
        QVERIFY(!remove->isEnabled());
    }

    void duplicateEnergyIsShownAndRefused()
    {
        ScriptedDialog dialog;
        dialog.setTable(defaultEedfTable());
        QAbstractItemModel* model = dialog.findChild<QTableView*>()->model();
        QVERIFY(!model->setData(model->index(1, 0), "0.5"));
        QCOMPARE(dialog.messages, QStringList{"EEDF Table Error: An entry for this energy level already exists."});
        QCOMPARE(dialog.table(), defaultEedfTable());
    }

    void loadReplacesTheTableOnlyWhenTheFileReads()
    {
        QTemporaryDir dir;
        ScriptedDialog dialog;
        dialog.setTable(defaultEedfTable());

        dialog.fileToOpen = dir.filePath("corrupt.eedfTable");
        QFile corrupt(dialog.fileToOpen);
        QVERIFY(corrupt.open(QIODevice::WriteOnly));
        corrupt.write("Energy;Resolution\n");
        corrupt.close();
        button(dialog, "&Load")->click();
        QCOMPARE(dialog.messages, QStringList{"EEDF File Load Error: Unable to load EEDF from file."});
        QCOMPARE(dialog.table(), defaultEedfTable());

        dialog.fileToOpen = dir.filePath("good.eedfTable");
        QCOMPARE(writeEedfTable(dialog.fileToOpen, {{2, 0.5}, {1, 0.25}}), QString());
        button(dialog, "&Load")->click();
        QCOMPARE(dialog.table(), (EedfTable{{1, 0.25}, {2, 0.5}}));

        dialog.fileToOpen.clear(); // the user cancelled
        button(dialog, "&Load")->click();
        QCOMPARE(dialog.table(), (EedfTable{{1, 0.25}, {2, 0.5}}));
        QCOMPARE(dialog.messages.size(), 1);
    }

    void saveWritesOrSaysWhyNot()
    {
        QTemporaryDir dir;
        ScriptedDialog dialog;
        dialog.setTable({{1, 0.5}});
        dialog.fileToSave = dir.filePath("mine.eedfTable");
        button(dialog, "&Save")->click();
        QCOMPARE(readAll(dialog.fileToSave), QByteArray("Energy;Resolution\n1;0.5\n"));
        QVERIFY(dialog.messages.isEmpty());

        dialog.fileToSave = dir.filePath("missing/mine.eedfTable");
        button(dialog, "&Save")->click();
        QCOMPARE(dialog.messages, QStringList{"EEDF File Save Error: Error - cannot write EEDF table file."});
    }

    void missingDefaultFileOpensTheDefaultTableAndAcceptingCreatesIt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("eedf.txt");
        {
            ScriptedDialog rejected;
            QVERIFY(!rejected.editDefaultTable(dir.path()));
            QVERIFY(!QFileInfo::exists(path));
        }
        ScriptedDialog dialog;
        dialog.execResult = QDialog::Accepted;
        QVERIFY(dialog.editDefaultTable(dir.path()));
        QCOMPARE(dialog.titleAtExec, QString("Edit Default EEDF Table"));
        QCOMPARE(dialog.tableAtExec, defaultEedfTable());
        EedfTable written;
        QCOMPARE(readEedfTable(path, written), QString());
        QCOMPARE(written, defaultEedfTable());
    }

    void editsOfTheDefaultFileAreWrittenBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("eedf.txt");
        QCOMPARE(writeEedfTable(path, {{1, 1}, {2, 1}}), QString());
        ScriptedDialog dialog;
        dialog.execResult = QDialog::Accepted;
        dialog.userEdits = [](ScriptedDialog& d) { d.setTable(d.table() + EedfTable{{3, 0.5}}); };
        QVERIFY(dialog.editDefaultTable(dir.path()));
        QCOMPARE(dialog.tableAtExec, (EedfTable{{1, 1}, {2, 1}}));
        QCOMPARE(readAll(path), QByteArray("Energy;Resolution\n1;1\n2;1\n3;0.5\n"));
    }

    void unwritableDefaultFileIsReported()
    {
        QTemporaryDir dir;
        ScriptedDialog dialog;
        dialog.execResult = QDialog::Accepted;
        QVERIFY(!dialog.editDefaultTable(dir.filePath("missing")));
        QCOMPARE(dialog.messages, QStringList{"EEDF File Save Error: Error - cannot write EEDF table file."});
    }

    void theRealDialogRunsModallyAndAccepts()
    {
        QTemporaryDir dir;
        EEDF_Dialog dialog;
        QString seenTitle;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* modal = qobject_cast<EEDF_Dialog*>(QApplication::activeModalWidget())) {
                seenTitle = modal->windowTitle();
                modal->accept();
            }
        });
        closer.start(10);
        QVERIFY(dialog.editDefaultTable(dir.path()));
        QCOMPARE(seenTitle, QString("Edit Default EEDF Table"));
        QVERIFY(QFileInfo::exists(dir.filePath("eedf.txt")));
    }
};

QTEST_MAIN(TestEedfDialog)
#include "test_eedf_dialog.moc"
