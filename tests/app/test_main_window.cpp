// The main window without a sensor: its actions and keys, the session area,
// the enable rules, the session files and base level through its menus, the
// export, the close sequence and the remembered paths. Every dialog is
// answered from a script.

#include "MainWin.h"
#include "ScriptedDialogs.h"
#include "SensorTexts.h"
#include "window/DialogProvider.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "window/PlotManager.h"

#include "SimulatedAcquisition.h"
#include "support/FileSizeLimit.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace {

QVector<scanResult> frames(int scans, int delays, unsigned seed = 1)
{
    AcquisitionPlan plan;
    plan.scans = scans;
    plan.delays = delays;
    plan.seed = seed;
    return simulatedAcquisition(plan);
}

void feed(PlotManager* session, const QVector<scanResult>& all)
{
    for (const scanResult& f : all)
        session->dataUpdate(f);
}

bool writeEmptyFile(const QString& fileName)
{
    return QFile(fileName).open(QIODevice::WriteOnly);
}

// A well-formed document that is no session file.
bool writeNotASession(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write("<not a session/>") > 0;
}

QByteArray contents(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A session document with the header's date and time of saving blanked.
QByteArray withoutSaveTime(QByteArray document)
{
    static const QRegularExpression stamp(QStringLiteral("<(date|time)>[^<]*</(date|time)>"));
    return QString::fromUtf8(document).replace(stamp, QString()).toUtf8();
}

// A folder nobody may write into while this lives, root included: the mode
// takes the write bits away, and this thread does without the capability
// that lets root pass over them.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path)
        : path(QFile::encodeName(path))
    {
        ::chmod(this->path.constData(), 0555);
        header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        capabilityDropped = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (capabilityDropped)
            ::syscall(SYS_capset, &header, saved);
        ::chmod(path.constData(), 0755);
    }

private:
    QByteArray path;
    __user_cap_header_struct header{};
    __user_cap_data_struct saved[2]{};
    bool capabilityDropped = false;
};

QAction* action(const MainWin& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QLatin1String(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

QPushButton* scanButton(const PlotManager* session)
{
    return session->findChild<QPushButton*>(QStringLiteral("startScanButton"));
}

bool tabBarShown(const MainWin& window)
{
    for (const QTabBar* bar : window.sessionArea()->findChildren<QTabBar*>())
        if (!bar->isHidden())
            return true;
    return false;
}

QMdiSubWindow* subWindowOf(const MainWin& window, const PlotManager* session)
{
    for (QMdiSubWindow* sub : window.sessionArea()->subWindowList())
        if (sub->widget() == session)
            return sub;
    return nullptr;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    ScriptedDialogs dialogs;
    QTemporaryDir folder;

    std::unique_ptr<MainWin> makeWindow()
    {
        auto window = std::make_unique<MainWin>();
        window->setDialogProvider(&dialogs);
        return window;
    }

    QString path(const QString& name) const { return folder.filePath(name); }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
        QLoggingCategory::setFilterRules(QStringLiteral("orvel.analysis.debug=false"));
        QVERIFY(folder.isValid());
    }

    // Each session's panel stores its configuration when it goes, and the next
    // window starts from the stored one: every test starts from the defaults.
    void init()
    {
        dialogs = ScriptedDialogs();
        QSettings().clear();
    }

    void actionsMenusAndKeys()
    {
        auto window = makeWindow();
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Orvel"));
        QCOMPARE(window->size(), QSize(800, 600));

        struct Row
        {
            const char* name;
            const char* text;
            const char* keys;
            bool checkable;
        };
        const Row rows[] = {
            {"actionNewSession", "&New", "Ctrl+N", false},
            {"actionOpenSession", "&Open...", "Ctrl+O", false},
            {"actionSaveSession", "&Save", "Ctrl+S", false},
            {"actionSaveAsSession", "Save&As...", "Ctrl+Shift+S", false},
            {"actionExport", "&Export...", "", false},
            {"actionExit", "E&xit", "", false},
            {"actionCopy", "&Copy", "Ctrl+C", false},
            {"actionConnect", "Connect", "F5", true},
            {"actionScan", "Scan", "F9", true},
            {"actionMove", "Move...", "F6", false},
            {"actionSet_Base_Level", "Set Base Level", "", false},
            {"actionLoad_Base_Level", "Load Base Level", "", false},
            {"actionUnset_Base_Level", "Unset Base Level", "", false},
            {"actionMaster_Mode", "Master Mode", "Ctrl+Alt+M", true},
            {"actionHelp", "&Help", "F1", false},
            {"actionAbout", "&About", "F3", false},
            {"actionCalibrate", "Calibrate", "", true},
            {"actionClean", "Clean", "", true},
            {"actionAboutQT", "AboutQT", "F4", false},
            {"actionEditEEDFTable", "Edit default EEDF Table...", "", false},
            {"actionInput_User_Vp", "Input User Vp ", "", false},
        };
        for (const Row& row : rows) {
            const QAction* a = action(*window, row.name);
            QCOMPARE(a->text(), QLatin1String(row.text));
            QCOMPARE(a->shortcut(), QKeySequence(QLatin1String(row.keys)));
            QCOMPARE(a->isCheckable(), row.checkable);
        }
        QCOMPARE(action(*window, "actionConnect")->toolTip(), QStringLiteral("Connect/Disconnect Quobrel"));
        QCOMPARE(action(*window, "actionScan")->toolTip(), QStringLiteral("Run Data Scan"));
        QVERIFY(action(*window, "actionScan")->whatsThis().contains(QStringLiteral("dI/dV")));
        QCOMPARE(action(*window, "actionMove")->shortcutContext(), Qt::ApplicationShortcut);

        QStringList menus;
        for (QAction* entry : window->menuBar()->actions())
            menus << entry->menu()->objectName() + QLatin1Char('=') + entry->text();
        QCOMPARE(menus, QStringList({"menu_File=&File", "menuEdit=&Edit", "menuZun_System=Orvel System",
                                     "menuHelp=&Help"}));
        QCOMPARE(window->menuBar()->objectName(), QStringLiteral("menubar"));
        QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("centralwidget"));

        QStringList keys;
        for (const QShortcut* key : window->findChildren<QShortcut*>()) {
            keys << key->key().toString();
            QCOMPARE(key->context(), Qt::ApplicationShortcut);
        }
        keys.sort();
        QCOMPARE(keys, QStringList({"Ctrl+Alt+.", "F7", "F8"}));

        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("connectionLabel"))->text(),
                 QStringLiteral(" <font color=red>Not connected "));
        for (const char* name : {"actionScan", "actionMove", "actionCalibrate", "actionClean"})
            QVERIFY2(!action(*window, name)->isEnabled(), name);
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("logoLabel"))->pixmap(Qt::ReturnByValue).isNull());
    }

    void aCurrentSessionExistsFromTheStart()
    {
        auto window = makeWindow();
        QVERIFY(window->currentSession());
        QCOMPARE(window->openSessionCount(), 0);
        QVERIFY(window->sessionArea()->subWindowList().isEmpty());
        // Menu commands need a sub-window; none is there yet.
        action(*window, "actionSaveSession")->trigger();
        action(*window, "actionExport")->trigger();
        QVERIFY(dialogs.saveCaptions.isEmpty());
        QVERIFY(dialogs.dialogTitles.isEmpty());

        // The first session is the one made at start-up.
        PlotManager* first = window->currentSession();
        QCOMPARE(window->createSession(), first);
        QCOMPARE(first->windowTitle(), QStringLiteral("Session 1"));
    }

    void tabBarOnlyWithTwoSessionsOrMore()
    {
        auto window = makeWindow();
        window->show();
        PlotManager* first = window->createSession();
        QCOMPARE(window->openSessionCount(), 1);
        QVERIFY(!tabBarShown(*window));

        PlotManager* second = window->createSession();
        QCOMPARE(second->windowTitle(), QStringLiteral("Session 2"));
        QVERIFY(tabBarShown(*window));
        // Whichever session is shown fills the area.
        QCOMPARE(window->sessionArea()->activeSubWindow(), subWindowOf(*window, second));
        QVERIFY(subWindowOf(*window, second)->isMaximized());
        window->sessionArea()->setActiveSubWindow(subWindowOf(*window, first));
        QVERIFY(subWindowOf(*window, first)->isMaximized());
        QCOMPARE(window->currentSession(), first);
        QCOMPARE(window->sessionArea()->tabPosition(), QTabWidget::West);
        QCOMPARE(window->sessionArea()->tabShape(), QTabWidget::Triangular);

        QVERIFY(subWindowOf(*window, second)->close());
        QCOMPARE(window->openSessionCount(), 1);
        QVERIFY(!tabBarShown(*window));
        QCOMPARE(window->currentSession(), first);
    }

    // Connecting (which makes the first session), a second session and an
    // Open that fails: the window stays within the screen's free area (the
    // offscreen screen's 800 x 600, inside the 1280 x 800 of a small laptop),
    // and the session shown fills the area without being cut.
    void theWindowStaysOnTheScreen()
    {
        auto window = makeWindow();
        window->move(0, 40);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The decorations are known once the platform has framed the window.
        QTRY_VERIFY(window->frameGeometry() != window->geometry());
        const QRect available = window->screen()->availableGeometry();
        QVERIFY(available.width() <= 1280 && available.height() <= 800);
        const auto sessionFits = [&window] {
            QMdiArea* area = window->sessionArea();
            const QMdiSubWindow* shown = area->activeSubWindow();
            return shown && shown->geometry() == area->viewport()->rect();
        };

        action(*window, "actionConnect")->trigger();
        QVERIFY(window->openSessionCount() == 1);
        QVERIFY(available.contains(window->frameGeometry()));
        QVERIFY(sessionFits());
        window->createSession();
        QVERIFY(available.contains(window->frameGeometry()));
        QVERIFY(sessionFits());

        const QRect before = window->geometry();
        QVERIFY(writeNotASession(path("not-a-session.ldf")));
        dialogs.openNames = QStringList{path("not-a-session.ldf")};
        action(*window, "actionOpenSession")->trigger();
        QCOMPARE(window->openSessionCount(), 2);
        QCOMPARE(window->geometry(), before);
        QTRY_VERIFY(sessionFits());
    }

    void panelsFollowTheActiveSession()
    {
        auto window = makeWindow();
        window->show();
        PlotManager* first = window->createSession();
        window->showConfigPanel(); // F8
        window->showLangmuirSettings(); // F7
        QVERIFY(first->configPanel()->isVisible());
        QVERIFY(first->analysisSettings()->isVisible());

        // Another session shown: the first one's windows would edit what is
        // no longer in view.
        PlotManager* second = window->createSession();
        QCOMPARE(window->currentSession(), second);
        QVERIFY(!first->configPanel()->isVisible());
        QVERIFY(!first->analysisSettings()->isVisible());
        window->showConfigPanel();
        QVERIFY(second->configPanel()->isVisible());
        // No sub-window active (the panel took the focus): nothing changes.
        window->sessionChange(nullptr);
        QVERIFY(second->configPanel()->isVisible());
        QCOMPARE(window->currentSession(), second);
        second->configPanel()->close();
    }

    void closingTheLastSessionLeavesAHiddenCurrentOne()
    {
        auto window = makeWindow();
        PlotManager* first = window->createSession();
        QPointer<PlotManager> closed(first);
        QVERIFY(subWindowOf(*window, first)->close());
        QCOMPARE(window->openSessionCount(), 0);
        PlotManager* fresh = window->currentSession();
        QVERIFY(fresh && fresh != first);
        QVERIFY(!subWindowOf(*window, fresh));
        QTRY_VERIFY(closed.isNull()); // deleted once the event loop runs

        // Menu commands still have a target, and the next session reuses it.
        action(*window, "actionUnset_Base_Level")->trigger();
        QCOMPARE(window->createSession(), fresh);
        QCOMPARE(fresh->windowTitle(), QStringLiteral("Session 2"));
        QCOMPARE(window->openSessionCount(), 1);
    }

    // File → Exit ends the program without another turn of the event loop:
    // the panel of every session still goes, and saves what was changed in it,
    // and an untouched panel going after it overwrites nothing.
    void aChangedConfigurationSurvivesExit_data()
    {
        QTest::addColumn<bool>("unsaved");
        QTest::addColumn<bool>("closedBefore");
        QTest::newRow("nothing to save") << false << false;
        QTest::newRow("discarded at the prompt") << true << false;
        QTest::newRow("session closed before") << false << true;
    }

    void aChangedConfigurationSurvivesExit()
    {
        QFETCH(bool, unsaved);
        QFETCH(bool, closedBefore);
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        if (unsaved)
            feed(session, frames(1, 1));
        dialogs.closeAnswers = {QMessageBox::Discard};
        session->configPanel()->configParam.dataScanRunScans = 7;
        if (closedBefore) {
            QPointer<PlotManager> closed(session);
            QVERIFY(subWindowOf(*window, session)->close());
            QTRY_VERIFY(closed.isNull());
        }
        action(*window, "actionExit")->trigger();
        QVERIFY(!window->isVisible());
        QCOMPARE(window->openSessionCount(), 0);
        window.reset();
        ConfigParam stored;
        stored.loadSettings();
        QCOMPARE(stored.dataScanRunScans, 7u);
        QCOMPARE(dialogs.texts("prompt").size(), unsaved ? 1 : 0);
    }

    void advancedModeToggledTwice()
    {
        auto window = makeWindow();
        PlotManager* first = window->createSession();
        PlotManager* second = window->createSession();
        window->setAdvMode();
        QVERIFY(window->advancedMode());
        QVERIFY(first->advancedMode() && second->advancedMode());
        PlotManager* third = window->createSession();
        QVERIFY(third->advancedMode()); // sessions made later follow the mode

        window->setAdvMode();
        for (const PlotManager* session : {first, second, third})
            QVERIFY(!session->advancedMode());
        QVERIFY(!window->advancedMode());
    }

    void masterModeGoesToTheCurrentSession()
    {
        auto window = makeWindow();
        PlotManager* first = window->createSession();
        action(*window, "actionMaster_Mode")->trigger();
        QVERIFY(first->masterMode());
        action(*window, "actionMaster_Mode")->trigger();
        QVERIFY(!first->masterMode());
    }

    void setWidgetStates_data()
    {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<bool>("calibrate");
        QTest::addColumn<bool>("clean");
        QTest::addColumn<bool>("scan");
        // For each of Calibrate, Clean, Scan, Move and the session's button:
        // 'e' enabled, 'd' disabled, 'u' unchanged.
        QTest::addColumn<QString>("expected");
        QTest::newRow("not connected") << false << false << false << false << "dddde";
        QTest::newRow("not connected, boxes checked") << false << true << true << true << "dddde";
        // Move... as on connection: a scan that disabled it has ended.
        QTest::newRow("connected, idle") << true << false << false << false << "eeeee";
        QTest::newRow("connected, scanning") << true << false << false << true << "ddudu";
        QTest::newRow("connected, calibrating") << true << true << false << false << "udddd";
        QTest::newRow("connected, calibrating and cleaning") << true << true << true << true << "udddd";
        QTest::newRow("connected, cleaning") << true << false << true << false << "duddd";
    }

    void setWidgetStates()
    {
        QFETCH(bool, connect);
        QFETCH(bool, calibrate);
        QFETCH(bool, clean);
        QFETCH(bool, scan);
        QFETCH(QString, expected);
        auto window = makeWindow();
        window->createSession();
        QList<QAction*> actions;
        for (const char* name : {"actionCalibrate", "actionClean", "actionScan", "actionMove"})
            actions << action(*window, name);
        QPushButton* button = scanButton(window->currentSession());
        const auto setChecks = [&] {
            const QSignalBlocker block(action(*window, "actionConnect"));
            action(*window, "actionConnect")->setChecked(connect);
            actions[0]->setChecked(calibrate);
            actions[1]->setChecked(clean);
            actions[2]->setChecked(scan);
        };
        // From all enabled and from all disabled: "unchanged" keeps either.
        for (bool before : {true, false}) {
            setChecks();
            for (QAction* a : actions)
                a->setEnabled(before);
            button->setEnabled(before);
            window->setWidgetStates();
            for (int i = 0; i < 5; ++i) {
                const bool enabled = i < 4 ? actions[i]->isEnabled() : button->isEnabled();
                const QChar want = expected.at(i);
                const bool wanted = want == QLatin1Char('u') ? before : want == QLatin1Char('e');
                QVERIFY2(enabled == wanted, qPrintable(QStringLiteral("item %1 from %2").arg(i).arg(before)));
            }
        }
    }

    // Choosing a session enables Save and Save As only when it holds a scan,
    // and Export always; nothing disables them. Checked on the actions'
    // enabled state (trigger() runs an action whatever that state is), from
    // all enabled and from all disabled.
    void fileActionsFollowTheChosenSession_data()
    {
        QTest::addColumn<int>("scans"); // -1: no sub-window chosen
        // For Save, Save As and Export: 'e' enabled, 'u' unchanged.
        QTest::addColumn<QString>("expected");
        QTest::newRow("no sub-window") << -1 << "uue";
        QTest::newRow("session without a scan") << 0 << "uue";
        QTest::newRow("session holding a scan") << 1 << "eee";
    }

    void fileActionsFollowTheChosenSession()
    {
        QFETCH(int, scans);
        QFETCH(QString, expected);
        auto window = makeWindow();
        const QList<QAction*> actions{action(*window, "actionSaveSession"), action(*window, "actionSaveAsSession"),
                                      action(*window, "actionExport")};
        for (QAction* a : actions)
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName())); // from the start
        QMdiSubWindow* chosen = nullptr;
        if (scans >= 0) {
            PlotManager* session = window->createSession();
            feed(session, frames(scans, 1));
            chosen = subWindowOf(*window, session);
        }
        for (bool before : {true, false}) {
            for (QAction* a : actions)
                a->setEnabled(before);
            window->sessionChange(chosen);
            for (int i = 0; i < actions.size(); ++i) {
                const bool wanted = expected.at(i) == QLatin1Char('u') ? before : true;
                QVERIFY2(actions[i]->isEnabled() == wanted,
                         qPrintable(QStringLiteral("%1 from %2").arg(actions[i]->objectName()).arg(before)));
            }
        }
    }

    void saveReopenAndCompare()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        // The main window names the session shown and marks it while unsaved.
        QCOMPARE(window->windowTitle(), QStringLiteral("Session 1[*] \u2014 Orvel"));
        QVERIFY(!window->isWindowModified());
        feed(session, frames(3, 4));
        QVERIFY(window->isWindowModified());
        const QString file = path("round.ldf");
        dialogs.saveNames = QStringList{file};
        action(*window, "actionSaveSession")->trigger();
        QCOMPARE(dialogs.saveCaptions, QStringList{"Save File"});
        QCOMPARE(session->windowTitle(), QStringLiteral("round.ldf"));
        QCOMPARE(window->windowTitle(), QStringLiteral("round.ldf[*] \u2014 Orvel"));
        QVERIFY(!window->isWindowModified());
        QVERIFY(!session->hasUnsavedChanges());

        // Open: a second session, current, holding the same data.
        dialogs.openNames = QStringList{file};
        action(*window, "actionOpenSession")->trigger();
        QCOMPARE(window->openSessionCount(), 2);
        PlotManager* reopened = window->currentSession();
        QVERIFY(reopened != session);
        QCOMPARE(window->openFolder(), folder.path());
        const measuredData& a = session->data();
        const measuredData& b = reopened->data();
        QCOMPARE(b.positions.size(), a.positions.size());
        QCOMPARE(b.positions[0].scans.size(), 3);
        for (int s = 0; s < 3; ++s) {
            const auto& original = a.positions[0].scans[s].Delays200;
            const auto& read = b.positions[0].scans[s].Delays200;
            QCOMPARE(read.size(), original.size());
            for (int d = 0; d < read.size(); ++d) {
                QCOMPARE(read[d].delay, original[d].delay);
                for (int k = 0; k < 16; ++k)
                    QVERIFY(qAbs(read[d].Ir[k] - original[d].Ir[k]) <= 1e-5 * qAbs(original[d].Ir[k]) + 1e-15);
            }
        }
        // Saved as a copy, the reopened session writes the same file, but for
        // the time of saving in its header.
        dialogs.saveNames = QStringList{path("copy.ldf")};
        action(*window, "actionSaveAsSession")->trigger();
        QCOMPARE(withoutSaveTime(contents(path("copy.ldf"))), withoutSaveTime(contents(file)));
        QCOMPARE(reopened->windowTitle(), QStringLiteral("copy.ldf"));

        // A new scan replaces what came from the file: the session is no
        // longer that file.
        reopened->prepareForNewScan();
        QCOMPARE(reopened->windowTitle(), QStringLiteral("Session 2"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Session 2[*] \u2014 Orvel"));
    }

    // Opening is no change: a file opened and closed as it was asks nothing.
    void anOpenedFileIsNotAChange()
    {
        auto window = makeWindow();
        PlotManager* source = window->createSession();
        feed(source, frames(1, 2));
        dialogs.saveNames = QStringList{path("opened.ldf")};
        QVERIFY(source->save());
        QVERIFY(window->openSessionFile(path("opened.ldf")));
        PlotManager* opened = window->currentSession();
        QCOMPARE(opened->windowTitle(), QStringLiteral("opened.ldf"));
        QCOMPARE(window->windowTitle(), QStringLiteral("opened.ldf[*] \u2014 Orvel"));
        QVERIFY(!window->isWindowModified());
        QVERIFY(subWindowOf(*window, opened)->close());
        QCOMPARE(dialogs.texts("prompt"), QStringList());
        QCOMPARE(window->openSessionCount(), 1);
        QVERIFY(subWindowOf(*window, source)->close());
        QCOMPARE(window->windowTitle(), QStringLiteral("Orvel"));
    }

    void openThatLoadsNothingLeavesNoSession()
    {
        auto window = makeWindow();
        action(*window, "actionOpenSession")->trigger(); // cancelled
        QCOMPARE(window->openSessionCount(), 0);

        QVERIFY(writeNotASession(path("junk.ldf")));
        dialogs.openNames = QStringList{path("junk.ldf")};
        action(*window, "actionOpenSession")->trigger();
        QCOMPARE(window->openSessionCount(), 0);
        QCOMPARE(dialogs.texts("warning"), QStringList{"Invalid save file|Save file invalid"});

        // The command line's file likewise; a good one opens and is current.
        QVERIFY(!window->openSessionFile(path("absent.ldf")));
        QCOMPARE(window->openSessionCount(), 0);
        QVERIFY(dialogs.texts("critical").last().startsWith(QStringLiteral("Orvel|Cannot open file [")));

        PlotManager* source = window->createSession();
        feed(source, frames(1, 2));
        dialogs.saveNames = QStringList{path("good.ldf")};
        QVERIFY(source->save());
        QVERIFY(window->openSessionFile(path("good.ldf")));
        QCOMPARE(window->openSessionCount(), 2);
        QCOMPARE(window->currentSession()->data().positions.size(), 1);
        QCOMPARE(window->sessionArea()->activeSubWindow()->widget(), window->currentSession());
        QCOMPARE(window->openFolder(), path("good.ldf"));
    }

    void aFailedSaveLeavesThePreviousFile()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(session, frames(1, 2));
        const QString file = path("kept.ldf");
        dialogs.saveNames = QStringList{file};
        action(*window, "actionSaveSession")->trigger();
        const QByteArray before = contents(file);
        QVERIFY(!before.isEmpty());

        feed(session, frames(2, 30, 5));
        {
            const FileSizeLimit limit(rlim_t(before.size()) + 100);
            action(*window, "actionSaveSession")->trigger(); // the session's own file, no dialog
        }
        QCOMPARE(contents(file), before);
        QVERIFY(dialogs.texts("critical").last().startsWith("Orvel|Cannot close file [" + file + "]"));
        QVERIFY(session->hasUnsavedChanges());
        QCOMPARE(QDir(folder.path()).entryList({"kept*"}, QDir::Files | QDir::Hidden), QStringList{"kept.ldf"});

        // A folder that does not exist cannot take the file at all.
        dialogs.saveNames = QStringList{path("missing/elsewhere.ldf")};
        action(*window, "actionSaveAsSession")->trigger();
        QVERIFY(dialogs.texts("critical").last().startsWith("Orvel|Cannot write file [" + path("missing/elsewhere.ldf")));
        QVERIFY(!QFile::exists(path("missing/elsewhere.ldf")));
        QCOMPARE(contents(file), before);
    }

    void aSaveIntoAReadOnlyFolderLeavesThePreviousFile()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(session, frames(1, 2));
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("locked")));
        const QString file = path("locked/kept.ldf");
        dialogs.saveNames = QStringList{file};
        action(*window, "actionSaveSession")->trigger();
        const QByteArray before = contents(file);
        QVERIFY(!before.isEmpty());

        feed(session, frames(2, 3, 5));
        {
            const ReadOnlyFolder locked(path("locked"));
            action(*window, "actionSaveSession")->trigger();
            dialogs.saveNames = QStringList{path("locked/other.ldf")};
            action(*window, "actionSaveAsSession")->trigger();
        }
        QCOMPARE(dialogs.texts("critical"),
                 QStringList({"Orvel|Cannot write file [" + file + "]\nError code: Permission denied\n",
                              "Orvel|Cannot write file [" + path("locked/other.ldf")
                                  + "]\nError code: Permission denied\n"}));
        QCOMPARE(contents(file), before);
        QCOMPARE(QDir(path("locked")).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.ldf"});
        QVERIFY(session->hasUnsavedChanges());
        QCOMPARE(session->ownFileName(), file);

        // Writable again, the same command saves.
        action(*window, "actionSaveSession")->trigger();
        QVERIFY(!session->hasUnsavedChanges());
        QVERIFY(contents(file) != before);
    }

    void truncatedSessionFilesOpenNothing()
    {
        auto window = makeWindow();
        PlotManager* source = window->createSession();
        feed(source, frames(2, 3));
        dialogs.saveNames = QStringList{path("whole.ldf")};
        QVERIFY(source->save());
        const QByteArray whole = contents(path("whole.ldf"));
        const int end = whole.lastIndexOf("</measuredData>") + int(qstrlen("</measuredData>"));

        // Cut anywhere before the end of the root element: at the start, in
        // the header and settings, inside vectors and scan records, one byte
        // short of the end.
        QVector<int> cuts{0, 1, end - 1};
        for (int i = 1; i < 40; ++i)
            cuts.append(int(qint64(end) * i / 40));
        for (const int length : qAsConst(cuts)) {
            QFile cut(path("cut.ldf"));
            QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
            cut.write(whole.left(length));
            cut.close();
            dialogs.openNames = QStringList{cut.fileName()};
            action(*window, "actionOpenSession")->trigger();
            QVERIFY2(window->openSessionCount() == 1, qPrintable(QString::number(length)));
            QCOMPARE(window->currentSession(), source);
            QCOMPARE(dialogs.texts("warning").size(), cuts.indexOf(length) + 1);
        }
        QStringList warnings = dialogs.texts("warning");
        warnings.removeDuplicates();
        QCOMPARE(warnings, QStringList{"Invalid save file|Save file invalid"});
        QCOMPARE(dialogs.messages.size(), cuts.size());
    }

    void closePromptAnswers()
    {
        const auto modifiedWindow = [this] {
            auto window = makeWindow();
            feed(window->createSession(), frames(1, 1));
            window->show();
            return window;
        };
        // Cancel: the session stays and the program keeps running.
        auto cancelled = modifiedWindow();
        dialogs.closeAnswers = {QMessageBox::Cancel};
        QVERIFY(!cancelled->close());
        QVERIFY(cancelled->isVisible());
        QCOMPARE(cancelled->openSessionCount(), 1);
        QCOMPARE(dialogs.texts("prompt"), QStringList{"|Session : 'Session 1' has been modified."});

        // Discard: closes without a file.
        auto discarded = modifiedWindow();
        dialogs.closeAnswers = {QMessageBox::Discard};
        QVERIFY(discarded->close());
        QCOMPARE(discarded->openSessionCount(), 0);

        // Save: writes the session, then closes.
        auto saved = modifiedWindow();
        dialogs.closeAnswers = {QMessageBox::Save};
        dialogs.saveNames = QStringList{path("on-exit.ldf")};
        QVERIFY(saved->close());
        QVERIFY(QFile::exists(path("on-exit.ldf")));

        // Any session can refuse: the one closed first goes, the other stays.
        auto two = modifiedWindow();
        feed(two->createSession(), frames(1, 1));
        dialogs.closeAnswers = {QMessageBox::Discard, QMessageBox::Cancel};
        QVERIFY(!two->close());
        QCOMPARE(two->openSessionCount(), 1);
        // Unmodified sessions close without a question.
        auto quiet = makeWindow();
        quiet->createSession();
        const int prompts = dialogs.texts("prompt").size();
        QVERIFY(quiet->close());
        QCOMPARE(dialogs.texts("prompt").size(), prompts);
    }

    void baseLevelAppliesToLaterScansOnly()
    {
        auto window = makeWindow();
        action(*window, "actionSet_Base_Level")->trigger(); // no sub-window: nothing
        QVERIFY(dialogs.messages.isEmpty());

        PlotManager* session = window->createSession();
        action(*window, "actionSet_Base_Level")->trigger(); // nothing stored: the notice only
        QCOMPARE(dialogs.texts("warning"),
                 QStringList{"Base level set|Base level has been set and will be applied on following scans."});
        QVERIFY(!session->data().baseLevelSet);

        feed(session, frames(1, 1));
        const QVector<double> storedIr = session->data().positions[0].scans[0].Delays200[0].Ir;
        action(*window, "actionSet_Base_Level")->trigger();
        QVERIFY(session->data().baseLevelSet);
        QCOMPARE(session->data().positions[0].scans[0].Delays200[0].Ir, storedIr);

        scanResult later = frames(1, 1, 7).first();
        later.scan = 2;
        session->dataUpdate(later);
        const BaseLevel& base = session->data().baseLevel;
        const auto& filed = session->data().positions[0].scans[1].Delays200[0];
        for (int k = 0; k < later.harmonics; ++k)
            QCOMPARE(filed.Ir[k], later.Ir[k] - base[BaseLowIr][k]);

        action(*window, "actionUnset_Base_Level")->trigger();
        later.scan = 3;
        session->dataUpdate(later);
        QCOMPARE(session->data().positions[0].scans[2].Delays200[0].Ir[0], later.Ir[0]);

        // Loaded from a file: the same notice, the file's first frame.
        dialogs.saveNames = QStringList{path("reference.ldf")};
        QVERIFY(session->save());
        PlotManager* other = window->createSession();
        dialogs.openNames = QStringList{path("reference.ldf")};
        action(*window, "actionLoad_Base_Level")->trigger();
        QVERIFY(other->data().baseLevelSet);
        QCOMPARE(other->data().baseLevel[BaseLowIr].size(), 16);
    }

    void exportFromTheMainWindow()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        feed(session, frames(1, 2));

        // Options cancelled: no file is asked for.
        dialogs.onDialog = [](QDialog& dialog) {
            dialog.reject();
            return dialog.result();
        };
        action(*window, "actionExport")->trigger();
        QCOMPARE(dialogs.dialogTitles, QStringList{"Export Data"});
        QVERIFY(dialogs.saveCaptions.isEmpty());

        dialogs.onDialog = [](QDialog& dialog) { return ScriptedDialogs::pressOk(dialog); };
        dialogs.saveNames = QStringList{path("export.csv")};
        action(*window, "actionExport")->trigger();
        QCOMPARE(dialogs.saveCaptions, QStringList{"Export File"});
        QVERIFY(contents(path("export.csv")).startsWith("Orvel Export File"));
        QCOMPARE(window->exportFileName(), path("export.csv"));
        QVERIFY(window->errorMessages().isEmpty());

        // A target that cannot be written: recorded, and the user is told.
        const QString bad = path("no/such/folder/export.csv");
        dialogs.saveNames = QStringList{bad};
        action(*window, "actionExport")->trigger();
        QCOMPARE(window->errorMessages().size(), 1);
        const QString error = window->errorMessages().first();
        QVERIFY2(error.startsWith("[ERROR] Export Data: Failed to open file '" + bad + "' for writing ("),
                 qPrintable(error));
        QCOMPARE(dialogs.texts("critical"), QStringList{"Orvel|" + error});
    }

    void rememberedPathsLiveInGroupSettings()
    {
        {
            QSettings settings;
            settings.setValue(QStringLiteral("Settings/openFileName"), folder.path());
            settings.setValue(QStringLiteral("Settings/exportFileName"), path("last.csv"));
            settings.setValue(QStringLiteral("Settings/dialogPath"), QStringLiteral("/kept/as/is"));
        }
        {
            auto window = makeWindow();
            QCOMPARE(window->openFolder(), folder.path());
            QCOMPARE(window->exportFileName(), path("last.csv"));
            PlotManager* source = window->createSession();
            feed(source, frames(1, 1));
            dialogs.saveNames = QStringList{path("sub.ldf")};
            QVERIFY(source->save());
            QDir(folder.path()).mkdir(QStringLiteral("inner"));
            QVERIFY(QFile::copy(path("sub.ldf"), path("inner/sub.ldf")));
            dialogs.openNames = QStringList{path("inner/sub.ldf")};
            action(*window, "actionOpenSession")->trigger();
        }
        QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("Settings/openFileName")).toString(), path("inner"));
        QCOMPARE(settings.value(QStringLiteral("Settings/exportFileName")).toString(), path("last.csv"));
        QCOMPARE(settings.value(QStringLiteral("Settings/dialogPath")).toString(), QStringLiteral("/kept/as/is"));
    }

    void helpAboutAndHardware()
    {
        auto window = makeWindow();
        action(*window, "actionHelp")->trigger();
        QCOMPARE(dialogs.texts("warning"), QStringList{"Opening Manual|Unable to find help file\nPlease check install folder."});

        // Installed, the guide is in share/orvel beside the program's folder;
        // one in the program's folder (the build tree) comes first, and a
        // folder of that name is no guide.
        const QDir programFolder(QCoreApplication::applicationDirPath());
        const QString inProgramFolder = programFolder.filePath(QStringLiteral("Orvel User Guide.pdf"));
        QVERIFY(programFolder.mkpath(QStringLiteral("../share/orvel")));
        const QString installed =
            QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/orvel/Orvel User Guide.pdf")));
        QVERIFY(QDir().mkpath(inProgramFolder));
        QVERIFY(writeEmptyFile(installed));
        action(*window, "actionHelp")->trigger();
        QVERIFY(QDir().rmdir(inProgramFolder));
        QVERIFY(writeEmptyFile(inProgramFolder));
        action(*window, "actionHelp")->trigger();
        QCOMPARE(dialogs.openedUrls, QList<QUrl>({QUrl::fromLocalFile(installed), QUrl::fromLocalFile(inProgramFolder)}));

        // Without a handler for PDF files the operator is told where the guide is.
        dialogs.desktopOpensUrls = false;
        action(*window, "actionHelp")->trigger();
        QFile::remove(inProgramFolder);
        QFile::remove(installed);
        QCOMPARE(dialogs.texts("warning").last(), "Opening Manual|No program to show PDF files was found.\n"
                                                  "The user guide is the file:\n" + inProgramFolder);

        QStringList aboutTexts;
        dialogs.onDialog = [&aboutTexts](QDialog& dialog) {
            for (const char* name : {"headingLabel", "versionLabel"})
                aboutTexts << dialog.findChild<QLabel*>(QLatin1String(name))->text();
            return ScriptedDialogs::pressOk(dialog);
        };
        action(*window, "actionAbout")->trigger();
        QCOMPARE(aboutTexts, QStringList({"Orvel Application", "Version 1.5.0 (Build 1030)"}));
        QCOMPARE(dialogs.dialogTitles, QStringList{"About"});
        QVERIFY(window->findChildren<QDialog*>().isEmpty()); // closed and gone

        action(*window, "actionAboutHardware")->trigger();
        QCOMPARE(dialogs.texts("about").size(), 1);
        QVERIFY(dialogs.texts("about")[0].startsWith(QStringLiteral("Orvel|\n--------")));
        QVERIFY(dialogs.texts("about")[0].endsWith(QStringLiteral("METER SERIAL NO:\t\nFIRMWARE VERSION:\t\n"
                                                                  "PROBE SERIAL NO:\t\nFIRMWARE VERSION:\t\n")));
    }

    // The toolkit's own boxes, as the operator sees them: a short text does
    // not leave the title too narrow for the decorations (the window's icon
    // and three buttons take some 120 pixels), and the hardware information's
    // ruled heading stays on one line.
    void standardBoxesShowWholeTitlesAndLines()
    {
        QString title;
        int boxWidth = 0;
        int labelWidth = 0;
        QTimer answer;
        answer.setInterval(0);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            boxWidth = box->width();
            labelWidth = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->width();
            box->accept();
        });
        answer.start();
        DialogProvider* standard = DialogProvider::standard();
        standard->warning(nullptr, QStringLiteral("Invalid save file"), QStringLiteral("Save file invalid"));
        QCOMPARE(title, QStringLiteral("Invalid save file"));
        QVERIFY(boxWidth >= QFontMetrics(QApplication::font()).horizontalAdvance(title) + 120);

        const QString hardware = hardwareInformation(QStringLiteral("1.5.0"), QStringLiteral("d"), nullptr);
        const QString heading = hardware.split(QLatin1Char('\n')).at(1);
        QVERIFY(heading.startsWith(QStringLiteral("-----")));
        standard->about(nullptr, QStringLiteral("Orvel"), hardware);
        QVERIFY(labelWidth >= QFontMetrics(QApplication::font()).horizontalAdvance(heading));
    }

    void railPositionInTheStatusBar()
    {
        auto window = makeWindow();
        PlotManager* session = window->createSession();
        emit session->positionRailUpdate(3.14159);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("positionLabel"))->text(),
                 QStringLiteral("Position :3.14 mm"));
    }

    void editTheDefaultEedfTable()
    {
        const QString table = QCoreApplication::applicationDirPath() + QStringLiteral("/eedf.txt");
        QFile::remove(table);
        auto window = makeWindow();
        QString title;
        QTimer::singleShot(0, [&title] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                title = dialog->windowTitle();
                qobject_cast<QDialog*>(dialog)->accept();
            }
        });
        action(*window, "actionEditEEDFTable")->trigger();
        QCOMPARE(title, QStringLiteral("Edit Default EEDF Table"));
        QVERIFY(contents(table).startsWith("Energy;Resolution"));
        QFile::remove(table);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
