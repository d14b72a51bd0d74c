#include "MainWin.h"

#include "AboutDialog.h"
#include "BuildInfo.h"
#include "Logger.h"
#include "UserGuide.h"
#include "analysis/EEDF_Dialog.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "resources/Resources.h"
#include "session/CsvExport.h"
#include "session/ExportOptions.h"
#include "session/RecoveryCopy.h"
#include "session/JournalReplay.h"
#include "session/SessionContents.h"
#include "window/SessionDocument.h"
#include "window/DialogProvider.h"
#include "window/PlotManager.h"

#include "orvelDevice.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

const char* const MainWin::settingsGroup = "Settings";
const char* const MainWin::dialogPathKey = "dialogPath";
const char* const MainWin::exportFileNameKey = "exportFileName";
const char* const MainWin::openFileNameKey = "openFileName";

namespace {

const char* const kTranslationContext = "MainWinClass";
const QString kSessionFilter = QStringLiteral("Langmuir Data Files (*.ldf);;All Files (*.*)");
const QString kExportFilter = QStringLiteral("Spread Sheet Documents (*.csv)");

// Decoration: two lines in the maker's colour framing the session area, and
// the maker's logo at the top right.
const QString kLineStyle = QStringLiteral("color:rgb(164,0,26);");
constexpr int kLineWidth = 5;
constexpr int kTopLineY = 20;
constexpr int kBottomLineOffset = 24;
constexpr int kLogoY = 25;

// The widest text the time-left label shows.
const QString kTimeLeftWidest = QStringLiteral("-Time-Left-12:34:56-");
constexpr int kTimerIntervalMs = 1000;

QString translated(const char* text)
{
    return QCoreApplication::translate(kTranslationContext, text);
}

QAction* makeAction(QWidget* owner, const char* objectName, const char* text, const QKeySequence& shortcut = {},
                    bool checkable = false)
{
    auto* action = new QAction(translated(text), owner);
    action->setObjectName(QLatin1String(objectName));
    action->setShortcut(shortcut);
    action->setCheckable(checkable);
    return action;
}

QFrame* decorationLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(kLineWidth);
    line->setStyleSheet(kLineStyle);
    return line;
}

// The process-wide pseudo-random generator, seeded from the clock.
void seedRandomGenerator()
{
    const QTime now = QTime::currentTime();
    std::srand(unsigned(now.msec()) << (now.second() % 32));
}

} // namespace

MainWin::MainWin(QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(DialogProvider::standard())
    , m_acquisition(std::make_unique<AcquisitionControl>())
{
    loadOrvelResources();
    Logger::instance(this);
    m_defaultConfig.loadSettings();

    setObjectName(QStringLiteral("MainWindow"));
    buildActions();
    buildMenus();
    buildStatusBar();
    resize(800, 600);
    setAcceptDrops(true);
    setAnimated(true);
    setWindowIcon(QIcon(QStringLiteral(":/images/Zund.png")));
    m_syncFreqTimer.setInterval(kTimerIntervalMs);
    m_syncFreqTimer.start();
    m_progressTimer.setInterval(kTimerIntervalMs);
    m_progressTimer.setSingleShot(true);
    setWindowTitle(QStringLiteral("Orvel"));
    seedRandomGenerator();

    buildSessionArea();
    readRememberedPaths();
    connectActions();

    connectAcquisition();

    buildDecoration();
}

MainWin::~MainWin()
{
    writeRememberedPaths();
    m_acquisition.reset();
    // Hiding the sub-windows as the base class tears them down activates
    // others, and by then this object is no longer a MainWin.
    disconnect(m_area, nullptr, this, nullptr);
    // The hidden current session has no sub-window to take it along.
    if (m_currentSession && !subWindowOf(m_currentSession))
        delete m_currentSession;
    for (const QPointer<QMdiSubWindow>& closed : qAsConst(m_closedWindows))
        delete closed.data();
}

void MainWin::setDialogProvider(DialogProvider* dialogs)
{
    m_dialogs = dialogs ? dialogs : DialogProvider::standard();
    forEachSession([this](PlotManager& session) { session.setDialogProvider(m_dialogs); });
}

// ---------------------------------------------------------------- construction

void MainWin::buildActions()
{
    m_actionNewSession = makeAction(this, "actionNewSession", QT_TRANSLATE_NOOP("MainWinClass", "&New"),
                                    QKeySequence(QStringLiteral("Ctrl+N")));
    m_actionOpenSession = makeAction(this, "actionOpenSession", QT_TRANSLATE_NOOP("MainWinClass", "&Open..."),
                                     QKeySequence(QStringLiteral("Ctrl+O")));
    m_actionSaveSession = makeAction(this, "actionSaveSession", QT_TRANSLATE_NOOP("MainWinClass", "&Save"),
                                     QKeySequence(QStringLiteral("Ctrl+S")));
    m_actionSaveAsSession = makeAction(this, "actionSaveAsSession", QT_TRANSLATE_NOOP("MainWinClass", "Save&As..."),
                                       QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    m_actionExport = makeAction(this, "actionExport", QT_TRANSLATE_NOOP("MainWinClass", "&Export..."));
    m_actionExit = makeAction(this, "actionExit", QT_TRANSLATE_NOOP("MainWinClass", "E&xit"));
    m_actionCopy = makeAction(this, "actionCopy", QT_TRANSLATE_NOOP("MainWinClass", "&Copy"),
                              QKeySequence(QStringLiteral("Ctrl+C")));

    m_actionConnect = makeAction(this, "actionConnect", QT_TRANSLATE_NOOP("MainWinClass", "Connect"),
                                 QKeySequence(Qt::Key_F5), true);
    m_actionConnect->setToolTip(translated(QT_TRANSLATE_NOOP("MainWinClass", "Connect/Disconnect Quobrel")));
    m_actionScan = makeAction(this, "actionScan", QT_TRANSLATE_NOOP("MainWinClass", "Scan"),
                              QKeySequence(Qt::Key_F9), true);
    m_actionScan->setToolTip(translated(QT_TRANSLATE_NOOP("MainWinClass", "Run Data Scan")));
    m_actionScan->setWhatsThis(translated(QT_TRANSLATE_NOOP(
        "MainWinClass",
        "<html><body><p><b>Scan</b></p><p>Runs a series of IV scans. From each IV curve the first derivative "
        "dI/dV, the second derivative and the plasma parameters are computed.</p></body></html>")));
    m_actionMove = makeAction(this, "actionMove", QT_TRANSLATE_NOOP("MainWinClass", "Move..."),
                              QKeySequence(Qt::Key_F6));
    m_actionMove->setToolTip(translated(QT_TRANSLATE_NOOP("MainWinClass", "Move Linear Drive")));
    m_actionMove->setShortcutContext(Qt::ApplicationShortcut);
    m_actionSetBaseLevel =
        makeAction(this, "actionSet_Base_Level", QT_TRANSLATE_NOOP("MainWinClass", "Set Base Level"));
    m_actionLoadBaseLevel =
        makeAction(this, "actionLoad_Base_Level", QT_TRANSLATE_NOOP("MainWinClass", "Load Base Level"));
    m_actionUnsetBaseLevel =
        makeAction(this, "actionUnset_Base_Level", QT_TRANSLATE_NOOP("MainWinClass", "Unset Base Level"));
    m_actionMasterMode = makeAction(this, "actionMaster_Mode", QT_TRANSLATE_NOOP("MainWinClass", "Master Mode"),
                                    QKeySequence(QStringLiteral("Ctrl+Alt+M")), true);

    m_actionHelp = makeAction(this, "actionHelp", QT_TRANSLATE_NOOP("MainWinClass", "&Help"),
                              QKeySequence(Qt::Key_F1));
    m_actionAbout = makeAction(this, "actionAbout", QT_TRANSLATE_NOOP("MainWinClass", "&About"),
                               QKeySequence(Qt::Key_F3));
    m_actionAboutHardware =
        makeAction(this, "actionAboutHardware", QT_TRANSLATE_NOOP("MainWinClass", "About Hard&ware..."));

    m_actionCalibrate = makeAction(this, "actionCalibrate", QT_TRANSLATE_NOOP("MainWinClass", "Calibrate"), {}, true);
    m_actionCalibrate->setToolTip(translated(QT_TRANSLATE_NOOP("MainWinClass", "Calibrate Quobrel")));
    m_actionClean = makeAction(this, "actionClean", QT_TRANSLATE_NOOP("MainWinClass", "Clean"), {}, true);
    m_actionClean->setToolTip(translated(QT_TRANSLATE_NOOP("MainWinClass", "Clean Probe Tip")));
    m_actionAboutQt = makeAction(this, "actionAboutQT", QT_TRANSLATE_NOOP("MainWinClass", "AboutQT"),
                                 QKeySequence(Qt::Key_F4));
    m_actionEditEedfTable = makeAction(this, "actionEditEEDFTable",
                                       QT_TRANSLATE_NOOP("MainWinClass", "Edit default EEDF Table..."));
    m_actionInputUserVp =
        makeAction(this, "actionInput_User_Vp", QT_TRANSLATE_NOOP("MainWinClass", "Input User Vp "));
    // Actions outside the menus still need a widget for their shortcuts.
    addActions({m_actionCalibrate, m_actionClean, m_actionAboutQt, m_actionInputUserVp});
}

void MainWin::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menubar"));

    QMenu* file = bar->addMenu(translated(QT_TRANSLATE_NOOP("MainWinClass", "&File")));
    file->setObjectName(QStringLiteral("menu_File"));
    file->addActions({m_actionNewSession, m_actionOpenSession, m_actionSaveSession, m_actionSaveAsSession,
                      m_actionExport});
    file->addSeparator();
    file->addAction(m_actionExit);

    QMenu* edit = bar->addMenu(translated(QT_TRANSLATE_NOOP("MainWinClass", "&Edit")));
    edit->setObjectName(QStringLiteral("menuEdit"));
    edit->addAction(m_actionCopy);

    QMenu* system = bar->addMenu(translated(QT_TRANSLATE_NOOP("MainWinClass", "Orvel System")));
    system->setObjectName(QStringLiteral("menuZun_System"));
    system->addActions({m_actionConnect, m_actionScan, m_actionMove});
    system->addSeparator();
    system->addActions({m_actionSetBaseLevel, m_actionLoadBaseLevel, m_actionUnsetBaseLevel, m_actionMasterMode});
    // Not reachable otherwise: the default EEDF table has no other way in.
    system->addSeparator();
    system->addAction(m_actionEditEedfTable);

    QMenu* help = bar->addMenu(translated(QT_TRANSLATE_NOOP("MainWinClass", "&Help")));
    help->setObjectName(QStringLiteral("menuHelp"));
    help->addAction(m_actionHelp);
    help->addSeparator();
    help->addAction(m_actionAbout);
    // The hardware information box has no other way in.
    help->addAction(m_actionAboutHardware);
}

void MainWin::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusbar"));
    // Permanent widgets, so that the status messages on the left never hide them.
    // The scan's progress and time left are shown only while a scan runs.
    m_progressBar = new QProgressBar(bar);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->hide();
    m_timeLeftLabel = new QLabel(bar);
    m_timeLeftLabel->setObjectName(QStringLiteral("timeLeftLabel"));
    m_timeLeftLabel->setMinimumWidth(m_timeLeftLabel->fontMetrics().horizontalAdvance(kTimeLeftWidest));
    m_timeLeftLabel->hide();
    m_positionLabel = new QLabel(bar);
    m_positionLabel->setObjectName(QStringLiteral("positionLabel"));
    m_positionLabel->setAlignment(Qt::AlignCenter);
    m_connectionLabel = new QLabel(bar);
    m_connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    auto* spare = new QLabel(QStringLiteral("--"), bar);
    bar->addPermanentWidget(m_progressBar);
    bar->addPermanentWidget(m_timeLeftLabel);
    bar->addPermanentWidget(m_positionLabel);
    bar->addPermanentWidget(m_connectionLabel);
    bar->addPermanentWidget(spare);
    setNotConnected();
}

void MainWin::buildSessionArea()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    m_area = new QMdiArea(central);
    m_area->setObjectName(QStringLiteral("mdiArea"));
    m_area->setViewMode(QMdiArea::TabbedView);
    m_area->setTabShape(QTabWidget::Triangular);
    m_area->setTabPosition(QTabWidget::West);
    m_area->setActivationOrder(QMdiArea::CreationOrder);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_area);
    setCentralWidget(central);

    // A current session exists from the start, without a sub-window, so that
    // the menu commands always have a target; the first new session reuses it.
    m_currentSession = newSessionWindow();
    connect(m_area, &QMdiArea::subWindowActivated, this, &MainWin::sessionChange);
    setWidgetStates();
}

void MainWin::buildDecoration()
{
    m_topLine = decorationLine(this);
    m_topLine->setObjectName(QStringLiteral("topLine"));
    m_bottomLine = decorationLine(this);
    m_bottomLine->setObjectName(QStringLiteral("bottomLine"));
    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("logoLabel"));
    m_logo->setPixmap(QPixmap(QStringLiteral(":/images/brisvane.png")));
    m_logo->adjustSize();
    placeDecoration();
}

void MainWin::placeDecoration()
{
    if (!m_topLine)
        return;
    m_topLine->setGeometry(0, kTopLineY, width(), kLineWidth);
    m_bottomLine->setGeometry(0, height() - kBottomLineOffset, width(), kLineWidth);
    m_logo->move(width() - m_logo->width(), kLogoY);
    for (QWidget* piece : {static_cast<QWidget*>(m_topLine), static_cast<QWidget*>(m_bottomLine),
                           static_cast<QWidget*>(m_logo)})
        piece->raise();
    // The session area keeps clear of the logo and of the bottom line, so
    // that neither hides part of a session.
    const int top = std::max(0, kLogoY + m_logo->height() + kLineWidth - menuBar()->height());
    const int bottom = std::max(0, kBottomLineOffset + kLineWidth - statusBar()->sizeHint().height());
    centralWidget()->layout()->setContentsMargins(0, top, 0, bottom);
}

// Grows the window until the session fits the area, as far as the screen's
// free area allows from where the window stands, decorations included.
void MainWin::makeRoomFor(QMdiSubWindow* window)
{
    const QSize chrome = size() - m_area->viewport()->size();
    QSize wanted = size().expandedTo(window->minimumSizeHint() + chrome);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        const QSize decorations = frameGeometry().size() - geometry().size();
        const QPoint origin = frameGeometry().topLeft();
        const QSize room(available.right() + 1 - std::max(origin.x(), available.left()),
                         available.bottom() + 1 - std::max(origin.y(), available.top()));
        wanted = wanted.boundedTo(room - decorations);
    }
    if (wanted != size())
        resize(wanted);
}

void MainWin::connectActions()
{
    connect(m_actionOpenSession, &QAction::triggered, this, &MainWin::loadSession);
    connect(m_actionSaveSession, &QAction::triggered, this, &MainWin::saveSession);
    connect(m_actionSaveAsSession, &QAction::triggered, this, &MainWin::saveAsSession);
    connect(m_actionExport, &QAction::triggered, this, &MainWin::exportData);
    connect(m_actionExit, &QAction::triggered, this, &QWidget::close);
    connect(m_actionConnect, &QAction::triggered, this, &MainWin::actionConnectSlot);
    // The action's trigger shows the new state on the session's button at once.
    connect(m_actionScan, &QAction::triggered, this, [this](bool checked) {
        acquiringSession()->scanToggled(checked);
        actionScanSlot(checked);
    });
    connect(m_actionSetBaseLevel, &QAction::triggered, this, &MainWin::setBaseLevel);
    connect(m_actionLoadBaseLevel, &QAction::triggered, this, &MainWin::loadBaseLevel);
    connect(m_actionUnsetBaseLevel, &QAction::triggered, this, &MainWin::unsetBaseLevel);
    connect(m_actionMasterMode, &QAction::toggled, this, &MainWin::toggleMasterMode);
    connect(m_actionHelp, &QAction::triggered, this, &MainWin::help);
    connect(m_actionAbout, &QAction::triggered, this, &MainWin::about);
    connect(m_actionAboutHardware, &QAction::triggered, this, &MainWin::aboutHardware);
    connect(m_actionAboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
    connect(m_actionEditEedfTable, &QAction::triggered, this, &MainWin::editEEDFTable);
    connect(this, &MainWin::connectingFirstSession, this, &MainWin::createSession);
    connect(this, &MainWin::calibrationStarted, this, &MainWin::updateCalibProgress);
    connect(m_actionCopy, &QAction::triggered, this, &MainWin::copy);
    connect(m_actionCalibrate, &QAction::triggered, this, &MainWin::actionCalibrateSlot);
    connect(m_actionMove, &QAction::triggered, this, &MainWin::showLinDriverSettings);
    connect(&m_syncFreqTimer, &QTimer::timeout, this, &MainWin::updateSyncFreq);
    connect(&m_progressTimer, &QTimer::timeout, this, &MainWin::updateProgressBar);

    const auto shortcut = [this](const char* keys, void (MainWin::*slot)()) {
        auto* key = new QShortcut(QKeySequence(QLatin1String(keys)), this);
        key->setContext(Qt::ApplicationShortcut);
        connect(key, &QShortcut::activated, this, slot);
    };
    shortcut("F7", &MainWin::showLangmuirSettings);
    shortcut("F8", &MainWin::showConfigPanel);
    shortcut("Ctrl+Alt+.", &MainWin::setAdvMode);
}

void MainWin::readRememberedPaths()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(settingsGroup));
    m_dialogPath = settings.value(QLatin1String(dialogPathKey)).toString();
    m_exportFileName = settings.value(QLatin1String(exportFileNameKey)).toString();
    m_openFolder = settings.value(QLatin1String(openFileNameKey)).toString();
}

void MainWin::writeRememberedPaths() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(settingsGroup));
    settings.setValue(QLatin1String(dialogPathKey), m_dialogPath);
    settings.setValue(QLatin1String(exportFileNameKey), m_exportFileName);
    settings.setValue(QLatin1String(openFileNameKey), m_openFolder);
}

void MainWin::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeDecoration();
}

// Drops are accepted by the window but carry nothing it uses.
void MainWin::dragEnterEvent(QDragEnterEvent* event)
{
    event->ignore();
}

void MainWin::dropEvent(QDropEvent* event)
{
    event->ignore();
}

// ---------------------------------------------------------------- sessions

PlotManager* MainWin::newSessionWindow()
{
    auto* session = new PlotManager(m_defaultConfig, m_advancedMode);
    session->setDialogProvider(m_dialogs);
    session->setConnected(isConnected());
    // The session's own windows must not keep the program running once the
    // main window has closed.
    session->configPanel()->setAttribute(Qt::WA_QuitOnClose, false);
    session->analysisSettings()->setAttribute(Qt::WA_QuitOnClose, false);
    // Every session's Start Scan button drives the acquisition: the current
    // session follows the active sub-window, so any of them can be the one.
    connect(session, &PlotManager::scanStarted, this, &MainWin::actionScanSlot);
    SessionDocument* document = &session->document();
    connect(document, &SessionDocument::nameChanged, this, &MainWin::showCurrentSessionInTitle);
    connect(document, &SessionDocument::modifiedChanged, this, &MainWin::showCurrentSessionInTitle);
    return session;
}

// "name[*] — Orvel" for the session shown, with the desktop's mark while it
// holds what is not saved; "Orvel" alone while no session is open.
void MainWin::showCurrentSessionInTitle()
{
    if (!hasSubWindow()) {
        setWindowTitle(QStringLiteral("Orvel"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(QStringLiteral("%1[*] \u2014 Orvel").arg(m_currentSession->document().name()));
    setWindowModified(m_currentSession->hasUnsavedChanges());
}

QMdiSubWindow* MainWin::subWindowOf(const PlotManager* session) const
{
    for (QMdiSubWindow* window : m_area->subWindowList())
        if (window->widget() == session)
            return window;
    return nullptr;
}

PlotManager* MainWin::sessionOf(QMdiSubWindow* window)
{
    return window ? qobject_cast<PlotManager*>(window->widget()) : nullptr;
}

void MainWin::forEachSession(const std::function<void(PlotManager&)>& apply) const
{
    bool currentSeen = false;
    for (QMdiSubWindow* window : m_area->subWindowList()) {
        if (PlotManager* session = sessionOf(window)) {
            apply(*session);
            currentSeen = currentSeen || session == m_currentSession;
        }
    }
    if (!currentSeen && m_currentSession)
        apply(*m_currentSession);
}

PlotManager* MainWin::createSession()
{
    PlotManager* session = hasSubWindow() ? newSessionWindow() : m_currentSession;
    connect(session, &PlotManager::positionRailUpdate, this, &MainWin::railPositionUpdate, Qt::UniqueConnection);
    ++m_sessionCounter;
    session->document().setUntitledName(QStringLiteral("Session %1").arg(m_sessionCounter));
    QMdiSubWindow* window = m_area->addSubWindow(session);
    window->show();
    ++m_openSessions;
    applyAreaRules();
    makeRoomFor(window);
    connect(session, QOverload<PlotManager*>::of(&PlotManager::close), this, &MainWin::closeSession,
            Qt::UniqueConnection);
    // The new session is the one shown, even before the window is.
    m_area->setActiveSubWindow(window);
    m_currentSession = session;
    showCurrentSessionInTitle();
    return session;
}

// The tab bar only when there is a choice; sessions always fill the area.
void MainWin::applyAreaRules()
{
    for (QTabBar* tabs : m_area->findChildren<QTabBar*>())
        tabs->setVisible(m_openSessions > 1);
    for (QMdiSubWindow* window : m_area->subWindowList())
        if (!window->isMaximized())
            window->showMaximized();
}

void MainWin::closeSession(PlotManager* session)
{
    QMdiSubWindow* window = subWindowOf(session);
    if (!window)
        return; // not an open session
    const bool wasCurrent = session == m_currentSession;
    --m_openSessions;
    m_area->removeSubWindow(window);

    if (session == m_scanSession) {
        // The scan's data would have nowhere to go.
        if (isScanning())
            m_acquisition->requestScanStop();
        m_actionScan->setChecked(false);
    }
    if (wasCurrent)
        m_currentSession = nextCurrentSession();
    applyAreaRules();
    window->deleteLater();
    session->deleteLater();
    m_closedWindows.removeAll(nullptr);
    m_closedWindows.append(window);
    showCurrentSessionInTitle();
    setWidgetStates();
}

void MainWin::sessionChange(QMdiSubWindow* window)
{
    PlotManager* session = sessionOf(window);
    if (session && session != m_activeSession) {
        // Another session's panels would edit what the user no longer sees.
        forEachSession([](PlotManager& each) {
            each.configPanel()->hide();
            each.analysisSettings()->hide();
        });
        m_activeSession = session;
    }
    if (session) {
        m_currentSession = session;
        const QSignalBlocker block(m_actionMasterMode);
        m_actionMasterMode->setChecked(session->masterMode());
        if (session->holdsScan()) {
            m_actionSaveSession->setEnabled(true);
            m_actionSaveAsSession->setEnabled(true);
        }
        showCurrentSessionInTitle();
    }
    m_actionExport->setEnabled(true);
}

PlotManager* MainWin::nextCurrentSession()
{
    if (!hasSubWindow())
        return newSessionWindow();
    if (PlotManager* active = sessionOf(m_area->activeSubWindow()))
        return active;
    return sessionOf(m_area->subWindowList().constFirst());
}

bool MainWin::loadIntoNewSession(const QString& fileName)
{
    const QSize before = size();
    PlotManager* session = createSession();
    if (fileName.isEmpty() || !session->load(fileName)) {
        // Nothing was loaded: the empty session goes without asking, and the
        // window returns to the size the sessions before it had.
        closeSession(session);
        resize(before);
        return false;
    }
    m_currentSession = session;
    m_area->setActiveSubWindow(subWindowOf(session));
    return true;
}

bool MainWin::openSessionFile(const QString& fileName)
{
    if (!loadIntoNewSession(fileName))
        return false;
    m_openFolder = fileName;
    return true;
}

void MainWin::loadSession()
{
    // The dialog is asked before the session is made, so that a cancelled
    // Open leaves nothing behind even for a moment.
    const QString fileName = m_dialogs->openFileName(this, QStringLiteral("Open File"), m_openFolder, kSessionFilter);
    if (fileName.isEmpty())
        return;
    m_openFolder = fileName.left(fileName.lastIndexOf(QLatin1Char('/')));
    loadIntoNewSession(fileName);
}

void MainWin::saveSession()
{
    if (hasSubWindow())
        m_currentSession->save();
}

void MainWin::saveAsSession()
{
    if (hasSubWindow())
        m_currentSession->saveAs();
}

void MainWin::setBaseLevel()
{
    if (!hasSubWindow())
        return;
    if (m_currentSession->setBaseLevelFromSession())
        qDebug() << "Base Level set :" << true;
}

void MainWin::loadBaseLevel()
{
    if (!hasSubWindow())
        return;
    const QString fileName = m_dialogs->openFileName(this, QStringLiteral("Open File"), m_openFolder, kSessionFilter);
    if (!fileName.isEmpty())
        m_currentSession->loadBaseLevel(fileName);
}

void MainWin::unsetBaseLevel()
{
    m_currentSession->unsetBaseLevel();
}

void MainWin::exportData()
{
    if (!hasSubWindow())
        return;
    PlotManager* session = m_currentSession;
    ExportOptions options(this);
    if (m_dialogs->exec(options) != QDialog::Accepted)
        return;
    const QString target =
        m_dialogs->saveFileName(this, QStringLiteral("Export File"), m_exportFileName, kExportFilter, QStringLiteral("csv"));
    if (target.isEmpty())
        return;
    m_exportFileName = target;
    const QString error = exportSession(target, options.settings(), session->data(), *session->analysisSettings());
    if (error.isEmpty())
        return;
    // Recorded, and said: an export that failed without a word would leave
    // the user trusting a file that is not there.
    m_errorMessages.prepend(error);
    m_dialogs->critical(this, QCoreApplication::applicationName(), error);
}

void MainWin::editEEDFTable()
{
    EEDF_Dialog dialog(this);
    dialog.editDefaultTable(QCoreApplication::applicationDirPath());
}

bool MainWin::closeAllSessions()
{
    // Active first, then the others; a session that refuses stops the exit.
    QList<QMdiSubWindow*> windows = m_area->subWindowList(QMdiArea::ActivationHistoryOrder);
    std::reverse(windows.begin(), windows.end());
    for (QMdiSubWindow* window : windows) {
        if (!window->close())
            return false;
    }
    return true;
}

void MainWin::closeEvent(QCloseEvent* event)
{
    if (!closeAllSessions()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWin::offerRecoveryCopies()
{
    for (RecoveryCopy& copy : RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder()))
        offerRecoveryCopy(std::move(copy));
}

void MainWin::offerRecoveryCopy(RecoveryCopy copy)
{
    SessionContents contents;
    QString reason;
    if (!readRecoveryFile(copy, contents, reason)) {
        const QString name = copy.fileName();
        const QString aside = copy.setAside();
        const QString fate = aside.isEmpty() ? QStringLiteral("It was deleted.")
                                             : QStringLiteral("It was moved to %1.").arg(aside);
        m_dialogs->warning(this, QStringLiteral("Recovery copy unreadable"),
                           QStringLiteral("A recovery copy of a session was found but cannot be read, so it cannot "
                                          "be restored:\n%1\nReason: %2\n%3")
                               .arg(name, reason, fate));
        return;
    }
    const QString question =
        QStringLiteral("Orvel did not shut down cleanly. A recovery copy of an unsaved session (%1 frames, last "
                       "written %2) was found. Restore it?")
            .arg(contents.data.frameCount())
            .arg(copy.lastWritten().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    const QString details = QStringLiteral("Restore opens it as a new session; save it there to keep it. Discard "
                                           "deletes the copy. Later keeps it for the next start.");
    enum Answer { Restore, Discard, Later };
    switch (m_dialogs->choose(this, QStringLiteral("Recovery copy found"), question, details,
                              {QStringLiteral("Restore"), QStringLiteral("Discard"), QStringLiteral("Later")})) {
    case Restore: {
        PlotManager* session = createSession();
        session->document().setUntitledName(session->windowTitle() + QStringLiteral(" (recovered)"));
        session->restoreRecovered(contents, std::move(copy));
        sessionChange(subWindowOf(session));
        break;
    }
    case Discard:
        copy.remove();
        break;
    default:
        copy.release();
        break;
    }
}

void MainWin::setAdvMode()
{
    m_advancedMode = !m_advancedMode;
    forEachSession([this](PlotManager& session) { session.setAdvancedMode(m_advancedMode); });
}

void MainWin::toggleMasterMode(bool checked)
{
    if (hasSubWindow())
        m_currentSession->setMasterMode(checked);
}

void MainWin::showLangmuirSettings()
{
    if (hasSubWindow())
        m_currentSession->showSettings();
}

void MainWin::showConfigPanel()
{
    if (hasSubWindow())
        m_currentSession->showConfig();
}

void MainWin::railPositionUpdate(double mm)
{
    m_positionLabel->setText(QStringLiteral("Position :%1 mm").arg(mm, 0, 'f', 2));
}

void MainWin::help()
{
    const QString guide = userGuideFile();
    if (guide.isEmpty()) {
        m_dialogs->warning(this, QStringLiteral("Opening Manual"),
                           QStringLiteral("Unable to find help file\nPlease check install folder."));
        return;
    }
    // Without a desktop handler for PDF files nothing would open: say where
    // the guide is instead of doing nothing.
    if (!m_dialogs->openUrl(QUrl::fromLocalFile(guide)))
        m_dialogs->warning(this, QStringLiteral("Opening Manual"),
                           QStringLiteral("No program to show PDF files was found.\nThe user guide is the file:\n%1").arg(guide));
}

void MainWin::about()
{
    AboutDialog dialog(this);
    m_dialogs->exec(dialog);
}

// ---------------------------------------------------------------- inert commands

// The menus offer copying, calibration, the default voltage, a rerun, the
// frequency's resynchronisation and the drive's own dialog, and two timers
// tick for them, but this version does none of these: the slots take the
// wiring and do nothing.
void MainWin::abortAll() {}

void MainWin::copy() {}

void MainWin::actionCalibrateSlot() {}

void MainWin::updateCalibProgress() {}

void MainWin::setDefVoltage() {}

void MainWin::rerun() {}

void MainWin::resynchronizeFreq() {}

void MainWin::showLinDriverSettings() {}

void MainWin::updateSyncFreq() {}
