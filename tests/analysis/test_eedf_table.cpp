#include "analysis/EedfTable.h"
#include "analysis/TableModel.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVector<double> energies(const EedfTable& table)
{
    QVector<double> values;
    for (const EedfEntry& entry : table)
        values.append(entry.energy);
    return values;
}

const QString kCorrupt = "Error - EEDF table File Corrupt.";

} // namespace

class TestEedfTable : public QObject
{
    Q_OBJECT

private slots:
    void defaultTableRunsFromHalfAVoltTo29()
    {
        const EedfTable table = defaultEedfTable();
        QCOMPARE(table.size(), 20);
        QCOMPARE(table.first(), (EedfEntry{0.5, 0.4}));
        QCOMPARE(table[3], (EedfEntry{2, 0.5}));
        QCOMPARE(table[10], (EedfEntry{9, 1}));
        QCOMPARE(table[11], (EedfEntry{10, 2}));
        QCOMPARE(table.last(), (EedfEntry{29, 3}));
        QVERIFY(std::is_sorted(table.begin(), table.end(),
                               [](const EedfEntry& a, const EedfEntry& b) { return a.energy < b.energy; }));
    }

    void writtenFileReadsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.eedfTable");
        const EedfTable table{{0.5, 0.4}, {1.23456789, 1e-7}, {-2, 0}};
        QCOMPARE(writeEedfTable(path, table), QString());
        // The stream's default number form: six significant digits.
        QCOMPARE(readAll(path), QByteArray("Energy;Resolution\n0.5;0.4\n1.23457;1e-07\n-2;0\n"));
        EedfTable back;
        QCOMPARE(readEedfTable(path, back), QString());
        QCOMPARE(back, (EedfTable{{0.5, 0.4}, {1.23457, 1e-7}, {-2, 0}}));

        QCOMPARE(writeEedfTable(path, defaultEedfTable()), QString());
        QCOMPARE(readEedfTable(path, back), QString());
        QCOMPARE(back, defaultEedfTable());
    }

    void linesThatAreNotTwoNumbersAreSkipped()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.eedfTable");
        writeFile(path, "Energy;Resolution (eV)\r\n"
                        "5;1.5;trailing word\r\n"
                        "abc;1\n"
                        "7;not a number\n"
                        ";3\n"
                        "8\n"
                        "\n"
                        "inf;1\n"
                        "4;nan\n"
                        " 9 ; 2 \n");
        EedfTable table{{1, 1}};
        QCOMPARE(readEedfTable(path, table), QString());
        QCOMPARE(table, (EedfTable{{5, 1.5}, {9, 2}}));
    }

    void unreadableFilesLeaveTheTableAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << QByteArray() << "Error - cannot open EEDF table File.";
        QTest::newRow("empty") << QByteArray("") << kCorrupt;
        QTest::newRow("header only") << QByteArray("Energy;Resolution\n") << kCorrupt;
        QTest::newRow("other header") << QByteArray("Energy,Resolution\n1,1\n") << kCorrupt;
        QTest::newRow("no valid line") << QByteArray("Energy;Resolution\nx;1\n2;y\n") << kCorrupt;
    }

    void unreadableFilesLeaveTheTableAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.eedfTable");
        if (!content.isNull())
            writeFile(path, content);
        EedfTable table{{3, 1}};
        QCOMPARE(readEedfTable(path, table), error);
        QCOMPARE(table, (EedfTable{{3, 1}}));
        QCOMPARE(readEedfTableOrDefault(path), defaultEedfTable());
    }

    void unwritableTargetReportsAndLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/t.eedfTable");
        QCOMPARE(writeEedfTable(path, defaultEedfTable()), QString("Error - cannot write EEDF table file."));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(defaultEedfTablePath("/opt/orvel"), QString("/opt/orvel/eedf.txt"));

        // A FIFO in the table's place is neither waited on (the window would
        // freeze) nor replaced.
        const QString pipe = dir.filePath("eedf.txt");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        EedfTable table{{3, 1}};
        QCOMPARE(readEedfTable(pipe, table), QString("Error - cannot open EEDF table File."));
        QCOMPARE(readEedfTableOrDefault(pipe), defaultEedfTable());
        QCOMPARE(writeEedfTable(pipe, defaultEedfTable()), QString("Error - cannot write EEDF table file."));
        QVERIFY(!QFileInfo(pipe).isFile());
    }

    void modelShowsTwoEditableColumns()
    {
        TableModel model;
        model.setTable({{2, 0.5}, {1, 0.25}});
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Energy"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("Resolution"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QString("1")); // sorted on the way in
        QCOMPARE(model.data(model.index(0, 1), Qt::EditRole).toString(), QString("0.25"));
        QCOMPARE(model.data(model.index(1, 0), Qt::ToolTipRole).toString(), QString("Double click to edit."));
        QVERIFY(model.flags(model.index(1, 1)) & Qt::ItemIsEditable);
    }

    void anEnergyThatExistsIsRefused()
    {
        TableModel model;
        model.setTable(defaultEedfTable());
        QSignalSpy errors(&model, &TableModel::tableEntryError);
        QVERIFY(!model.setData(model.index(0, 0), "29"));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QString("An entry for this energy level already exists."));
        QCOMPARE(model.table(), defaultEedfTable());

        // Its own value again is no change and no complaint.
        QVERIFY(model.setData(model.index(0, 0), "0.5"));
        // Text that is not a finite number is refused quietly, as is any role but editing.
        QVERIFY(!model.setData(model.index(0, 0), "abc"));
        QVERIFY(!model.setData(model.index(0, 1), "nan"));
        QVERIFY(!model.setData(model.index(0, 1), "inf"));
        QVERIFY(!model.setData(model.index(0, 1), "7", Qt::DisplayRole));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(model.table(), defaultEedfTable());

        QVERIFY(model.setData(model.index(0, 1), "-0.125"));
        QCOMPARE(model.table().first(), (EedfEntry{0.5, -0.125}));
    }

    void anEditedEnergyMovesToItsPlace()
    {
        TableModel model;
        model.setTable({{1, 1}, {2, 1}, {3, 1}, {4, 1}});
        QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
        QVERIFY(model.setData(model.index(0, 0), "3.5"));
        QCOMPARE(energies(model.table()), (QVector<double>{2, 3, 3.5, 4}));
        QVERIFY(model.setData(model.index(3, 0), "0.5"));
        QCOMPARE(energies(model.table()), (QVector<double>{0.5, 2, 3, 3.5}));
        QVERIFY(model.setData(model.index(1, 0), "2.5"));
        QCOMPARE(energies(model.table()), (QVector<double>{0.5, 2.5, 3, 3.5}));
        QCOMPARE(moves.count(), 2);
    }

    void addedRowsContinueFromTheLast()
    {
        TableModel model;
        QVERIFY(model.insertRows(0, 1));
        QCOMPARE(model.table(), (EedfTable{{1, 1}}));
        model.setTable(defaultEedfTable());
        QVERIFY(model.insertRows(model.rowCount(), 2));
        QCOMPARE(model.table().mid(20), (EedfTable{{32, 3}, {35, 3}}));
        QVERIFY(!model.insertRows(0, 1)); // only after the last row
        QCOMPARE(model.rowCount(), 22);

        // A zero resolution would repeat the last energy.
        QSignalSpy errors(&model, &TableModel::tableEntryError);
        QVERIFY(model.setData(model.index(21, 1), "0"));
        QVERIFY(!model.insertRows(model.rowCount(), 1));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(model.rowCount(), 22);

        QVERIFY(model.removeRows(20, 2));
        QCOMPARE(model.table(), defaultEedfTable());
        QVERIFY(!model.removeRows(19, 2));
    }

    void duplicatesInAFileAreKept()
    {
        TableModel model;
        model.setTable({{3, 1}, {1, 2}, {3, 0.5}});
        QCOMPARE(model.table(), (EedfTable{{1, 2}, {3, 1}, {3, 0.5}}));
    }
};

QTEST_GUILESS_MAIN(TestEedfTable)
#include "test_eedf_table.moc"
