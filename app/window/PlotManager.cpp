#include "window/PlotManager.h"

#include "acquisition/TimeStepAnalysis.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "session/SessionFile.h"
#include "session/SessionJournal.h"
#include "window/DialogProvider.h"
#include "window/FrameView.h"
#include "window/SessionDocument.h"
#include "window/GraphForm.h"
#include "window/SessionPlots.h"
#include "window/ThreeTracePlotter.h"
#include "window/ValuesPanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kNoAnalysisYet = QStringLiteral("Analysis for this time frame has not run yet.");
const QString kNoAlerts = QStringLiteral("The analysis of this time frame reported no alert.");

// Heights of the IV plot and the waveform row, in proportion.
constexpr int kIvStretch = 3;
constexpr int kWaveformStretch = 2;
// The widest the controls column grows.
constexpr int kControlsWidth = 300;
// The least a plot is given: its title, axes and a readable curve.
constexpr QSize kPlotMinimum(200, 150);

// Shared by every session: the last value chosen in any harmonics box.
int s_harmonics = scanResult::maxHarmonics;

QString scanButtonText(bool scanning)
{
    return scanning ? QStringLiteral("Stop Scan") : QStringLiteral("Start Scan");
}

QString delayText(float delay)
{
    return QString::number(delay, 'g', 6);
}

// A navigation slider over `count` entries: range 0 .. count − 1 (0 .. 0 when
// empty), set without emitting, shown only when there is something to choose.
void setNavigationRange(QSlider* slider, int count, bool mayShow = true)
{
    const QSignalBlocker block(slider);
    slider->setRange(0, std::max(count - 1, 0));
    slider->setVisible(mayShow && count > 0);
}

void setSilently(QSlider* slider, int value)
{
    const QSignalBlocker block(slider);
    slider->setValue(value);
}

QSlider* navigationSlider(const char* objectName, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(objectName));
    slider->setRange(0, 0);
    slider->setPageStep(1);
    return slider;
}

QLabel* namedLabel(const QString& text, const char* objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QPushButton* namedButton(const QString& text, const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

QCheckBox* toggle(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setChecked(true);
    return box;
}

} // namespace

PlotManager::PlotManager(const ConfigParam& defaults, bool advancedMode, QWidget* parent)
    : QWidget(parent)
    , m_config(defaults)
    , m_panel(std::make_unique<ConfigParamPanel>(defaults))
    , m_settings(std::make_unique<LangmuirSettingsWidget>())
    , m_plots(std::make_unique<SessionPlots>(this))
    , m_advancedMode(advancedMode)
    , m_trendIndex(trend::Jp)
    , m_recovery(std::make_unique<SessionJournal>([this] { return recoveryContents(); }))
    , m_document(std::make_unique<SessionDocument>(*this, m_data, m_config, *m_settings))
{
    m_recovery->setNamePattern(m_config.autosaveNamePattern);
    connect(m_recovery.get(), &SessionJournal::journalFailed, this,
            [](const QString& problem) { qWarning().noquote() << "No recovery journal of the session:" << problem; });
    m_panel->setAdvancedMode(advancedMode);
    connect(m_document.get(), &SessionDocument::loaded, this, &PlotManager::showLoadedSession);
    connect(m_document.get(), &SessionDocument::nameChanged, this, &QWidget::setWindowTitle);
    connect(m_document.get(), &SessionDocument::saved, this, [this] {
        m_reanalyseButton->setEnabled(true);
        m_recovery->remove();
    });
    setWindowIcon(QIcon(QStringLiteral(":/images/Zund_File.png")));

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &PlotManager::refreshValues);
    m_trendTimer.setSingleShot(true);
    m_trendTimer.setInterval(0);
    connect(&m_trendTimer, &QTimer::timeout, this, &PlotManager::displayTrend);

    buildLayout();
    connectControls();
    applyViewToggles();
    refreshValues();
}

// The panel and the dialog are windows of their own, owned here. A recovery
// copy outlives a session that goes without being closed.
PlotManager::~PlotManager() = default;

// Cheap whatever the session's size: the data are implicitly shared.
SessionContents PlotManager::recoveryContents() const
{
    return SessionContents{m_data, m_config, *m_settings};
}

void PlotManager::setDialogProvider(DialogProvider* dialogs)
{
    m_document->setDialogProvider(dialogs ? dialogs : DialogProvider::standard());
}

int PlotManager::harmonicsCount()
{
    return s_harmonics;
}

// ---------------------------------------------------------------- layout

// A session fits whatever room the main window has on the screen: the plots
// may shrink below the size they ask for, and the controls scroll.
void PlotManager::buildLayout()
{
    m_plotColumn = new QVBoxLayout;
    m_plotColumn->addWidget(m_plots->plot(SessionPlots::IvPlot), kIvStretch);
    m_waveformRow = new QHBoxLayout;
    m_waveformRow->addWidget(m_plots->plot(SessionPlots::HighBandPlot));
    m_waveformRow->addWidget(m_plots->plot(SessionPlots::LowBandPlot));
    m_plotColumn->addLayout(m_waveformRow, kWaveformStretch);
    for (int plot = 0; plot < SessionPlots::PlotCount; ++plot) {
        QWidget* widget = m_plots->plot(SessionPlots::Plot(plot));
        widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        widget->setMinimumSize(kPlotMinimum);
    }

    auto* controls = new QScrollArea(this);
    controls->setObjectName(QStringLiteral("controlsArea"));
    controls->setFrameShape(QFrame::NoFrame);
    controls->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    controls->setWidgetResizable(true);
    QWidget* panel = buildControls();
    controls->setWidget(panel);
    // The column as wide as the controls may grow, beside the scroll bar it
    // may need.
    controls->setFixedWidth(panel->maximumWidth() + controls->verticalScrollBar()->sizeHint().width());

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(m_plotColumn, 1);
    layout->addWidget(controls);
}

QWidget* PlotManager::buildControls()
{
    auto* panel = new QWidget(this);
    panel->setMaximumWidth(kControlsWidth);
    auto* column = new QVBoxLayout(panel);

    m_values = new ValuesPanel(panel);
    column->addWidget(m_values);

    auto* alertRow = new QHBoxLayout;
    m_alertButton = namedButton(QString(), "alertButton", panel);
    m_alertButton->setIcon(QIcon(QStringLiteral(":/images/warning.png")));
    m_alertButton->setToolTip(QStringLiteral("Analysis alert. Click for more details."));
    m_alertButton->setCheckable(true);
    m_alertLabel = namedLabel(QString(), "alertLabel", panel);
    m_alertLabel->setWordWrap(true);
    m_alertLabel->hide();
    alertRow->addWidget(m_alertButton, 0, Qt::AlignTop);
    alertRow->addWidget(m_alertLabel, 1);
    column->addLayout(alertRow);

    m_useAveraging = new QCheckBox(QStringLiteral("Use Averaging"), panel);
    m_useAveraging->setObjectName(QStringLiteral("useAveragingBox"));
    m_useAveraging->setChecked(true);
    m_useAveraging->hide();
    column->addWidget(m_useAveraging);

    auto* navigation = new QGridLayout;
    m_positionLabel = namedLabel(QStringLiteral("--- [mm]"), "positionLabel", panel);
    m_positionSlider = navigationSlider("positionSlider", panel);
    m_timeLabel = namedLabel(QStringLiteral("--- [us]"), "timeLabel", panel);
    m_scanLabel = namedLabel(QStringLiteral("x/x"), "scanLabel", panel);
    m_scanSlider = navigationSlider("scanSlider", panel);
    m_scanSlider->setEnabled(false);
    m_timeStepLabel = namedLabel(QStringLiteral("x/x"), "timeStepLabel", panel);
    m_delaySlider = navigationSlider("delaySlider", panel);
    int row = 0;
    navigation->addWidget(new QLabel(QStringLiteral("Position:"), panel), row, 0);
    navigation->addWidget(m_positionLabel, row++, 1);
    navigation->addWidget(m_positionSlider, row++, 0, 1, 2);
    navigation->addWidget(new QLabel(QStringLiteral("Time:"), panel), row, 0);
    navigation->addWidget(m_timeLabel, row++, 1);
    navigation->addWidget(new QLabel(QStringLiteral("Scan #:"), panel), row, 0);
    navigation->addWidget(m_scanLabel, row++, 1);
    navigation->addWidget(m_scanSlider, row++, 0, 1, 2);
    navigation->addWidget(new QLabel(QStringLiteral("Time Step:"), panel), row, 0);
    navigation->addWidget(m_timeStepLabel, row++, 1);
    navigation->addWidget(m_delaySlider, row++, 0, 1, 2);
    column->addLayout(navigation);

    m_harmonicsBox = new QSpinBox(panel);
    m_harmonicsBox->setObjectName(QStringLiteral("harmonicsBox"));
    m_harmonicsBox->setRange(1, scanResult::maxHarmonics);
    m_harmonicsBox->setValue(s_harmonics);
    m_harmonicsBox->setToolTip(QStringLiteral("number of harmonics"));
    column->addWidget(m_harmonicsBox);

    m_showWaveforms = toggle(QStringLiteral("Show Waveforms"), panel);
    m_showDerivative = toggle(QStringLiteral("Show dI/dV"), panel);
    m_showErrorBars = toggle(QStringLiteral("Show Error bars"), panel);
    m_showDataPoints = toggle(QStringLiteral("Show data points"), panel);
    for (QCheckBox* box : {m_showWaveforms, m_showDerivative, m_showErrorBars, m_showDataPoints})
        column->addWidget(box);

    // The IV analysis' quantities in the first row, the harmonic analysis' below.
    m_trendButtons = new QWidget(panel);
    auto* trendRows = new QGridLayout(m_trendButtons);
    trendRows->setContentsMargins(0, 0, 0, 0);
    const struct
    {
        const char* text;
        void (PlotManager::*slot)();
        int row;
    } trends[] = {
        {"kTe", &PlotManager::trend_kTe, 0},
        {"Jp", &PlotManager::trend_Jp, 0},
        {"Ni", &PlotManager::trend_Ni, 0},
        {"Ld", &PlotManager::trend_Ld, 0},
        {"kTe harm.", &PlotManager::trend_kTeHarmonic, 1},
        {"Iis harm.", &PlotManager::trend_IisHarmonic, 1},
        {"Ni harm.", &PlotManager::trend_NiHarmonic, 1},
    };
    int columnInRow[2] = {0, 0};
    for (const auto& t : trends) {
        auto* button = new QPushButton(QLatin1String(t.text), m_trendButtons);
        connect(button, &QPushButton::clicked, this, t.slot);
        trendRows->addWidget(button, t.row, columnInRow[t.row]++);
    }
    m_trendButtons->hide();
    column->addWidget(m_trendButtons);

    auto* buttons = new QGridLayout;
    m_settingsButton = namedButton(QStringLiteral("Settings"), "settingsButton", panel);
    m_configButton = namedButton(QStringLiteral("Config"), "configButton", panel);
    m_viewScanButton = namedButton(QStringLiteral("View Scan"), "viewScanButton", panel);
    m_viewTrendsButton = namedButton(QStringLiteral("View Trends"), "viewTrendsButton", panel);
    buttons->addWidget(m_settingsButton, 0, 0);
    buttons->addWidget(m_configButton, 0, 1);
    buttons->addWidget(m_viewScanButton, 1, 0);
    buttons->addWidget(m_viewTrendsButton, 1, 1);
    column->addLayout(buttons);

    m_reanalyseButton = namedButton(QStringLiteral("Reanalyse"), "reanalyseButton", panel);
    m_reanalyseButton->setEnabled(false);
    column->addWidget(m_reanalyseButton);
    m_scanButton = namedButton(QStringLiteral("Start Scan"), "startScanButton", panel);
    m_scanButton->setCheckable(true);
    column->addWidget(m_scanButton);
    column->addStretch();
    return panel;
}

void PlotManager::connectControls()
{
    connect(m_settingsButton, &QPushButton::clicked, this, &PlotManager::showSettings);
    connect(m_configButton, &QPushButton::clicked, this, &PlotManager::showConfig);
    connect(m_viewTrendsButton, &QPushButton::clicked, this, &PlotManager::showTrends);
    connect(m_viewScanButton, &QPushButton::clicked, this, &PlotManager::showIV);
    connect(m_plots->plot(SessionPlots::IvPlot), &ThreeTracePlotter::leftAxisDoubleClick, this,
            &PlotManager::plot1Scale);
    connect(m_plots->plot(SessionPlots::HighBandPlot), &ThreeTracePlotter::leftAxisDoubleClick, this,
            &PlotManager::plot2Scale);
    connect(m_plots->plot(SessionPlots::LowBandPlot), &ThreeTracePlotter::leftAxisDoubleClick, this,
            &PlotManager::plot3Scale);
    for (QCheckBox* box : {m_showWaveforms, m_showDerivative, m_showErrorBars, m_showDataPoints})
        connect(box, &QCheckBox::toggled, this, &PlotManager::controlGraph);
    connect(m_positionSlider, &QSlider::valueChanged, this, &PlotManager::setPositionValue);
    connect(m_scanSlider, &QSlider::valueChanged, this, &PlotManager::setScanValue);
    connect(m_delaySlider, &QSlider::valueChanged, this, &PlotManager::setDelayValue);
    connect(m_harmonicsBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &PlotManager::harmValueChanged);
    connect(m_useAveraging, &QCheckBox::toggled, this, &PlotManager::toggleUseAveraging);
    connect(m_scanButton, &QPushButton::clicked, this, &PlotManager::startScanBut);
    connect(m_reanalyseButton, &QPushButton::clicked, this, &PlotManager::reanalyse);
    connect(m_alertButton, &QPushButton::toggled, this, &PlotManager::showAlert);
    connect(m_settings.get(), &LangmuirSettingsWidget::settingsClosed, this, &PlotManager::refreshValues);
    connect(m_settings.get(), &LangmuirSettingsWidget::settingsClosed, m_document.get(),
            &SessionDocument::settingsMayHaveChanged);
    connect(m_panel.get(), &ConfigParamPanel::positionUpdate, this, &PlotManager::positionRailUpdate);
}

// ---------------------------------------------------------------- session file

bool PlotManager::save()
{
    return m_document->save();
}

bool PlotManager::saveAs()
{
    return m_document->saveAs();
}

int PlotManager::load(const QString& fileName)
{
    return m_document->load(fileName);
}

QString PlotManager::ownFileName() const
{
    return m_document->ownFileName();
}

bool PlotManager::hasUnsavedChanges() const
{
    return m_document->isModified();
}

void PlotManager::showLoadedSession()
{
    m_alerts.clear();
    resetNavigation();
    refreshValues();
}

void PlotManager::restoreRecovered(SessionContents& contents, RecoveryCopy copy)
{
    // As a load fills a session (the base level stays the session's own).
    m_data.deviceID = contents.data.deviceID;
    m_data.comment = contents.data.comment;
    m_data.positions = std::move(contents.data.positions);
    // The copy's name is no place to offer for saving.
    m_data.fileName.clear();
    LinearDrive* drive = m_config.linearDrive;
    m_config = contents.config;
    m_config.linearDrive = drive;
    static_cast<LangmuirSettings&>(*m_settings) = contents.settings;
    m_recovery->adopt(std::move(copy));
    m_document->restored();
}

QMap<QString, QString> PlotManager::settingsSnapshot() const
{
    QMap<QString, QString> map;
    m_settings->toStringMap(map);
    return map;
}

void PlotManager::closeEvent(QCloseEvent* event)
{
    if (!m_document->confirmClose()) {
        event->ignore();
        return;
    }
    // Saved, or the operator chose to drop the session, and its journal.
    m_recovery->remove();
    event->accept();
    emit close(this);
}

bool PlotManager::mayDiscardScans()
{
    return m_document->mayDiscardScans();
}

// ---------------------------------------------------------------- base level

bool PlotManager::setBaseLevelFromSession()
{
    return m_document->setBaseLevelFromSession();
}

bool PlotManager::loadBaseLevel(const QString& fileName)
{
    return m_document->loadBaseLevel(fileName);
}

void PlotManager::unsetBaseLevel()
{
    m_document->unsetBaseLevel();
}

// ---------------------------------------------------------------- acquisition

void PlotManager::acquisitionUpdate(int acquisition, const scanResult& frame)
{
    if (acquisition == m_acquisition)
        dataUpdate(frame);
}

void PlotManager::dataUpdate(const scanResult& frame)
{
    if (!m_recovery->file(m_data, frame))
        return;
    m_document->noteChange();
    scheduleRefresh();
}

// The first frame after a quiet spell is shown at once; later ones wait for
// the refresh interval, and the refresh then shows all of them.
void PlotManager::scheduleRefresh()
{
    if (m_refreshTimer.isActive())
        return;
    const qint64 sinceLast = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : refreshIntervalMs;
    m_refreshTimer.start(int(std::max<qint64>(0, refreshIntervalMs - sinceLast)));
}

void PlotManager::prepareForNewScan()
{
    ++m_acquisition;
    m_refreshTimer.stop();
    // The data go, and their journal with them; the scan's first frame
    // begins a new one.
    m_recovery->remove();
    m_data.positions.clear();
    m_data.fileName.clear();
    m_alerts.clear();
    // What was on display belongs to the discarded data.
    m_plots->clear();
    m_plots->replot();
    m_values->clear();
    m_positionLabel->setText(QStringLiteral("--- [mm]"));
    m_timeLabel->setText(QStringLiteral("--- [us]"));
    resetNavigation();
    refreshValues();
    m_reanalyseButton->setEnabled(false);
    m_document->detachFromFile();
}

void PlotManager::harmValueChanged(int harmonics)
{
    s_harmonics = harmonics;
}

void PlotManager::scanToggled(bool checked)
{
    const QSignalBlocker block(m_scanButton);
    m_scanButton->setChecked(checked);
    m_scanButton->setText(scanButtonText(checked));
    m_scanning = checked;
    // The end of a scan: what it gathered goes to the disk now.
    if (!checked)
        m_recovery->flush();
}

void PlotManager::scanEnabled(bool enabled)
{
    m_scanButton->setEnabled(enabled);
}

void PlotManager::startScanBut(bool checked)
{
    m_scanButton->setText(scanButtonText(checked));
    m_scanning = checked;
    emit scanStarted(checked);
}

// ---------------------------------------------------------------- navigation

void PlotManager::resetNavigation()
{
    for (QSlider* slider : {m_positionSlider, m_scanSlider, m_delaySlider}) {
        setSilently(slider, 0);
        setNavigationRange(slider, 0);
    }
}

void PlotManager::refreshValues()
{
    m_refreshTimer.stop();
    m_sinceRefresh.start();

    const int positions = m_data.positions.size();
    setNavigationRange(m_positionSlider, positions);
    const int p = m_positionSlider->value();

    const int scans = p < positions ? m_data.positions[p].scans.size() : 0;
    setNavigationRange(m_scanSlider, scans, m_masterMode);
    const int s = m_scanSlider->value();
    m_scanLabel->setText(scans > 0 ? QStringLiteral("%1/%2").arg(s + 1).arg(scans) : QStringLiteral("0/0"));

    setNavigationRange(m_delaySlider, frameCount(m_data, p, s));
    updateTimeStepLabel();

    if (positions > 0)
        displayFrame(p, s, m_delaySlider->value());
    if (m_plots->isTrendView())
        displayTrend();
}

void PlotManager::updateTimeStepLabel()
{
    const int p = m_positionSlider->value();
    const int s = m_scanSlider->value();
    const int d = m_delaySlider->value();
    const int frames = frameCount(m_data, p, s);
    if (frames == 0) {
        m_timeStepLabel->setText(QStringLiteral("0/0"));
        return;
    }
    const float delay = m_data.positions[p].scans[s].Delays200[d].delay;
    m_timeStepLabel->setText(QStringLiteral(" %3  | %1/%2").arg(d + 1).arg(frames).arg(delayText(delay)));
}

void PlotManager::setPositionValue(int)
{
    setSilently(m_scanSlider, 0);
    setSilently(m_delaySlider, 0);
    refreshValues();
}

void PlotManager::setScanValue(int)
{
    setSilently(m_delaySlider, 0);
    refreshValues();
}

void PlotManager::setDelayValue(int)
{
    if (m_data.positions.isEmpty())
        return;
    updateTimeStepLabel();
    displayCurrentFrame();
}

void PlotManager::displayCurrentFrame()
{
    displayFrame(m_positionSlider->value(), m_scanSlider->value(), m_delaySlider->value());
}

bool PlotManager::useAverages() const
{
    return m_useAveraging->isChecked();
}

void PlotManager::displayFrame(int p, int s, int d)
{
    if (m_data.positions.isEmpty() || p >= m_data.positions.size())
        return;
    const PositionWrapper& position = m_data.positions[p];
    const FrameView frame = selectFrame(m_data, p, s, d, useAverages());
    // The values are the position's averaged record's whenever it has one,
    // whatever scan the plots show.
    const FrameView valued = selectFrame(m_data, p, s, d, true);
    // Re-selecting the same frame would rewrite a user Vp being typed while
    // frames arrive.
    if (m_settings->currentFrame() != d)
        m_settings->setCurrentFrame(d);
    // The analysis comes first: it gives an averaged record the scatter its
    // error bars show.
    showAnalysis(p, valued);
    if (frame.record && frame.record != valued.record)
        analyseFrameView(frame, *m_settings);
    m_plots->showFrame(frame, m_settings->nDerivativePoints);

    m_positionLabel->setText(QStringLiteral("%3 [mm] - %1/%2")
                                 .arg(p + 1)
                                 .arg(m_data.positions.size())
                                 .arg(position.position));
    if (s < position.scans.size())
        m_scanLabel->setText(
            QStringLiteral("%3 - %1/%2").arg(s + 1).arg(position.scans.size()).arg(position.scans[s].scan));
    const int frames = frameCount(m_data, p, s);
    if (d < frames)
        m_timeLabel->setText(QStringLiteral(" %3 [us] - %1/%2")
                                 .arg(d + 1)
                                 .arg(frames)
                                 .arg(delayText(position.scans[s].Delays200[d].delay)));
    m_plots->requestReplot();
}

// The analysis runs on every display; the record keeps its results for the
// trends.
void PlotManager::showAnalysis(int p, const FrameView& frame)
{
    if (!frame.record) {
        m_values->clear();
        m_alerts.remove(p);
    } else {
        noteAnalysisSettings();
        analyseFrameView(frame, *m_settings);
        m_values->showResults(frame.record->parameters, frame.record->harmonic);
        m_alerts.insert(p, frame.record->errorText.isEmpty() ? kNoAlerts : frame.record->errorText);
    }
    updateAlertText();
}

// Records analysed with other settings than the present ones hold stale
// results: they are all analysed again when needed.
void PlotManager::noteAnalysisSettings()
{
    const QMap<QString, QString> settings = settingsSnapshot();
    if (settings == m_analysedWith)
        return;
    forgetAnalyses(m_data);
    m_analysedWith = settings;
}

void PlotManager::showAlert(bool show)
{
    m_alertLabel->setVisible(show);
    updateAlertText();
}

void PlotManager::updateAlertText()
{
    const QString text = m_alerts.value(m_positionSlider->value());
    m_alertLabel->setText(text.isEmpty() ? kNoAnalysisYet : text);
}

void PlotManager::toggleUseAveraging(bool on)
{
    m_scanSlider->setEnabled(!on);
    if (!m_data.positions.isEmpty())
        displayCurrentFrame();
}

void PlotManager::setMasterMode(bool on)
{
    m_masterMode = on;
    m_useAveraging->setVisible(on);
    if (!on) {
        const QSignalBlocker block(m_useAveraging);
        m_useAveraging->setChecked(true);
        m_scanSlider->setEnabled(false);
        setSilently(m_scanSlider, 0);
    }
    refreshValues();
}

void PlotManager::setAdvancedMode(bool on)
{
    m_advancedMode = on;
    m_panel->setAdvancedMode(on);
}

void PlotManager::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    setWindowIcon(QIcon(connected ? QStringLiteral(":/images/connect.png") : QStringLiteral(":/images/Zund_File.png")));
}

// Single frames have no further controls in this version.
void PlotManager::showFrameControls2(bool) {}

// Re-analysis on demand is not offered yet: every display analyses afresh.
void PlotManager::reanalyse(bool) {}

// ---------------------------------------------------------------- windows

void PlotManager::showConfig()
{
    if (m_panel->isVisible()) {
        m_panel->raise();
        m_panel->activateWindow();
        return;
    }
    m_panel->show();
}

void PlotManager::showSettings()
{
    m_settings->setCurrentFrame(m_delaySlider->value());
    if (m_settings->isVisible()) {
        m_settings->raise();
        m_settings->activateWindow();
        return;
    }
    m_settings->show();
}

void PlotManager::plot1Scale()
{
    openScaleForm(SessionPlots::IvPlot);
}

void PlotManager::plot2Scale()
{
    openScaleForm(SessionPlots::HighBandPlot);
}

void PlotManager::plot3Scale()
{
    openScaleForm(SessionPlots::LowBandPlot);
}

void PlotManager::openScaleForm(int plot)
{
    GraphForm*& form = m_scaleForms[plot];
    if (!form)
        form = new GraphForm(m_plots->plot(SessionPlots::Plot(plot)), this);
    form->showForPlot();
}

// ---------------------------------------------------------------- plots

void PlotManager::setTracePens()
{
    m_plots->setTracePens();
    m_plots->requestReplot();
}

void PlotManager::applyViewToggles()
{
    SessionPlots::ViewToggles toggles;
    toggles.waveforms = m_showWaveforms->isChecked();
    // Hidden, the waveform row would still keep its share of the height.
    m_plotColumn->setStretchFactor(m_waveformRow, toggles.waveforms ? kWaveformStretch : 0);
    toggles.derivative = m_showDerivative->isChecked();
    toggles.errorBars = m_showErrorBars->isChecked();
    toggles.dataPoints = m_showDataPoints->isChecked();
    m_plots->applyViewToggles(toggles);
}

void PlotManager::controlGraph()
{
    replot();
}

void PlotManager::replot()
{
    applyViewToggles();
    refreshValues();
    updateGraph();
}

void PlotManager::updateGraph()
{
    m_plots->replot();
}

// ---------------------------------------------------------------- trends

void PlotManager::showTrends()
{
    m_plots->setTrendView(true);
    m_trendButtons->show();
    displayTrend();
}

void PlotManager::showIV()
{
    m_trendTimer.stop();
    m_trendPending = false;
    m_plots->setTrendView(false);
    m_trendButtons->hide();
    displayCurrentFrame();
    updateGraph();
}

void PlotManager::selectTrend(int labelIndex)
{
    m_trendIndex = labelIndex;
    displayTrend();
}

void PlotManager::trend_kTe()
{
    selectTrend(trend::kTe);
}

void PlotManager::trend_Jp()
{
    selectTrend(trend::Jp);
}

void PlotManager::trend_Ni()
{
    selectTrend(trend::Ni);
}

void PlotManager::trend_Ld()
{
    selectTrend(trend::Ld);
}

void PlotManager::trend_kTeHarmonic()
{
    selectTrend(trend::kTeHarmonic);
}

void PlotManager::trend_IisHarmonic()
{
    selectTrend(trend::IisHarmonic);
}

void PlotManager::trend_NiHarmonic()
{
    selectTrend(trend::NiHarmonic);
}

// Time steps not analysed yet are analysed a slice at a time, so that a long
// session keeps the window responsive; the trend grows as they come.
void PlotManager::displayTrend()
{
    noteAnalysisSettings();
    m_trendPending = !analysePendingTimeSteps(m_data, *m_settings, QDeadlineTimer(trendSliceMs));
    replotTrendData();
    if (m_trendPending)
        m_trendTimer.start();
    else
        m_trendTimer.stop();
}

bool PlotManager::trendComplete() const
{
    return m_plots->isTrendView() && !m_trendPending;
}

void PlotManager::replotTrendData()
{
    const int plotted = trend::plottedIndex(m_trendIndex);
    m_plots->setTrend(trend::points(m_data, plotted), trend::label(plotted), trend::overDelay(m_data));
    m_plots->plot(SessionPlots::IvPlot)->requestReplot();
}
