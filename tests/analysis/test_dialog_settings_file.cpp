#include "analysis/DialogSettingsFile.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

class TestDialogSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const char* name : {"files", "blocked", "isdir.xml", "pipe.xml"}) {
            QDir(name).removeRecursively();
            QFile::remove(name);
        }
    }

    void writesEntriesInOrderAndReadsThemBack()
    {
        const DialogEntries entries = {{"zeta", "1"}, {"alpha", "3.5E-3"}, {"mid", ""}, {"alpha", "again"}};
        QCOMPARE(writeDialogSettingsFile("files/deeper/dialog.xml", "SomeDialog", entries), QString());
        QFile file("files/deeper/dialog.xml");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith("<?xml version=\"1.0\""));
        QVERIFY(text.contains("<settings class=\"SomeDialog\">"));
        QVERIFY(text.indexOf("<zeta>1</zeta>") < text.indexOf("<alpha>3.5E-3</alpha>"));
        QVERIFY(text.contains("\n    <mid"));

        QMap<QString, QString> read;
        QCOMPARE(readDialogSettingsFile("files/deeper/dialog.xml", "SomeDialog", read), QString());
        QCOMPARE(read.value("zeta"), QString("1"));
        QCOMPARE(read.value("alpha"), QString("again")); // a repeated name keeps the last text
        QVERIFY(read.contains("mid"));
    }

    void missingForeignOrBrokenFilesGiveNothingQuietly()
    {
        QMap<QString, QString> read{{"stale", "x"}};
        QCOMPARE(readDialogSettingsFile("files/none.xml", "SomeDialog", read), QString());
        QVERIFY(read.isEmpty());

        QCOMPARE(writeDialogSettingsFile("files/other.xml", "OtherDialog", {{"a", "1"}}), QString());
        QCOMPARE(readDialogSettingsFile("files/other.xml", "SomeDialog", read), QString());
        QVERIFY(read.isEmpty());

        QFile broken("files/broken.xml");
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<settings class=\"SomeDialog\"><a>1</a><b>2");
        broken.close();
        QCOMPARE(readDialogSettingsFile("files/broken.xml", "SomeDialog", read), QString());
        QVERIFY(read.isEmpty());
    }

    void anEmptyClassWritesNoneAndReadsAnySettingsRoot()
    {
        QCOMPARE(writeDialogSettingsFile("files/plain.xml", QString(), {{"a", "1"}}), QString());
        QFile file("files/plain.xml");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("<settings>\n    <a>1</a>"), qPrintable(text));

        QMap<QString, QString> read;
        QCOMPARE(writeDialogSettingsFile("files/other.xml", "OtherDialog", {{"b", "2"}}), QString());
        QCOMPARE(readDialogSettingsFile("files/other.xml", QString(), read), QString());
        QCOMPARE(read.value("b"), QString("2"));

        // Another root is still no settings file.
        QFile foreign("files/foreign.xml");
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.write("<options><b>2</b></options>");
        foreign.close();
        QCOMPARE(readDialogSettingsFile("files/foreign.xml", QString(), read), QString());
        QVERIFY(read.isEmpty());
    }

    void failuresCarryTheirMessages()
    {
        // A file that exists but cannot be opened for reading.
        QVERIFY(QDir().mkpath("isdir.xml"));
        QMap<QString, QString> read;
        const QString readError = readDialogSettingsFile("isdir.xml", "SomeDialog", read);
        QVERIFY2(readError.startsWith("Cannot read settings file [isdir.xml]\nError code: "), qPrintable(readError));
        QVERIFY(readError.endsWith("\n"));

        // The target cannot be written.
        const QString writeError = writeDialogSettingsFile("isdir.xml", "SomeDialog", {{"a", "1"}});
        QVERIFY2(writeError.startsWith("Cannot write settings file [isdir.xml]\nError code: "), qPrintable(writeError));

        // The folder cannot be created: a file stands in its place. Nothing is written.
        QFile blocker("blocked");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(writeDialogSettingsFile("blocked/dialog.xml", "SomeDialog", {{"a", "1"}}),
                 QString("Cannot create directory name [blocked]\n"));
        QCOMPARE(QFileInfo("blocked").size(), 0);

        // A FIFO in the file's place neither blocks the reader (the window
        // would freeze) nor is replaced by the writer.
        QVERIFY(::mkfifo("pipe.xml", 0600) == 0);
        QCOMPARE(readDialogSettingsFile("pipe.xml", "SomeDialog", read),
                 QString("Cannot read settings file [pipe.xml]\nError code: it is a FIFO (named pipe), not a regular "
                         "file\n"));
        QCOMPARE(writeDialogSettingsFile("pipe.xml", "SomeDialog", {{"a", "1"}}),
                 QString("Cannot write settings file [pipe.xml]\nError code: it is a FIFO (named pipe), not a regular "
                         "file\n"));
        QVERIFY(!QFileInfo("pipe.xml").isFile());
    }
};

QTEST_GUILESS_MAIN(TestDialogSettingsFile)
#include "test_dialog_settings_file.moc"
