#pragma once

#include "acquisition/measuredData.h"
#include "acquisition/scanResult.h"
#include "config/ConfigParam.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class ConfigParamPanel;
class DialogProvider;
class GraphForm;
class LangmuirSettingsWidget;
class QCheckBox;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class RecoveryCopy;
class SessionPlots;
class SessionDocument;
class SessionJournal;
struct SessionContents;
class ValuesPanel;
struct FrameView;

// The window of one measurement session. It owns the session's data, its scan
// configuration and analysis settings (with the configuration panel and the
// "Process Settings" dialog that edit them, each a window of its own), files
// every scan the acquisition delivers, shows one frame at a time with its
// plasma parameters, lets the operator step through positions, scans and time
// steps, draws parameter trends over the positions or the delays, and saves
// and loads the session file.
//
// Frames can arrive every few milliseconds. Each one is filed and counted at
// once, but the display follows at most about 30 times a second, always with
// the data as they stand after the latest frame.
class PlotManager : public QWidget
{
    Q_OBJECT

public:
    // Shortest time between two refreshes of the display while frames arrive.
    static constexpr int refreshIntervalMs = 33;
    // Longest the trend view analyses at a time before the window takes its
    // events again.
    static constexpr int trendSliceMs = 20;

    PlotManager(const ConfigParam& defaults, bool advancedMode, QWidget* parent = nullptr);
    ~PlotManager() override;

    // QWidget's close() is hidden by the close(PlotManager*) signal.
    using QWidget::close;

    measuredData& data() { return m_data; }
    const measuredData& data() const { return m_data; }
    // The configuration the session's data were taken with; the scan control
    // copies the panel's record into it at every scan start.
    ConfigParam& config() { return m_config; }
    ConfigParamPanel* configPanel() const { return m_panel.get(); }
    // The session's analysis settings: the dialog is the record.
    LangmuirSettingsWidget* analysisSettings() const { return m_settings.get(); }
    const SessionPlots& plots() const { return *m_plots; }

    // Where message boxes and file dialogs go; the standard provider opens
    // the toolkit's dialogs. Not owned.
    void setDialogProvider(DialogProvider* dialogs);

    // Loads a session file into this session: 1 on success, 0 on failure
    // (after telling the operator why).
    int load(const QString& fileName);
    // Opens a session left by an earlier run (a recovery journal replayed
    // into `contents`, which this takes): unsaved, with no file of its own,
    // and journaling on in `copy` until it is saved or closed.
    void restoreRecovered(SessionContents& contents, RecoveryCopy copy);
    // The recovery journal kept while the session gathers data.
    SessionJournal& recovery() const { return *m_recovery; }

    // The session's document lifecycle: name, file, unsaved mark, saving,
    // loading, the close prompt and the base level.
    SessionDocument& document() const { return *m_document; }
    // Whether closing would lose anything (see SessionDocument).
    bool hasUnsavedChanges() const;
    // The file the session was last saved to from this window; empty before.
    QString ownFileName() const;

    // Base level. Setting one takes the first frame of the first position of
    // this session (returns whether it was set), loading one takes it from a
    // session file; either applies to scans stored afterwards only.
    bool setBaseLevelFromSession();
    bool loadBaseLevel(const QString& fileName);
    void unsetBaseLevel();

    // Whether a new scan may discard what the session holds: at once when it
    // holds no scan data that are not saved; otherwise the operator is asked
    // as at closing (Save, Discard, Cancel), and false on Cancel or when the
    // save did not happen.
    bool mayDiscardScans();
    // Run by the scan control once a scan really starts: the session's data
    // are discarded, the display emptied, and a new acquisition begins.
    void prepareForNewScan();
    // The acquisition the session files frames of; every scan start begins a
    // new one.
    int acquisition() const { return m_acquisition; }

    // At least one position is held.
    bool holdsScan() const { return !m_data.positions.isEmpty(); }
    // The trend view is shown with every time step analysed and plotted.
    bool trendComplete() const;
    bool isScanning() const { return m_scanning; }

    // Master mode offers the choice of single scans ("Use Averaging" and the
    // scan slider); without it the averaged data are shown.
    void setMasterMode(bool on);
    bool masterMode() const { return m_masterMode; }
    void setAdvancedMode(bool on);
    bool advancedMode() const { return m_advancedMode; }
    // Window icon by the sensor's connection; nothing happens when the state
    // does not change.
    void setConnected(bool connected);

    // The number of harmonics chosen in any session's harmonics box.
    static int harmonicsCount();

signals:
    void close(PlotManager* session);
    void scanStarted(bool start);
    void positionRailUpdate(double mm);

public slots:
    bool save();
    bool saveAs();
    void showAlert(bool show);
    void showConfig();
    void showSettings();
    void showTrends();
    void showIV();
    void trend_kTe();
    void trend_Jp();
    void trend_Ni();
    void trend_Ld();
    void trend_kTeHarmonic();
    void trend_IisHarmonic();
    void trend_NiHarmonic();
    void displayTrend();
    void replotTrendData();
    void dataUpdate(const scanResult& frame);
    // A frame of acquisition `acquisition`: filed only while that is the
    // session's current one, so that frames a stopped worker still had on
    // their way never reach the next scan.
    void acquisitionUpdate(int acquisition, const scanResult& frame);
    void harmValueChanged(int harmonics);
    void scanToggled(bool checked);
    void scanEnabled(bool enabled);
    void setTracePens();
    void controlGraph();
    void replot();
    void setPositionValue(int index);
    void setScanValue(int index);
    void setDelayValue(int index);
    void showFrameControls2(bool show);
    void reanalyse(bool checked);
    void plot1Scale();
    void plot2Scale();
    void plot3Scale();
    void updateGraph();
    void toggleUseAveraging(bool on);
    void startScanBut(bool checked);
    void refreshValues();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    QWidget* buildControls();
    void connectControls();

    void showLoadedSession();
    SessionContents recoveryContents() const;
    QMap<QString, QString> settingsSnapshot() const;

    void scheduleRefresh();
    void displayFrame(int p, int s, int d);
    void displayCurrentFrame();
    void showAnalysis(int p, const FrameView& frame);
    void noteAnalysisSettings();
    void updateAlertText();
    void updateTimeStepLabel();
    void resetNavigation();
    bool useAverages() const;
    void selectTrend(int labelIndex);
    void applyViewToggles();
    void openScaleForm(int plot);

    measuredData m_data;
    ConfigParam m_config;
    std::unique_ptr<ConfigParamPanel> m_panel;
    std::unique_ptr<LangmuirSettingsWidget> m_settings;
    std::unique_ptr<SessionPlots> m_plots;
    std::array<GraphForm*, 3> m_scaleForms{};

    QVBoxLayout* m_plotColumn = nullptr;
    QHBoxLayout* m_waveformRow = nullptr;
    ValuesPanel* m_values = nullptr;
    QPushButton* m_alertButton = nullptr;
    QLabel* m_alertLabel = nullptr;
    QCheckBox* m_useAveraging = nullptr;
    QLabel* m_positionLabel = nullptr;
    QSlider* m_positionSlider = nullptr;
    QLabel* m_timeLabel = nullptr;
    QLabel* m_scanLabel = nullptr;
    QSlider* m_scanSlider = nullptr;
    QLabel* m_timeStepLabel = nullptr;
    QSlider* m_delaySlider = nullptr;
    QSpinBox* m_harmonicsBox = nullptr;
    QCheckBox* m_showWaveforms = nullptr;
    QCheckBox* m_showDerivative = nullptr;
    QCheckBox* m_showErrorBars = nullptr;
    QCheckBox* m_showDataPoints = nullptr;
    QWidget* m_trendButtons = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_configButton = nullptr;
    QPushButton* m_viewScanButton = nullptr;
    QPushButton* m_viewTrendsButton = nullptr;
    QPushButton* m_reanalyseButton = nullptr;
    QPushButton* m_scanButton = nullptr;

    bool m_advancedMode;
    bool m_masterMode = false;
    bool m_scanning = false;
    bool m_connected = false;
    int m_acquisition = 0;
    int m_trendIndex;
    // Analysis text of the last frame analysed at each position index.
    QHash<int, QString> m_alerts;

    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    QTimer m_trendTimer; // continues the trend's analysis
    bool m_trendPending = false; // time steps are left to analyse for it
    // The analysis settings the records' analyses were made with.
    QMap<QString, QString> m_analysedWith;

    std::unique_ptr<SessionJournal> m_recovery;
    std::unique_ptr<SessionDocument> m_document;
};
