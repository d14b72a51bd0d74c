// Recovery journals: kept while a session gathers frames, replayed into the
// same session, whole up to a cut or damaged record, removed on request;
// claimed by one owner at a time, offered only when their owner is gone;
// leftovers of dead processes cleaned; unreadable ones set aside.

#include "session/JournalReplay.h"
#include "session/RecoveryCopy.h"
#include "session/SessionFile.h"
#include "session/SessionJournal.h"

#include "SimulatedAcquisition.h"

#include "support/FileSizeLimit.h"

#include <QBuffer>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A session as its window holds it, with its recovery journal.
struct LiveSession
{
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
    SessionJournal recovery{[this] { return SessionContents{data, config, settings}; }};

    explicit LiveSession(const QString& folder) { recovery.setFolder(folder); }

    void file(const scanResult& frame) { QVERIFY(recovery.file(data, frame)); }
};

QVector<scanResult> frames(int scans, int delays = 5)
{
    AcquisitionPlan plan;
    plan.scans = scans;
    plan.delays = delays;
    plan.harmonics = 8;
    return simulatedAcquisition(plan);
}

int framesIn(const QString& journal)
{
    SessionContents contents;
    QString error;
    if (!replayJournal(journal, contents, error))
        return -1;
    return contents.data.frameCount();
}

QByteArray sessionDocument(measuredData& data, const ConfigParam& config, const LangmuirSettings& settings)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeSession(buffer, data, config, settings, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    return buffer.data();
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestSessionRecovery : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString folder;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        folder = dir->filePath(QStringLiteral("recovery"));
    }

    // The journal's purpose: the session replayed from it is the one that was
    // filed live, whatever changed on the way (a base level set between scans
    // applies to the frames after it only; settings edited meanwhile).
    void aSessionReplayedFromItsJournalSavesTheSameFile()
    {
        LiveSession session(folder);
        session.config.dataScanRunScans = 7;
        session.data.deviceID = QStringLiteral("SIM0042");
        session.data.comment = QStringLiteral("argon, 2 Pa");
        const QVector<scanResult> all = frames(6);
        for (int i = 0; i < all.size(); ++i) {
            if (i == all.size() / 2) {
                session.data.setBaseLevel(session.data.baseLevelCandidates(0));
                session.settings.probe_radius = 0.002;
            }
            session.file(all[i]);
        }
        QVERIFY(session.data.baseLevelSet);
        QVERIFY(session.recovery.waitForWrite());

        SessionContents replayed;
        QString error;
        QVERIFY2(replayJournal(session.recovery.fileName(), replayed, error), qPrintable(error));
        QCOMPARE(replayed.data.frameCount(), all.size());
        QCOMPARE(replayed.settings.probe_radius, 0.002);
        QCOMPARE(replayed.data.baseLevel, session.data.baseLevel);
        const QByteArray live = sessionDocument(session.data, session.config, session.settings);
        QVERIFY(live.contains("argon, 2 Pa"));
        QCOMPARE(sessionDocument(replayed.data, replayed.config, replayed.settings), live);
    }

    // Frames reach the file by themselves, with no flush and no further
    // frame to carry them.
    void filedFramesReachTheFileUnasked()
    {
        LiveSession session(folder);
        const QVector<scanResult> all = frames(3);
        for (const scanResult& frame : all)
            session.file(frame);
        QTRY_COMPARE_WITH_TIMEOUT(framesIn(session.recovery.fileName()), all.size(), 30000);
        QCOMPARE(QFileInfo(session.recovery.fileName()).absolutePath(), QFileInfo(folder).absoluteFilePath());
    }

    // A journal cut off inside a record (a power cut during a write) gives
    // every whole record before the cut, as does one damaged inside a
    // record; a restored session continues it after its last whole record.
    void aCutOrDamagedJournalKeepsEveryWholeRecordBeforeIt()
    {
        const QVector<scanResult> all = frames(4);
        QString name;
        {
            LiveSession session(folder);
            for (const scanResult& frame : all)
                session.file(frame);
            QVERIFY(session.recovery.waitForWrite());
            name = session.recovery.fileName();
        }
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        file.close();
        // A frame record: 4 + 1 + 4 bytes around a payload of the filing
        // second (8), six whole numbers (4 each) and the mode (1), the
        // frequency and 4 x 16 harmonic values (8 each).
        constexpr int frameRecord = 9 + 8 + 6 * 4 + 1 + 8 + 64 * 8;
        const int n = all.size();
        auto cutTo = [&](qint64 size) {
            writeFile(name, whole.left(int(size)));
            return framesIn(name);
        };
        QCOMPARE(cutTo(whole.size() - 1), n - 1);
        QCOMPARE(cutTo(whole.size() - 2 * frameRecord - frameRecord / 2), n - 3);
        QCOMPARE(cutTo(whole.size() - frameRecord), n - 1);
        QByteArray damaged = whole;
        damaged[damaged.size() - 3 * frameRecord + 40] = char(damaged[damaged.size() - 3 * frameRecord + 40] ^ 0x10);
        writeFile(name, damaged);
        QCOMPARE(framesIn(name), n - 3);

        cutTo(whole.size() - frameRecord / 2);
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        SessionContents replayed;
        QString error;
        QVERIFY2(replayJournal(name, replayed, error), qPrintable(error));
        LiveSession restored(folder);
        restored.data = replayed.data;
        restored.config = replayed.config;
        restored.settings = replayed.settings;
        restored.recovery.adopt(std::move(orphans.front()));
        QCOMPARE(restored.recovery.fileName(), name);
        restored.file(all.last());
        QVERIFY(restored.recovery.waitForWrite());
        QCOMPARE(framesIn(name), n);
    }

    void removingDeletesTheJournalAndTheNextFrameBeginsANewOne()
    {
        LiveSession session(folder);
        session.file(frames(1).first());
        QVERIFY(session.recovery.waitForWrite());
        const QString first = session.recovery.fileName();
        QVERIFY(QFile::exists(first));
        QVERIFY(QFile::exists(first + QStringLiteral(".lock")));

        session.recovery.remove();
        QCOMPARE(session.recovery.fileName(), QString());
        QCOMPARE(filesIn(folder), QStringList());

        session.file(frames(1).last());
        QVERIFY(session.recovery.waitForWrite());
        QVERIFY(QFile::exists(session.recovery.fileName()));
        QVERIFY(session.recovery.fileName() != first);
        // The new journal begins with the session as it stands, the frame
        // filed before included.
        QCOMPARE(framesIn(session.recovery.fileName()), 2);
    }

    void onlyCopiesWhoseOwnerIsGoneAreClaimed()
    {
        auto live = std::make_unique<LiveSession>(folder);
        live->file(frames(1).first());
        QVERIFY(live->recovery.waitForWrite());
        const QString copy = live->recovery.fileName();
        QVERIFY(RecoveryCopy::claimOrphans(folder).empty());

        // The owner goes without a clean close: the copy stays, unclaimed.
        live.reset();
        QVERIFY(QFile::exists(copy));
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        QCOMPARE(orphans.front().fileName(), copy);
        QCOMPARE(orphans.front().lastWritten(), QFileInfo(copy).lastModified());
        // Claimed by one, offered to no other.
        QVERIFY(RecoveryCopy::claimOrphans(folder).empty());

        orphans.front().release();
        QVERIFY(QFile::exists(copy));
        orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        orphans.front().remove();
        QCOMPARE(filesIn(folder), QStringList());
    }

    void orphansComeOldestFirst()
    {
        QStringList written;
        for (int i = 0; i < 3; ++i) {
            LiveSession session(folder);
            session.file(frames(1)[i]);
            QVERIFY(session.recovery.waitForWrite());
            written.append(session.recovery.fileName());
            QFile copy(written.last());
            QVERIFY(copy.open(QIODevice::ReadWrite));
            // Written in the order 2, 0, 1.
            QVERIFY(copy.setFileTime(QDateTime::currentDateTime().addSecs(-100 * ((i + 1) % 3 + 1)),
                                     QFileDevice::FileModificationTime));
        }
        const std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 3);
        QCOMPARE(orphans[0].fileName(), written[1]);
        QCOMPARE(orphans[1].fileName(), written[0]);
        QCOMPARE(orphans[2].fileName(), written[2]);
    }

    // After a power cut a lock file may be empty, or name a running process
    // that took the dead one's id: neither may keep a journal (or a recovery
    // copy of an earlier version) from being offered. Locks without a file
    // and unfinished writes are cleaned away.
    void leftoversOfDeadProcessesAreCleanedAndTheirCopiesOffered()
    {
        QVERIFY(QDir().mkpath(folder));
        const QString emptyLock = folder + QStringLiteral("/a.ldj");
        writeFile(emptyLock, "not read here");
        writeFile(emptyLock + QStringLiteral(".lock"), QByteArray());
        const QString reusedId = folder + QStringLiteral("/b.ldf");
        writeFile(reusedId, "not read here");
        writeFile(reusedId + QStringLiteral(".lock"),
                  QByteArray::number(QCoreApplication::applicationPid()) + "\n"
                      + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n"
                      + QSysInfo::machineHostName().toUtf8() + "\n");
        writeFile(folder + QStringLiteral("/c.ldj.lock"), QByteArray());
        writeFile(folder + QStringLiteral("/d.ldf.Xy12Ab"), "half a copy");
        writeFile(folder + QStringLiteral("/b.ldf.Qw34Er"), "half a copy");
        writeFile(folder + QStringLiteral("/notes.txt"), "someone else's");

        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QStringList claimed;
        for (const RecoveryCopy& copy : orphans)
            claimed.append(QFileInfo(copy.fileName()).fileName());
        claimed.sort();
        QCOMPARE(claimed, (QStringList{QStringLiteral("a.ldj"), QStringLiteral("b.ldf")}));
        QCOMPARE(filesIn(folder), (QStringList{QStringLiteral("a.ldj"), QStringLiteral("a.ldj.lock"),
                                               QStringLiteral("b.ldf"), QStringLiteral("b.ldf.lock"),
                                               QStringLiteral("notes.txt")}));
        orphans.clear();
        QCOMPARE(filesIn(folder),
                 (QStringList{QStringLiteral("a.ldj"), QStringLiteral("b.ldf"), QStringLiteral("notes.txt")}));
    }

    void anUnreadableCopyIsSetAsideForGood()
    {
        QVERIFY(QDir().mkpath(folder));
        const QString broken = folder + QStringLiteral("/broken.ldj");
        writeFile(broken, "<?xml version=\"1.0\"?><measuredData sensor=\"Langmuir Probe\"><header>");
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        SessionContents contents;
        QString error;
        QVERIFY(!readRecoveryFile(orphans.front().fileName(), contents, error));
        QVERIFY(!error.isEmpty());

        const QString aside = orphans.front().setAside();
        QCOMPARE(aside, folder + QStringLiteral("/unreadable/broken.ldj"));
        QVERIFY(QFile::exists(aside));
        QVERIFY(!QFile::exists(broken));
        QVERIFY(RecoveryCopy::claimOrphans(folder).empty());
        QCOMPARE(filesIn(folder), QStringList());

        // A second broken copy of the same name does not replace the first.
        writeFile(broken, "garbage");
        orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        const QString second = orphans.front().setAside();
        QVERIFY(!second.isEmpty() && second != aside);
        QVERIFY(QFile::exists(aside) && QFile::exists(second));
    }

    // A journal whose reading ended the program (it crashed the reader) is
    // refused from then on, so that it can be set aside instead of crashing
    // every start.
    void aJournalThatEndedItsReaderIsNotReadAgain()
    {
        {
            LiveSession session(folder);
            session.file(frames(1).first());
            QVERIFY(session.recovery.waitForWrite());
        }
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        SessionContents contents;
        QString error;
        QVERIFY2(readRecoveryFile(orphans.front(), contents, error), qPrintable(error));
        orphans.front().startReading(); // and the program ends here
        orphans.front().release();

        for (int start = 0; start < 2; ++start) {
            orphans = RecoveryCopy::claimOrphans(folder);
            QCOMPARE(int(orphans.size()), 1);
            QVERIFY(orphans.front().crashedWhileReading());
            QVERIFY(!readRecoveryFile(orphans.front(), contents, error));
            QVERIFY(error.contains(QStringLiteral("ended the program")));
            orphans.front().release();
        }
    }

    void namesAreFileNameSafeAndUnique()
    {
        QString error;
        RecoveryCopy plain = RecoveryCopy::claimNew(folder, QString(), error);
        QVERIFY2(plain.isValid(), qPrintable(error));
        QVERIFY(QFileInfo(plain.fileName()).fileName().startsWith(QStringLiteral("session-")));
        QVERIFY(plain.fileName().endsWith(QStringLiteral(".ldj")));

        RecoveryCopy patterned = RecoveryCopy::claimNew(folder, QStringLiteral("../run 7/a.b"), error);
        QVERIFY2(patterned.isValid(), qPrintable(error));
        QCOMPARE(QFileInfo(patterned.fileName()).absolutePath(), QFileInfo(folder).absoluteFilePath());
        QVERIFY2(QFileInfo(patterned.fileName()).fileName().startsWith(QStringLiteral("_run_7_ab-")),
                 qPrintable(patterned.fileName()));
        QVERIFY(patterned.fileName() != plain.fileName());
    }

    void aJournalThatCannotBeWrittenIsReportedAndCatchesUp()
    {
        // A file where the folder should be.
        writeFile(dir->filePath(QStringLiteral("blocked")), "a file");
        {
            LiveSession blocked(dir->filePath(QStringLiteral("blocked/recovery")));
            QSignalSpy failed(&blocked.recovery, &SessionJournal::journalFailed);
            blocked.file(frames(1).first());
            QVERIFY(!blocked.recovery.waitForWrite());
            QCOMPARE(failed.count(), 1);
            QVERIFY(failed.first().first().toString().contains(QStringLiteral("recovery folder")));
            // Said once, not at every attempt.
            blocked.file(frames(1).last());
            QVERIFY(!blocked.recovery.waitForWrite());
            QCOMPARE(failed.count(), 1);
        }

        LiveSession session(folder);
        const QVector<scanResult> all = frames(10);
        session.file(all.first());
        QVERIFY(session.recovery.waitForWrite());
        const QString name = session.recovery.fileName();
        QSignalSpy failed(&session.recovery, &SessionJournal::journalFailed);
        {
            // Less room than one more record: every write fails part way.
            const FileSizeLimit full(rlim_t(QFileInfo(name).size()) + 100);
            for (int i = 1; i < all.size(); ++i)
                session.file(all[i]);
            QVERIFY(!session.recovery.waitForWrite());
        }
        QCOMPARE(failed.count(), 1);
        // What a failed write put out was cut off again.
        QCOMPARE(framesIn(name), 1);
        // Room again: nothing was lost.
        QVERIFY(session.recovery.waitForWrite());
        QCOMPARE(framesIn(name), all.size());
    }
};

QTEST_GUILESS_MAIN(TestSessionRecovery)
#include "test_session_recovery.moc"
