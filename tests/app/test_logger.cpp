#include "Logger.h"

#include <QtTest>

namespace {

const QDateTime kStart(QDate(2021, 11, 9), QTime(14, 38, 11));

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void emptyDirectoryStartsANewFileWithTheBanner()
    {
        QTemporaryDir dir;
        Logger logger(dir.path(), kStart);
        QCOMPARE(QFileInfo(logger.filePath()).fileName(), QString("orvel_20211109143811.log"));
        QCOMPARE(QFileInfo(logger.filePath()).absolutePath(), QDir(dir.path()).absolutePath());

        const QString text = QString::fromLocal8Bit(readAll(logger.filePath()));
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 8); // two empty lines, five banner lines, nothing after the last line end
        QCOMPARE(lines[0], QString());
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2], QString("************************ Logged by Orvel Logger ************************"));
        QCOMPARE(lines[3], QString("\tSoftware Version: 1.5.0 (Build 1030)"));
        QVERIFY2(lines[4].startsWith("\tSoftware Description: Qt "), qPrintable(lines[4]));
        QCOMPARE(lines[5], QString("\tLog Creation Date: Nov 09 2021 14:38:11"));
        QCOMPARE(lines[6], QString(71, '*'));
        QCOMPARE(lines[7], QString());
    }

    void newestFileIsContinuedUpToTheLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("continued");
        QTest::newRow("small") << 10 << true;
        QTest::newRow("exactly the limit") << 102400 << true;
        QTest::newRow("one byte over") << 102401 << false;
    }

    void newestFileIsContinuedUpToTheLimit()
    {
        QFETCH(int, size);
        QFETCH(bool, continued);
        QTemporaryDir dir;
        const QString older = dir.filePath("orvel_20200101000000.log");
        const QString newest = dir.filePath("orvel_20210101000000.log");
        writeFile(older, "old\n");
        const QByteArray previous(size, 'x');
        writeFile(newest, previous);
        // Neither the bare name nor another program's log takes part.
        writeFile(dir.filePath("orvel_29990101000000.txt"), "not a log\n");
        writeFile(dir.filePath("other_29990101000000.log"), "not ours\n");

        Logger logger(dir.path(), kStart);
        logger.append("line");

        const QString expected = continued ? newest : dir.filePath("orvel_20211109143811.log");
        QCOMPARE(logger.filePath(), QFileInfo(expected).absoluteFilePath());
        const QByteArray written = readAll(expected);
        const QByteArray added = (Logger::banner(kStart) + "line\n").toLocal8Bit();
        QCOMPARE(written, continued ? previous + added : added);
        QCOMPARE(readAll(older), QByteArray("old\n"));
        if (!continued)
            QCOMPARE(readAll(newest), previous);
    }

    void twoStartsInOneSecondShareTheNewFile()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("orvel_20200101000000.log"), QByteArray(Logger::sizeLimit + 1, 'x'));
        const QString first = Logger(dir.path(), kStart).filePath();
        const QString second = Logger(dir.path(), kStart).filePath();
        QCOMPARE(second, first);
        const QByteArray banner = Logger::banner(kStart).toLocal8Bit();
        QCOMPARE(readAll(first), banner + banner);
    }

    void appendEndsEveryTextWithExactlyOneLineEnd()
    {
        QTemporaryDir dir;
        Logger logger(dir.path(), kStart);
        const qint64 bannerSize = QFileInfo(logger.filePath()).size();
        logger.append("Starting new scan at 09/11/2021 14:38:12");
        logger.append("already ended\n");
        logger.append("two lines\nin one text");
        logger.append("");
        QCOMPARE(readAll(logger.filePath()).mid(bannerSize),
                 QByteArray("Starting new scan at 09/11/2021 14:38:12\nalready ended\ntwo lines\nin one text\n\n"));
    }

    void unwritableLocationDropsTextsSilently()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("no/such/folder");
        Logger logger(missing, kStart);
        logger.append("lost");
        QVERIFY(!QFileInfo::exists(logger.filePath()));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void listingShowsSizeAndNameNewestFirst()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("orvel_20200101000000.log"), QByteArray(7, 'a'));
        writeFile(dir.filePath("orvel_20210101000000.log"), QByteArray(1234567, 'b'));
        QVERIFY(QFile::link(dir.filePath("orvel_20210101000000.log"), dir.filePath("orvel_20990101000000.log")));
        const QFileInfoList files = Logger::logFiles(QDir(dir.path()));
        QCOMPARE(Logger::listing(files), QString("entryInfoList() contains 2 items.\n"
                                                 "     Bytes Filename\n"
                                                 "   1234567 orvel_20210101000000.log\n"
                                                 "         7 orvel_20200101000000.log\n"));
    }

    void instanceIsCreatedOnceInTheWorkingDirectory()
    {
        QObject owner;
        Logger* logger = Logger::instance(&owner);
        QCOMPARE(Logger::instance(), logger);
        QCOMPARE(logger->parent(), &owner);
        QCOMPARE(QFileInfo(logger->filePath()).absolutePath(), QDir::current().absolutePath());
        QVERIFY(QFileInfo::exists(logger->filePath()));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "test_logger.moc"
