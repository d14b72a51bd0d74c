// Recovery journals in the window: kept while a scan runs on the simulated
// sensor, removed by a clean save or close and kept otherwise, offered at the
// next start (restore, discard, later), never offered while their session
// lives, and set aside when unreadable.

#include "MainWin.h"
#include "ScriptedDialogs.h"
#include "config/ConfigParamPanel.h"
#include "session/RecoveryCopy.h"
#include "session/JournalReplay.h"
#include "session/SessionContents.h"
#include "session/SessionJournal.h"
#include "window/PlotManager.h"

#include "SimulatedAcquisition.h"
#include "device/DeviceTestSupport.h"
#include "support/RecoveryFolder.h"
#include "usb/PlasmaSensor.h"

#include <QAction>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QSettings>
#include <QtTest>

#include <memory>

using namespace orvel::device;

namespace {

int framesIn(const QString& copy)
{
    SessionContents contents;
    QString error;
    return readRecoveryFile(copy, contents, error) ? contents.data.frameCount() : -1;
}

void feed(PlotManager& session, int scans)
{
    AcquisitionPlan plan;
    plan.scans = scans;
    plan.delays = 4;
    plan.harmonics = 8;
    for (const scanResult& frame : simulatedAcquisition(plan))
        session.dataUpdate(frame);
}

// The session's journal as it stands once everything it holds is in it.
QString flushedCopy(PlotManager& session)
{
    if (!session.recovery().waitForWrite())
        return QString();
    return session.recovery().fileName();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class TestMainWindowRecovery : public QObject
{
    Q_OBJECT

    ScriptedDialogs dialogs;

    std::unique_ptr<MainWin> makeWindow()
    {
        auto window = std::make_unique<MainWin>();
        window->setDialogProvider(&dialogs);
        return window;
    }

    // A session with `scans` scans of frames whose window went without
    // closing it, as in a crash: its copy is left behind. Returns the copy.
    QString leaveOrphan(int scans)
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(*session, scans);
        return flushedCopy(*session);
    }

    QStringList questions() const { return dialogs.texts(QStringLiteral("question")); }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        QVERIFY(RecoveryCopy::defaultFolder().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    }

    void init()
    {
        dialogs = ScriptedDialogs();
        QSettings().clear();
        QDir(RecoveryCopy::defaultFolder()).removeRecursively();
    }

    void cleanup() { installBus(std::make_shared<SimulatedBus>()); }

    void aScanOnTheSimulatedSensorIsCopiedWhileItRuns()
    {
        PlasmaSensorOptions options;
        options.frameInterval = std::chrono::milliseconds(10);
        auto bus = std::make_shared<SimulatedBus>();
        bus->addDevice(defaultSimulatedSerial, std::make_shared<PlasmaSensor>(options));
        installBus(bus);

        auto window = makeWindow();
        window->findChild<QAction*>(QStringLiteral("actionConnect"))->trigger();
        QVERIFY(window->isConnected());
        PlotManager* session = window->currentSession();
        session->configPanel()->configParam.dataScanRunScans = 150;
        window->findChild<QAction*>(QStringLiteral("actionScan"))->trigger();
        QVERIFY(window->isScanning());

        // Frames reach the journal by themselves, unflushed.
        QTRY_VERIFY_WITH_TIMEOUT(!session->recovery().fileName().isEmpty()
                                     && framesIn(session->recovery().fileName()) > 0,
                                 20000);
        const QString copy = session->recovery().fileName();

        // At the end of the scan the journal holds every frame received.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 30000);
        QVERIFY(session->recovery().waitForWrite());
        QCOMPARE(session->data().frameCount(), 300);
        QCOMPARE(framesIn(copy), 300);
        QCOMPARE(recoveryCopies(), QStringList{copy});
    }

    void aCleanSaveRemovesTheCopyAndAFailedOneKeepsIt()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(*session, 3);
        const QString copy = flushedCopy(*session);
        QCOMPARE(framesIn(copy), 24);

        dialogs.saveNames = QStringList{QStringLiteral("no/such/folder/session.ldf")};
        QVERIFY(!session->saveAs());
        QCOMPARE(dialogs.texts(QStringLiteral("critical")).size(), 1);
        QCOMPARE(recoveryCopies(), QStringList{copy});

        dialogs.saveNames = QStringList{QStringLiteral("session.ldf")};
        QVERIFY(session->saveAs());
        QCOMPARE(recoveryCopies(), QStringList());
        QVERIFY(QDir(RecoveryCopy::defaultFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        // More frames after the save: a copy again, and the saved file kept.
        feed(*session, 1);
        QVERIFY(!flushedCopy(*session).isEmpty());
        QCOMPARE(recoveryCopies().size(), 1);
        QVERIFY(session->save());
        QCOMPARE(recoveryCopies(), QStringList());
    }

    void closingKeepsTheCopyOnlyWhileTheSessionStays()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(*session, 2);
        const QString copy = flushedCopy(*session);
        QVERIFY(QFile::exists(copy));

        dialogs.closeAnswers = {QMessageBox::Cancel};
        QVERIFY(!session->close());
        QVERIFY(QFile::exists(copy));

        // Save at the prompt, but the save is cancelled: the session stays.
        dialogs.closeAnswers = {QMessageBox::Save};
        QVERIFY(!session->close());
        QVERIFY(QFile::exists(copy));

        dialogs.closeAnswers = {QMessageBox::Discard};
        QVERIFY(session->close());
        QCOMPARE(recoveryCopies(), QStringList());
        QVERIFY(QDir(RecoveryCopy::defaultFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void anOrphanIsOfferedAndRestoredAsAnUnsavedSession()
    {
        const QString copy = leaveOrphan(3);
        QCOMPARE(framesIn(copy), 24);

        auto window = makeWindow();
        dialogs.choices = {0}; // Restore
        window->offerRecoveryCopies();
        QCOMPARE(questions().size(), 1);
        QVERIFY2(questions().first().startsWith(QStringLiteral(
                     "Recovery copy found|Orvel did not shut down cleanly. A recovery copy of an unsaved session "
                     "(24 frames, last written ")),
                 qPrintable(questions().first()));
        QVERIFY(questions().first().endsWith(QStringLiteral(") was found. Restore it?")));

        QCOMPARE(window->openSessionCount(), 1);
        PlotManager* restored = window->currentSession();
        QCOMPARE(restored->data().frameCount(), 24);
        QVERIFY(restored->windowTitle().endsWith(QStringLiteral("(recovered)")));
        QVERIFY(restored->hasUnsavedChanges());
        QCOMPARE(restored->ownFileName(), QString());
        QCOMPARE(restored->data().fileName, QString());
        // The copy stays the session's until it is saved.
        QCOMPARE(recoveryCopies(), QStringList{copy});
        QVERIFY(RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder()).empty());

        dialogs.saveNames = QStringList{QStringLiteral("restored.ldf")};
        window->saveSession();
        QCOMPARE(dialogs.saveCaptions, QStringList{QStringLiteral("Save File")});
        QCOMPARE(recoveryCopies(), QStringList());
        QCOMPARE(framesIn(QStringLiteral("restored.ldf")), 24);
    }

    void aRestoredSessionLostAgainIsOfferedAgain()
    {
        leaveOrphan(2);
        {
            auto window = makeWindow();
            dialogs.choices = {0};
            window->offerRecoveryCopies();
            QCOMPARE(window->openSessionCount(), 1);
        }
        dialogs = ScriptedDialogs();
        auto window = makeWindow();
        dialogs.choices = {0};
        window->offerRecoveryCopies();
        QCOMPARE(questions().size(), 1);
        QVERIFY(questions().first().contains(QStringLiteral("(16 frames, ")));
        QCOMPARE(window->currentSession()->data().frameCount(), 16);
    }

    void decliningRemovesTheCopyAndLaterKeepsIt()
    {
        leaveOrphan(1);
        auto window = makeWindow();
        window->offerRecoveryCopies(); // no answer scripted: Later
        QCOMPARE(questions().size(), 1);
        QCOMPARE(window->openSessionCount(), 0);
        QCOMPARE(recoveryCopies().size(), 1);

        dialogs.choices = {1}; // Discard
        window->offerRecoveryCopies();
        QCOMPARE(questions().size(), 2);
        QCOMPARE(window->openSessionCount(), 0);
        QCOMPARE(recoveryCopies(), QStringList());
        QVERIFY(QDir(RecoveryCopy::defaultFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        window->offerRecoveryCopies();
        QCOMPARE(questions().size(), 2);
    }

    void theCopyOfALiveSessionIsNotOffered()
    {
        // Another instance's session, still running.
        PlotManager live(ConfigParam(), false);
        live.setDialogProvider(&dialogs);
        feed(live, 1);
        const QString copy = flushedCopy(live);
        QVERIFY(QFile::exists(copy));

        auto window = makeWindow();
        window->offerRecoveryCopies();
        QCOMPARE(dialogs.messages.size(), 0);
        QCOMPARE(window->openSessionCount(), 0);
        QCOMPARE(recoveryCopies(), QStringList{copy});
    }

    void anUnreadableCopyIsReportedOnceAndSetAside()
    {
        const QString broken = RecoveryCopy::defaultFolder() + QStringLiteral("/session-cut.ldj");
        const QString good = leaveOrphan(1);
        QByteArray cut;
        {
            QFile whole(good);
            QVERIFY(whole.open(QIODevice::ReadOnly));
            cut = whole.readAll();
        }
        // Cut inside the session's state: nothing to restore.
        cut.truncate(20);
        writeFile(broken, cut);
        QVERIFY(QFile::remove(good));

        auto window = makeWindow();
        window->offerRecoveryCopies();
        const QStringList warnings = dialogs.texts(QStringLiteral("warning"));
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().startsWith(QStringLiteral("Recovery copy unreadable|")), qPrintable(warnings.first()));
        QVERIFY(warnings.first().contains(broken));
        const QString aside = RecoveryCopy::defaultFolder() + QStringLiteral("/unreadable/session-cut.ldj");
        QVERIFY(warnings.first().contains(QStringLiteral("It was moved to %1.").arg(aside)));
        QVERIFY(questions().isEmpty());
        QCOMPARE(window->openSessionCount(), 0);
        QVERIFY(QFile::exists(aside));

        window->offerRecoveryCopies();
        QCOMPARE(dialogs.messages.size(), 1);
    }
};

QTEST_MAIN(TestMainWindowRecovery)
#include "test_main_window_recovery.moc"
