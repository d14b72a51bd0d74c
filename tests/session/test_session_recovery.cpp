// Recovery copies: written while a session gathers frames, holding every
// frame once flushed, only when something changed, removed on request; claimed
// by one owner at a time, offered only when their owner is gone; leftovers of
// dead processes cleaned; unreadable copies set aside.

#include "session/RecoveryCopy.h"
#include "session/SessionRecovery.h"

#include "SimulatedAcquisition.h"

#include "support/FileSizeLimit.h"

#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A session as its window holds it, with its recovery copy.
struct LiveSession
{
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
    SessionRecovery recovery{[this] { return SessionContents{data, config, settings}; }};

    explicit LiveSession(const QString& folder, int intervalMs = 100)
    {
        recovery.setFolder(folder);
        recovery.setInterval(intervalMs);
    }

    void file(const scanResult& frame)
    {
        QVERIFY(data.add(frame));
        recovery.noteChange();
    }
};

QVector<scanResult> frames(int scans, int delays = 5)
{
    AcquisitionPlan plan;
    plan.scans = scans;
    plan.delays = delays;
    plan.harmonics = 8;
    return simulatedAcquisition(plan);
}

int framesIn(const QString& copy)
{
    SessionContents contents;
    QString error;
    if (!SessionRecovery::readCopy(copy, contents, error))
        return -1;
    return contents.data.frameCount();
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

    void copiesFollowArrivingFramesAndAFlushCatchesUp()
    {
        LiveSession session(folder);
        session.config.dataScanRunScans = 7;
        session.settings.probe_radius = 0.001;
        session.data.deviceID = QStringLiteral("SIM0042");
        // Every copy written while frames arrive is a whole session file
        // holding no more frames than had been filed when it was taken.
        QVector<int> copied;
        QObject::connect(&session.recovery, &SessionRecovery::copyWritten,
                         [&](const QString& copy) { copied.append(framesIn(copy)); });
        const QVector<scanResult> all = frames(12);
        for (const scanResult& frame : all) {
            session.file(frame);
            QTest::qWait(5);
        }
        QVERIFY2(!copied.isEmpty(), "no copy while the frames arrived");
        for (int i = 0; i < copied.size(); ++i) {
            QVERIFY2(copied[i] > 0 && copied[i] <= all.size(), qPrintable(QString::number(copied[i])));
            QVERIFY(i == 0 || copied[i] >= copied[i - 1]);
        }

        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        QVERIFY(!session.recovery.hasPendingChanges());
        const QString copy = session.recovery.fileName();
        QCOMPARE(QFileInfo(copy).absolutePath(), QFileInfo(folder).absoluteFilePath());
        SessionContents contents;
        QString error;
        QVERIFY2(SessionRecovery::readCopy(copy, contents, error), qPrintable(error));
        QCOMPARE(contents.data.frameCount(), all.size());
        QCOMPARE(contents.data.deviceID, QStringLiteral("SIM0042"));
        QCOMPARE(contents.config.dataScanRunScans, 7u);
        QCOMPARE(contents.settings.probe_radius, 0.001);
        // Writing the copy leaves the session's own file name alone.
        QCOMPARE(session.data.fileName, QString());
    }

    void nothingChangedNothingIsWritten()
    {
        LiveSession session(folder, 50);
        QSignalSpy written(&session.recovery, &SessionRecovery::copyWritten);
        session.recovery.flush();
        QTest::qWait(200);
        QCOMPARE(written.count(), 0);
        QCOMPARE(filesIn(folder), QStringList());

        session.file(frames(1).first());
        QTRY_COMPARE(written.count(), 1);
        QTest::qWait(300);
        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        QCOMPARE(written.count(), 1);
    }

    void aCompletedScanGroupIsCopiedBeforeTheIntervalEnds()
    {
        LiveSession session(folder, 3600 * 1000);
        QSignalSpy written(&session.recovery, &SessionRecovery::copyWritten);
        const QVector<scanResult> all = frames(2, 3);
        for (int i = 0; i < 6; ++i)
            session.file(all[i]);
        QTest::qWait(300);
        QCOMPARE(written.count(), 0);
        session.recovery.noteMilestone();
        QTRY_COMPARE(written.count(), 1);
        QCOMPARE(framesIn(session.recovery.fileName()), 6);

        for (int i = 6; i < all.size(); ++i)
            session.file(all[i]);
        session.recovery.noteMilestone();
        QTRY_COMPARE(written.count(), 2);
        QCOMPARE(framesIn(session.recovery.fileName()), all.size());
    }

    void removingDeletesTheCopyAndLaterChangesStartANewOne()
    {
        LiveSession session(folder);
        session.file(frames(1).first());
        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        const QString first = session.recovery.fileName();
        QVERIFY(QFile::exists(first));
        QVERIFY(QFile::exists(first + QStringLiteral(".lock")));

        session.recovery.remove();
        QCOMPARE(session.recovery.fileName(), QString());
        QCOMPARE(filesIn(folder), QStringList());
        QVERIFY(!session.recovery.hasPendingChanges());

        session.file(frames(1).last());
        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        QVERIFY(QFile::exists(session.recovery.fileName()));
        QVERIFY(session.recovery.fileName() != first);
    }

    // A remove while a copy is on its way must not let the copy appear
    // after it.
    void removingDuringAWriteLeavesNothing()
    {
        auto session = std::make_unique<LiveSession>(folder);
        for (const scanResult& frame : frames(20, 10))
            session->data.add(frame);
        session->recovery.noteChange();
        session->recovery.flush();
        session->recovery.remove();
        // Any write still on its way has ended once the session is gone.
        session.reset();
        QCOMPARE(filesIn(folder), QStringList());
    }

    void onlyCopiesWhoseOwnerIsGoneAreClaimed()
    {
        auto live = std::make_unique<LiveSession>(folder);
        live->file(frames(1).first());
        live->recovery.flush();
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
            session.recovery.flush();
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
    // that took the dead one's id: neither may keep a copy from being
    // offered. Locks without a copy and unfinished writes are cleaned away.
    void leftoversOfDeadProcessesAreCleanedAndTheirCopiesOffered()
    {
        QVERIFY(QDir().mkpath(folder));
        const QString emptyLock = folder + QStringLiteral("/a.ldf");
        writeFile(emptyLock, "not read here");
        writeFile(emptyLock + QStringLiteral(".lock"), QByteArray());
        const QString reusedId = folder + QStringLiteral("/b.ldf");
        writeFile(reusedId, "not read here");
        writeFile(reusedId + QStringLiteral(".lock"),
                  QByteArray::number(QCoreApplication::applicationPid()) + "\n"
                      + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n"
                      + QSysInfo::machineHostName().toUtf8() + "\n");
        writeFile(folder + QStringLiteral("/c.ldf.lock"), QByteArray());
        writeFile(folder + QStringLiteral("/c.ldf.Xy12Ab"), "half a copy");
        writeFile(folder + QStringLiteral("/a.ldf.Qw34Er"), "half a copy");
        writeFile(folder + QStringLiteral("/notes.txt"), "someone else's");

        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QStringList claimed;
        for (const RecoveryCopy& copy : orphans)
            claimed.append(QFileInfo(copy.fileName()).fileName());
        claimed.sort();
        QCOMPARE(claimed, (QStringList{QStringLiteral("a.ldf"), QStringLiteral("b.ldf")}));
        QCOMPARE(filesIn(folder), (QStringList{QStringLiteral("a.ldf"), QStringLiteral("a.ldf.lock"),
                                               QStringLiteral("b.ldf"), QStringLiteral("b.ldf.lock"),
                                               QStringLiteral("notes.txt")}));
        orphans.clear();
        QCOMPARE(filesIn(folder),
                 (QStringList{QStringLiteral("a.ldf"), QStringLiteral("b.ldf"), QStringLiteral("notes.txt")}));
    }

    void anUnreadableCopyIsSetAsideForGood()
    {
        QVERIFY(QDir().mkpath(folder));
        const QString broken = folder + QStringLiteral("/broken.ldf");
        writeFile(broken, "<?xml version=\"1.0\"?><measuredData sensor=\"Langmuir Probe\"><header>");
        std::vector<RecoveryCopy> orphans = RecoveryCopy::claimOrphans(folder);
        QCOMPARE(int(orphans.size()), 1);
        SessionContents contents;
        QString error;
        QVERIFY(!SessionRecovery::readCopy(orphans.front().fileName(), contents, error));
        QVERIFY(!error.isEmpty());

        const QString aside = orphans.front().setAside();
        QCOMPARE(aside, folder + QStringLiteral("/unreadable/broken.ldf"));
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

    void namesAreFileNameSafeAndUnique()
    {
        QString error;
        RecoveryCopy plain = RecoveryCopy::claimNew(folder, QString(), error);
        QVERIFY2(plain.isValid(), qPrintable(error));
        QVERIFY(QFileInfo(plain.fileName()).fileName().startsWith(QStringLiteral("session-")));
        QVERIFY(plain.fileName().endsWith(QStringLiteral(".ldf")));

        RecoveryCopy patterned = RecoveryCopy::claimNew(folder, QStringLiteral("../run 7/a.b"), error);
        QVERIFY2(patterned.isValid(), qPrintable(error));
        QCOMPARE(QFileInfo(patterned.fileName()).absolutePath(), QFileInfo(folder).absoluteFilePath());
        QVERIFY2(QFileInfo(patterned.fileName()).fileName().startsWith(QStringLiteral("_run_7_ab-")),
                 qPrintable(patterned.fileName()));
        QVERIFY(patterned.fileName() != plain.fileName());
    }

    void aCopyThatCannotBeWrittenIsReportedAndTheOldOneKept()
    {
        // A file where the folder should be.
        writeFile(dir->filePath(QStringLiteral("blocked")), "a file");
        {
            LiveSession blocked(dir->filePath(QStringLiteral("blocked/recovery")));
            QSignalSpy failed(&blocked.recovery, &SessionRecovery::copyFailed);
            blocked.file(frames(1).first());
            blocked.recovery.flush();
            QVERIFY(!blocked.recovery.waitForWrite());
            QCOMPARE(failed.count(), 1);
            QVERIFY(failed.first().first().toString().contains(QStringLiteral("recovery folder")));
            QVERIFY(blocked.recovery.hasPendingChanges());
            // Said once, not at every attempt.
            blocked.recovery.flush();
            QCOMPARE(failed.count(), 1);
        }

        LiveSession session(folder);
        const QVector<scanResult> all = frames(10);
        session.file(all.first());
        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        const QString copy = session.recovery.fileName();
        const qint64 before = QFileInfo(copy).size();
        for (const scanResult& frame : all)
            session.data.add(frame);
        QSignalSpy failed(&session.recovery, &SessionRecovery::copyFailed);
        {
            const FileSizeLimit full(rlim_t(before) + 4096);
            session.recovery.noteChange();
            session.recovery.flush();
            QVERIFY(!session.recovery.waitForWrite());
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(framesIn(copy), 1);
        QVERIFY(session.recovery.hasPendingChanges());
        // Room again: the next copy has everything.
        session.recovery.flush();
        QVERIFY(session.recovery.waitForWrite());
        QCOMPARE(framesIn(copy), all.size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestSessionRecovery)
#include "test_session_recovery.moc"
