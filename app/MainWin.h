#pragma once

#include "acquisition/AcquisitionControl.h"
#include "config/ConfigParam.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class DialogProvider;
class PlotManager;
class QAction;
class QFrame;
class QLabel;
class QProgressBar;
class QMdiArea;
class QMdiSubWindow;
class RecoveryCopy;
struct ScanStart;

// The program's main window. Every measurement session is one tabbed
// sub-window of its session area, holding a session window (PlotManager);
// the menu commands act on the current session, which follows the active
// sub-window. A current session always exists: when the last sub-window
// closes, a fresh hidden one takes its place and the next new session reuses it.
//
// The window also presents the acquisition (AcquisitionControl: the sensor,
// its status once a second, the scan worker) and routes the operator's
// commands to it, and keeps the open folder, the last export file and the
// dialog path in the settings store.
class MainWin : public QMainWindow
{
    Q_OBJECT

public:
    // Settings store group and keys of the remembered paths.
    static const char* const settingsGroup;
    static const char* const dialogPathKey;
    static const char* const exportFileNameKey;
    static const char* const openFileNameKey;

    static constexpr int sensorPollIntervalMs = AcquisitionControl::sensorPollIntervalMs;
    static constexpr int connectAttempts = AcquisitionControl::connectAttempts;

    explicit MainWin(QWidget* parent = nullptr);
    ~MainWin() override;

    // Where message boxes and dialogs go, for this window and every session;
    // the standard provider opens the toolkit's dialogs. Not owned.
    void setDialogProvider(DialogProvider* dialogs);

    // Opens a session file named on the command line in a new session: true
    // when it loaded (the session is then current); on failure the new session
    // is closed again after the loader has told the user why.
    bool openSessionFile(const QString& fileName);

    PlotManager* currentSession() const { return m_currentSession; }
    QMdiArea* sessionArea() const { return m_area; }
    int openSessionCount() const { return m_openSessions; }
    bool advancedMode() const { return m_advancedMode; }
    bool isConnected() const;
    bool isScanning() const;
    // Errors the user was told about (export failures), newest first; emptied
    // whenever the sensor gets connected.
    const QStringList& errorMessages() const { return m_errorMessages; }
    QString openFolder() const { return m_openFolder; }
    QString exportFileName() const { return m_exportFileName; }

signals:
    // Declared for the calibration and the stop of a scan; nothing in this
    // version emits them.
    void calibrationStarted();
    void connectingFirstSession();
    void stopScan();

public slots:
    void abortAll();
    void setWidgetStates();
    void sessionChange(QMdiSubWindow* window);
    void testConnection();
    void updateSensorState();
    void sensorDisconnected();
    void scan();
    void scanDone();
    void railPositionUpdate(double mm);
    void actionConnectSlot();
    void copy();
    void actionCalibrateSlot();
    void updateCalibProgress();
    void actionScanSlot(bool checked);
    void setDefVoltage();
    void rerun();
    void resynchronizeFreq();
    PlotManager* createSession();
    void closeSession(PlotManager* session);
    void saveSession();
    void saveAsSession();
    void exportData();
    void loadSession();
    void loadBaseLevel();
    void setBaseLevel();
    void unsetBaseLevel();
    void help();
    void aboutHardware();
    void setAdvMode();
    void showLinDriverSettings();
    void showLangmuirSettings();
    void showConfigPanel();
    void updateSyncFreq();
    // Shows how far the running scan has come and the time it still needs;
    // hides both once no scan runs. Runs once a second while a scan runs.
    void updateProgressBar();
    void editEEDFTable();
    void toggleMasterMode(bool checked);
    void about();
    // Offers, one by one, the recovery journals of sessions that a run which
    // did not end cleanly left behind (none of a running instance): restore
    // opens one as an unsaved session, discard deletes it, later keeps it for
    // the next start. An unreadable one is set aside with a warning.
    void offerRecoveryCopies();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Construction.
    void buildActions();
    void buildMenus();
    void buildStatusBar();
    void buildSessionArea();
    void buildDecoration();
    void placeDecoration();
    void makeRoomFor(QMdiSubWindow* window);
    void connectActions();
    void readRememberedPaths();
    void writeRememberedPaths() const;

    // Sessions.
    PlotManager* newSessionWindow();
    QMdiSubWindow* subWindowOf(const PlotManager* session) const;
    static PlotManager* sessionOf(QMdiSubWindow* window);
    void forEachSession(const std::function<void(PlotManager&)>& apply) const;
    void applyAreaRules();
    void showCurrentSessionInTitle();
    bool hasSubWindow() const { return m_openSessions > 0; }
    PlotManager* nextCurrentSession();
    bool loadIntoNewSession(const QString& fileName);
    bool closeAllSessions();
    void offerRecoveryCopy(RecoveryCopy copy);

    // Acquisition.
    void connectAcquisition();
    void connectSensor();
    void disconnectSensor();
    void setSessionsConnected(bool connected);
    void setNotConnected();
    PlotManager* acquiringSession() const;
    bool startScan(PlotManager& session);
    void showDriveMoveFailed(double position, const QString& reason);
    void showScanStopped();
    void startScanProgress(const ScanStart& start, const ConfigParam& config);
    void hideScanProgress();

    DialogProvider* m_dialogs;
    ConfigParam m_defaultConfig;

    QMdiArea* m_area = nullptr;
    PlotManager* m_currentSession = nullptr;
    // The session whose panels were last shown as the active one.
    QPointer<PlotManager> m_activeSession;
    int m_openSessions = 0;
    int m_sessionCounter = 0;
    bool m_advancedMode = false;

    QString m_dialogPath;
    QString m_exportFileName;
    QString m_openFolder;
    QStringList m_errorMessages;

    QAction* m_actionNewSession = nullptr;
    QAction* m_actionOpenSession = nullptr;
    QAction* m_actionSaveSession = nullptr;
    QAction* m_actionSaveAsSession = nullptr;
    QAction* m_actionExport = nullptr;
    QAction* m_actionExit = nullptr;
    QAction* m_actionCopy = nullptr;
    QAction* m_actionConnect = nullptr;
    QAction* m_actionScan = nullptr;
    QAction* m_actionMove = nullptr;
    QAction* m_actionSetBaseLevel = nullptr;
    QAction* m_actionLoadBaseLevel = nullptr;
    QAction* m_actionUnsetBaseLevel = nullptr;
    QAction* m_actionMasterMode = nullptr;
    QAction* m_actionHelp = nullptr;
    QAction* m_actionAbout = nullptr;
    QAction* m_actionAboutHardware = nullptr;
    QAction* m_actionCalibrate = nullptr;
    QAction* m_actionClean = nullptr;
    QAction* m_actionAboutQt = nullptr;
    QAction* m_actionEditEedfTable = nullptr;
    QAction* m_actionInputUserVp = nullptr;

    QProgressBar* m_progressBar = nullptr;
    QLabel* m_timeLeftLabel = nullptr;
    QLabel* m_positionLabel = nullptr;
    QLabel* m_connectionLabel = nullptr;
    QFrame* m_topLine = nullptr;
    QFrame* m_bottomLine = nullptr;
    QLabel* m_logo = nullptr;

    // The session the running scan feeds.
    QPointer<PlotManager> m_scanSession;
    // What the running scan asked for, and since when it runs.
    int m_scanScans = 0;
    int m_scanPositions = 1;
    QElapsedTimer m_scanClock;
    // Repeating, started with the window; drives updateSyncFreq.
    QTimer m_syncFreqTimer;
    // Single-shot; drives updateProgressBar while a scan runs.
    QTimer m_progressTimer;
    std::unique_ptr<AcquisitionControl> m_acquisition;
    // Sub-windows of closed sessions, deleted once the event loop runs again;
    // the program may end before that, and their panels must still save.
    QList<QPointer<QMdiSubWindow>> m_closedWindows;
};
