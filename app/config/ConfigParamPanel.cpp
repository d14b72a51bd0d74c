#include "config/ConfigParamPanel.h"

#include "config/PanelControls.h"

#include "drive/AppliedMotion.h"
#include "drive/DrivePort.h"
#include "drive/DriveSettings.h"
#include "drive/SimulatedDrivePorts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <memory>
#include <type_traits>

namespace {

// The scan worker waits at every position for the window's last delay, so
// each position takes the whole window.
const char* const spatialLimitationMessage =
    "In Spatial mode a Time Resolved scan takes its whole time window at every position: a data set every "
    "Resolution Time Step from Acquisition Time Start to Acquisition Time End (or the end of the SYNC period).";
const char* const autoCleanMessage =
    "The auto-clean feature must be disabled before using externally triggered scans.";
const char* const prescanRefusalMessage =
    "You must manually set voltages and current range before disabling all prescans.";

// A tooltip as rich text: one paragraph per entry, the words before the first
// colon in bold.
QString richToolTip(const QStringList& paragraphs)
{
    QString html;
    for (int i = 0; i < paragraphs.size(); ++i) {
        QString text = paragraphs[i].toHtmlEscaped();
        const int colon = text.indexOf(':');
        if (i == 0 && colon > 0)
            text = "<b>" + text.left(colon) + "</b>" + text.mid(colon);
        html += "<p>" + text + "</p>";
    }
    return html;
}

QDoubleSpinBox* numberBox(double minimum, double maximum, int decimals, double value)
{
    auto* box = new QDoubleSpinBox;
    box->setDecimals(decimals); // before the range: the range is rounded to the decimals
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

QDoubleSpinBox* numberBox(const PanelControl& control, double value)
{
    return numberBox(control.range.minimum, control.range.maximum, control.decimals, value);
}

QSpinBox* integerBox(const PanelControl& control, int value)
{
    auto* box = new QSpinBox;
    box->setRange(int(control.range.minimum), int(control.range.maximum));
    box->setValue(value);
    return box;
}

QLineEdit* readOnlyField()
{
    auto* field = new QLineEdit;
    field->setReadOnly(true);
    return field;
}

// Appends a row "label  field  unit" to the grid and returns the label.
QLabel* addRow(QGridLayout* grid, const QString& label, QWidget* field, const QString& unit = QString())
{
    const int row = grid->rowCount();
    auto* labelWidget = new QLabel(label);
    grid->addWidget(labelWidget, row, 0);
    grid->addWidget(field, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit), row, 2);
    return labelWidget;
}

// Counts kept in unsigned fields, shown in an int box.
int clampedToInt(quint32 value)
{
    return int(qMin<quint32>(value, INT_MAX));
}

// A device path the operator typed (a pseudo-terminal, an adapter the system
// does not list) that still exists.
bool isExistingDevicePath(const QString& name)
{
    const QFileInfo info(name);
    return info.isAbsolute() && info.exists();
}

} // namespace

ConfigParamPanel::ConfigParamPanel(const ConfigParam& config, QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle("ConfigParamPanel");
    resize(512, 695);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    tabs = new QTabWidget;
    tabs->addTab(buildAcquisitionPage(), "Acquisition");
    tabs->addTab(buildSpatialPage(), "Spatial");
    QWidget* voltages = buildVoltagesPage();
    QWidget* prescan = buildPrescanPage();
    QWidget* trigger = buildTriggerPage();
    tabs->addTab(voltages, "Voltages");
    tabs->addTab(prescan, "Prescan");
    tabs->addTab(trigger, "Trigger");
    tabs->setCurrentIndex(0);
    // These pages are not offered to the operator; their controls stay, filled
    // from the record, and are deleted with the panel.
    for (QWidget* page : {voltages, prescan, trigger})
        tabs->removeTab(tabs->indexOf(page));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    setToolTips();

    const DriveSettings::PositionLimits limits = DriveSettings::positionBoxLimits();
    startPosition->setRange(limits.minimum, limits.maximum);
    endPosition->setRange(limits.minimum, limits.maximum);
    triggerDelay->setValidator(new QIntValidator(0, 65535, triggerDelay));

    configParam = config;
    configParam.linearDrive = nullptr; // the panel hands out only the drive it owns
    refreshControls();
    connectHandlers();
    new QShortcut(QKeySequence(Qt::Key_Escape), this, SLOT(hide()));

    fillPortList();
    setDriveControlsEnabled(false);
    m_givenConfig = configParam;
}

ConfigParamPanel::~ConfigParamPanel()
{
    if (!configParam.sameStoredSettings(m_givenConfig))
        configParam.saveSettings();
    // A homing or move started here still waits inside the drive (the panel went
    // away during that wait): the drive must outlive the wait, which now ends at
    // once and stops the motion; runDriveOperation deletes it then. Otherwise the
    // drive goes with its parent, the panel.
    if (linearDrive && driveOperationRunning) {
        linearDrive->abortRequested = true;
        linearDrive->setParent(nullptr);
    }
}

QWidget* ConfigParamPanel::buildAcquisitionPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* averaged = new QGroupBox("TIME AVERAGED DATA ACQUISITION");
    auto* averagedGrid = new QGridLayout(averaged);
    timeAveragedMode = new QRadioButton("Time Averaged Mode");
    timeAveragedMode->setChecked(true);
    averagedGrid->addWidget(timeAveragedMode, 0, 0, 1, 3);
    accumulations = numberBox(PanelControls::accumulations, 200);
    addRow(averagedGrid, "Accumulations", accumulations);
    layout->addWidget(averaged);

    auto* resolved = new QGroupBox("TIME RESOLVED DATA ACQUISITION");
    auto* resolvedGrid = new QGridLayout(resolved);
    timeResolvedMode = new QRadioButton("Time Resolved Mode");
    resolvedGrid->addWidget(timeResolvedMode, 0, 0, 1, 3);
    resolutionTimeStep = numberBox(PanelControls::resolutionTimeStep, 0.0125);
    addRow(resolvedGrid, "Resolution Time Step", resolutionTimeStep, "[us]");
    acquisitionStart = numberBox(PanelControls::acquisitionStart, 0);
    addRow(resolvedGrid, "Acquisition Time Start", acquisitionStart, "[us]");
    acquisitionEnd = numberBox(PanelControls::acquisitionEnd, 0);
    acquisitionEnd->setSpecialValueText("End of Period");
    addRow(resolvedGrid, "Acquisition Time End", acquisitionEnd, "[us]");
    syncFrequency = numberBox(PanelControls::syncFrequency, 20);
    addRow(resolvedGrid, "Sync Frequency", syncFrequency, "Hz");
    layout->addWidget(resolved);

    modeGroup = new QButtonGroup(this);
    modeGroup->setExclusive(true);
    modeGroup->addButton(timeAveragedMode);
    modeGroup->addButton(timeResolvedMode);

    auto* acquisition = new QGroupBox("DATA ACQUISITION");
    auto* acquisitionGrid = new QGridLayout(acquisition);
    scansToRun = integerBox(PanelControls::scansToRun, 10);
    scansToRun->setSingleStep(1);
    addRow(acquisitionGrid, "Scans To Run", scansToRun);
    layout->addWidget(acquisition);
    layout->addStretch();
    return page;
}

QWidget* ConfigParamPanel::buildSpatialPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* drive = new QGroupBox("Linear Drive");
    auto* grid = new QGridLayout(drive);
    portList = new QComboBox;
    // Editable: pseudo-terminals and some adapters are not in the system's list,
    // so the operator may type a device path; wide enough to show one whole.
    portList->setEditable(true);
    portList->setInsertPolicy(QComboBox::NoInsert);
    portList->setMinimumContentsLength(30);
    portList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portList->lineEdit()->setPlaceholderText("or type a device path");
    portList->setToolTip("A serial port of this computer, a running simulated drive (orvel-simdrive), "
                         "or the path of a serial device typed here, e.g. /dev/ttyUSB0.");
    initializeDrive = new QPushButton("Initialize Linear Drive");
    grid->addWidget(new QLabel("Choose Interface :"), 0, 0);
    grid->addWidget(portList, 0, 1);
    grid->addWidget(initializeDrive, 0, 2);
    driveLabel = new QLabel;
    driveLabel->setWordWrap(true);
    grid->addWidget(driveLabel, 1, 0, 1, 3);
    configureSlopeButton = new QPushButton("Configure Slope");
    slopeLabel = new QLabel("---");
    grid->addWidget(configureSlopeButton, 2, 0);
    grid->addWidget(slopeLabel, 2, 1);
    configureHomingSpeedButton = new QPushButton("Configure Homing Speed");
    homingSpeedLabel = new QLabel("---");
    grid->addWidget(configureHomingSpeedButton, 3, 0);
    grid->addWidget(homingSpeedLabel, 3, 1);
    grid->addWidget(new QLabel("mm/s"), 3, 2);
    positionLabel = new QLabel("Current Position : ##");
    grid->addWidget(positionLabel, 4, 0, 1, 2);
    grid->addWidget(new QLabel("[mm]"), 4, 2);
    const double railLength = DriveSettings::railLength();
    moveTo = numberBox(0, railLength, 2, 0);
    moveSlider = new QSlider(Qt::Horizontal);
    moveSlider->setRange(0, int(railLength));
    grid->addWidget(new QLabel("Move To :"), 5, 0);
    grid->addWidget(moveTo, 5, 1);
    grid->addWidget(moveSlider, 5, 2);
    setRailLengthButton = new QPushButton("Set Rail Length");
    goButton = new QPushButton("Go");
    stopButton = new QPushButton("Stop");
    stopButton->setEnabled(false);
    grid->addWidget(setRailLengthButton, 6, 0);
    grid->addWidget(goButton, 6, 1);
    grid->addWidget(stopButton, 6, 2);
    layout->addWidget(drive);

    spatialPositions = new QGroupBox("SPATIAL POSITIONS");
    auto* positions = new QGridLayout(spatialPositions);
    startPosition = numberBox(0, 300, 1, 0);
    addRow(positions, "Start Position", startPosition, "[mm]");
    stepSize = numberBox(PanelControls::positionStep, 5);
    addRow(positions, "Step Size", stepSize, "[mm]");
    endPosition = numberBox(0, 300, 1, 10);
    addRow(positions, "End Position", endPosition, "[mm]");
    layout->addWidget(spatialPositions);

    spatiallyResolved = new QCheckBox("Spatially Resolved");
    layout->addWidget(spatiallyResolved);
    layout->addStretch();
    return page;
}

QWidget* ConfigParamPanel::buildVoltagesPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    voltageResolution = numberBox(PanelControls::voltageResolution, 0.1);
    addRow(grid, "Voltage Resolution", voltageResolution, "[V]");
    // Estimates of the sensor's timing, which this program does not compute.
    addRow(grid, "Estimated Voltage Step Time", readOnlyField(), "[s]");
    addRow(grid, "Estimated Trace Time", readOnlyField(), "[s]");
    addRow(grid, "Estimated Scan Time", readOnlyField(), "[s]");
    return page;
}

QWidget* ConfigParamPanel::buildPrescanPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    prescanTiming = new QGroupBox("PRESCAN");
    auto* timing = new QGridLayout(prescanTiming);
    prescanIntegrationTime = numberBox(PanelControls::prescanIntegrationTime, 100);
    addRow(timing, "Integration Time", prescanIntegrationTime, "[us]");
    prescanAveragePerStep = integerBox(PanelControls::prescanAveragePerStep, 1);
    addRow(timing, "Average Per Voltage Step", prescanAveragePerStep);
    layout->addWidget(prescanTiming);

    initialScan = new QGroupBox("INITIAL SCAN");
    auto* grid = new QGridLayout(initialScan);
    ionCurrentVoltage = numberBox(PanelControls::ionCurrentVoltage, -50);
    addRow(grid, "Ion Current Voltage", ionCurrentVoltage, "[V]");
    largeVoltageStep = numberBox(PanelControls::voltageStep, 5);
    addRow(grid, "Large Voltage Step", largeVoltageStep, "[V]");
    smallVoltageStep = numberBox(PanelControls::voltageStep, 0.2);
    addRow(grid, "Small Voltage Step", smallVoltageStep, "[V]");
    derivativeDrop = integerBox(PanelControls::derivativeDrop, 80);
    addRow(grid, "Current Derivative dI/dV Drop", derivativeDrop, "[%]");
    ionCurrentDrop = integerBox(PanelControls::ionCurrentDrop, 80);
    addRow(grid, "Ion Current Drop", ionCurrentDrop, "[%]");
    derivativePoints = integerBox(PanelControls::derivativePoints, 3);
    addRow(grid, "Derivative Calculation Points", derivativePoints);
    optimiseForEedf = new QCheckBox("Optimize Data Set For EEDF");
    grid->addWidget(optimiseForEedf, grid->rowCount(), 0, 1, 3);
    layout->addWidget(initialScan);

    disablePrescans = new QCheckBox("Disable all prescan measurements");
    layout->addWidget(disablePrescans);
    layout->addStretch();
    return page;
}

QWidget* ConfigParamPanel::buildTriggerPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    useExternalTrigger = new QCheckBox("Use External Trigger to start Scan");
    grid->addWidget(useExternalTrigger, 0, 0, 1, 3);
    fallingEdge = new QRadioButton("Falling Edge");
    risingEdge = new QRadioButton("Rising Edge");
    risingEdge->setChecked(true);
    grid->addWidget(fallingEdge, 1, 0);
    grid->addWidget(risingEdge, 1, 1);
    triggerDelay = new QLineEdit("0");
    triggerDelayLabel = new QLabel("Trigger Delay");
    triggerDelayUnit = new QLabel("[us]");
    grid->addWidget(triggerDelayLabel, 2, 0);
    grid->addWidget(triggerDelay, 2, 1);
    grid->addWidget(triggerDelayUnit, 2, 2);
    resyncButton = new QPushButton("RESYNC");
    grid->addWidget(resyncButton, 3, 0);
    addRow(grid, "SYNC Frequency", readOnlyField(), "[Hz]"); // not measured by this program
    return page;
}

void ConfigParamPanel::setToolTips()
{
    timeAveragedMode->setToolTip(richToolTip(
        {"Time Averaged: Enables autonomous scan to run.",
         "In this mode data acquisition is synchronized to free running scan."}));
    accumulations->setToolTip(richToolTip(
        {"Integration Time: Is effective sampling time.",
         "All current/voltage readings from ADC (running on 80MSPS) during this time interval are averaged out to "
         "create one resulting IV Sample."}));
    timeResolvedMode->setToolTip(richToolTip(
        {"Time Resolved: Enables synchronized scan to run.",
         "In this mode scan and data acquisition are both synchronized to SYNC signal. This allows data collection "
         "at specified time intervals inside SYNC signal period."}));
    resolutionTimeStep->setToolTip(richToolTip(
        {"Resolution Time: Determining time interval between two successive time resolved data sets."}));
    acquisitionStart->setToolTip(richToolTip(
        {"Acquisition Time Start: Determining time (measured from SYNC signal edge detection) at which first time "
         "resolved data set is collected."}));
    acquisitionEnd->setToolTip(richToolTip(
        {"Acquisition Time End: Determining time (measured from SYNC signal edge detection) when data acquisition "
         "stops collecting data.",
         "Together with Acquisition Time Start it determines time window in SYNC signal period over which time "
         "resolved data sets are collected.",
         "If Acquisition Time End is equal 0, resolved data sets will be collected over time interval from "
         "Acquisition Time Start to the end of SYNC period."}));
    scansToRun->setToolTip(richToolTip(
        {"Scans To Run: Determines how many scans will run whenever scan is initiated."}));
    startPosition->setToolTip(richToolTip(
        {"Start Position: Determines spatial position at which scan will start."}));
    stepSize->setToolTip(richToolTip({"Step Position: Determines spatial position step in scan data."}));
    endPosition->setToolTip(richToolTip({"End Position: Determines spatial position at which scan stop."}));
    spatiallyResolved->setToolTip(richToolTip(
        {"Spatially Resolved: Enables spatial scan to run.",
         "If enabled, Time Averaged or Time Resolved measurements are performed at specfied probe positions.",
         "With Time Resolved mode, the whole time window from Acquisition Time Start to Acquisition Time End is "
         "taken at every position."}));
}

void ConfigParamPanel::connectHandlers()
{
    // Controls that only write their field.
    auto writes = [this](auto* box, auto& field) {
        using Box = std::remove_pointer_t<decltype(box)>;
        using Value = decltype(box->value());
        connect(box, QOverload<Value>::of(&Box::valueChanged), this, [this, &field](Value value) {
            if (!refreshing)
                field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        });
    };
    ConfigParam& c = configParam;
    writes(accumulations, c.dataScanRunParam.integrationTime);
    writes(resolutionTimeStep, c.syncParam.resolution);
    writes(syncFrequency, c.syncParam.resolvedInteg);
    writes(startPosition, c.spatParam.start);
    writes(stepSize, c.spatParam.step);
    writes(endPosition, c.spatParam.end);
    writes(voltageResolution, c.dataScanRunParam.voltageStart);
    writes(ionCurrentVoltage, c.initScanRunParam.voltageStart);
    writes(largeVoltageStep, c.initScanLargeVoltageStep);
    writes(smallVoltageStep, c.initScanSmallVoltageStep);
    writes(derivativeDrop, c.initScanDerivativeDrop);
    writes(ionCurrentDrop, c.initScanIonCurrentDrop);
    writes(derivativePoints, c.initScanDerivativePoints);
    connect(optimiseForEedf, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing)
            configParam.initScanOptimiseForEEDF = on;
    });

    connect(modeGroup, QOverload<QAbstractButton*, bool>::of(&QButtonGroup::buttonToggled), this,
            &ConfigParamPanel::modeChanged);
    connect(spatiallyResolved, &QCheckBox::toggled, this, &ConfigParamPanel::spatialModeChanged);
    connect(acquisitionStart, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &ConfigParamPanel::acquisitionStartChanged);
    connect(acquisitionEnd, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &ConfigParamPanel::acquisitionEndChanged);
    connect(scansToRun, QOverload<int>::of(&QSpinBox::valueChanged), this, &ConfigParamPanel::scansToRunChanged);
    connect(useExternalTrigger, &QCheckBox::toggled, this, &ConfigParamPanel::externalTriggerChanged);
    connect(risingEdge, &QRadioButton::toggled, this, &ConfigParamPanel::risingEdgeChanged);
    connect(triggerDelay, &QLineEdit::textEdited, this, &ConfigParamPanel::triggerDelayEdited);
    connect(disablePrescans, &QCheckBox::toggled, this, &ConfigParamPanel::disablePrescansChanged);
    connect(resyncButton, &QPushButton::clicked, this, &ConfigParamPanel::resynchronize);

    connect(initializeDrive, &QPushButton::clicked, this, &ConfigParamPanel::initializeLinearDrive);
    connect(goButton, &QPushButton::clicked, this, &ConfigParamPanel::goToPosition);
    connect(stopButton, &QPushButton::clicked, this, &ConfigParamPanel::stopDrive);
    connect(moveSlider, &QSlider::valueChanged, moveTo, &QDoubleSpinBox::setValue);
    connect(configureSlopeButton, &QPushButton::clicked, this, &ConfigParamPanel::configureSlope);
    connect(configureHomingSpeedButton, &QPushButton::clicked, this, &ConfigParamPanel::configureHomingSpeed);
    connect(setRailLengthButton, &QPushButton::clicked, this, &ConfigParamPanel::setRailLength);
}

void ConfigParamPanel::setModesAllowed(bool timeResolved, bool spatial)
{
    timeResolvedAllowed = timeResolved;
    spatialAllowed = spatial;
    refreshControls();
}

void ConfigParamPanel::estimateTimes()
{
}

void ConfigParamPanel::setEnabledMode(bool)
{
}

void ConfigParamPanel::setAdvancedMode(bool)
{
}

void ConfigParamPanel::getSettings()
{
}

void ConfigParamPanel::setSettings(ConfigParam src)
{
    // The drive belongs to this panel, whatever record it is handed.
    src.linearDrive = linearDrive;
    if (linearDrive)
        src.comport = configParam.comport;
    configParam = src;
    refreshControls();
}

void ConfigParamPanel::selectTab(int tab)
{
    if (tab < 0)
        tabs->setCurrentIndex(tabs->count() - 1);
    else if (tab < tabs->count())
        tabs->setCurrentIndex(tab);
}

LinearDrive* ConfigParamPanel::getLinearDriveInstance()
{
    return linearDrive;
}

// Sets every control from the record with the handlers held back, applies the
// rules that tie controls together, and takes back what the controls hold: a
// value outside a control's range returns clamped and rounded to its decimals.
void ConfigParamPanel::refreshControls()
{
    // The boxes would hold the values to their ranges themselves; holding
    // them first keeps the panel and the command line in step, values that
    // are not numbers included.
    holdToPanelControls(configParam);
    {
        QScopedValueRollback<bool> holdHandlers(refreshing, true);
        applyModeAvailability();
        const ConfigParam& c = configParam;
        (c.syncParam.bUseSyncScan ? timeResolvedMode : timeAveragedMode)->setChecked(true);
        accumulations->setValue(c.dataScanRunParam.integrationTime);
        resolutionTimeStep->setValue(c.syncParam.resolution);
        acquisitionStart->setValue(c.syncParam.start);
        acquisitionEnd->setMinimum(acquisitionStart->value());
        // 0 is "up to the end of the period", which the box shows at its minimum.
        acquisitionEnd->setValue(c.syncParam.duration == 0 ? acquisitionEnd->minimum() : c.syncParam.duration);
        syncFrequency->setValue(c.syncParam.resolvedInteg);
        scansToRun->setValue(clampedToInt(c.dataScanRunScans));

        startPosition->setValue(c.spatParam.start);
        stepSize->setValue(c.spatParam.step);
        endPosition->setValue(c.spatParam.end);
        spatiallyResolved->setChecked(c.spatParam.bUseSpatScan);

        voltageResolution->setValue(c.dataScanRunParam.voltageStart);
        prescanIntegrationTime->setValue(c.initScanRunParam.integrationTime);
        prescanAveragePerStep->setValue(clampedToInt(c.initScanRunParam.avgPerStep));
        ionCurrentVoltage->setValue(c.initScanRunParam.voltageStart);
        largeVoltageStep->setValue(c.initScanLargeVoltageStep);
        smallVoltageStep->setValue(c.initScanSmallVoltageStep);
        derivativeDrop->setValue(qRound(qBound(double(INT_MIN), c.initScanDerivativeDrop, double(INT_MAX))));
        ionCurrentDrop->setValue(qRound(qBound(double(INT_MIN), c.initScanIonCurrentDrop, double(INT_MAX))));
        derivativePoints->setValue(clampedToInt(c.initScanDerivativePoints));
        optimiseForEedf->setChecked(c.initScanOptimiseForEEDF);
        optimiseForEedf->setEnabled(c.useSmartScan);
        const bool prescansDisabled = c.ionCurrentDisable && c.initScanDisable && c.dcCScanDisable;
        disablePrescans->setChecked(prescansDisabled);
        setPrescanGroupsEnabled(!prescansDisabled);

        useExternalTrigger->setChecked(c.useExtTrigger);
        (c.useExtTriggerRisingEdge ? risingEdge : fallingEdge)->setChecked(true);
        triggerDelay->setText(QString::number(c.extTriggerDelay, 'f', 0));
    }
    applyExternalTriggerRule();
    applyModeRules();
    readBackControls();
}

void ConfigParamPanel::applyModeAvailability()
{
    if (!timeResolvedAllowed)
        configParam.syncParam.bUseSyncScan = false;
    if (!spatialAllowed)
        configParam.spatParam.bUseSpatScan = false;
    timeResolvedMode->setEnabled(timeResolvedAllowed);
    spatiallyResolved->setEnabled(spatialAllowed);
}

void ConfigParamPanel::applyModeRules()
{
    const bool resolved = timeResolvedMode->isChecked();
    const bool spatial = spatiallyResolved->isChecked();
    configParam.syncParam.bUseSyncScan = resolved;
    configParam.spatParam.bUseSpatScan = spatial;

    accumulations->setEnabled(!resolved);
    prescanIntegrationTime->setEnabled(!resolved);
    resolutionTimeStep->setEnabled(resolved);
    acquisitionStart->setEnabled(resolved);
    syncFrequency->setEnabled(resolved);
    // The end bounds the window at every position of a spatial scan too.
    acquisitionEnd->setEnabled(resolved);
    for (QDoubleSpinBox* box : {startPosition, stepSize, endPosition})
        box->setEnabled(spatial);
}

void ConfigParamPanel::applyExternalTriggerRule()
{
    if (useExternalTrigger->isChecked() && configParam.cleanProbeParam.autoClean) {
        showMessage(QMessageBox::Information, QString(), autoCleanMessage);
        const QSignalBlocker hold(useExternalTrigger);
        useExternalTrigger->setChecked(false);
    }
    const bool on = useExternalTrigger->isChecked();
    configParam.useExtTrigger = on;
    for (QWidget* control : std::initializer_list<QWidget*>{fallingEdge, risingEdge, triggerDelayLabel, triggerDelay,
                                                            triggerDelayUnit})
        control->setEnabled(on);
}

void ConfigParamPanel::setPrescanGroupsEnabled(bool enabled)
{
    prescanTiming->setEnabled(enabled);
    initialScan->setEnabled(enabled);
}

void ConfigParamPanel::readBackControls()
{
    ConfigParam& c = configParam;
    c.dataScanRunScans = quint32(scansToRun->value());
    readBackTimeResolvedSettings();
    c.dataScanRunParam.integrationTime = accumulations->value();
    c.spatParam.start = startPosition->value();
    c.spatParam.step = stepSize->value();
    c.spatParam.end = endPosition->value();
    c.dataScanRunParam.voltageStart = voltageResolution->value();
    c.initScanRunParam.voltageStart = ionCurrentVoltage->value();
    c.initScanLargeVoltageStep = largeVoltageStep->value();
    c.initScanSmallVoltageStep = smallVoltageStep->value();
    c.initScanDerivativeDrop = derivativeDrop->value();
    c.initScanIonCurrentDrop = ionCurrentDrop->value();
    c.initScanDerivativePoints = quint32(derivativePoints->value());
    c.initScanOptimiseForEEDF = optimiseForEedf->isChecked();
}

void ConfigParamPanel::readBackTimeResolvedSettings()
{
    ConfigParam::SyncParam& sync = configParam.syncParam;
    sync.bUseSyncScan = timeResolvedMode->isChecked();
    sync.start = acquisitionStart->value();
    sync.duration = acquisitionEnd->value() <= acquisitionEnd->minimum() ? 0 : acquisitionEnd->value();
    sync.resolution = resolutionTimeStep->value();
    sync.resolvedInteg = syncFrequency->value();
}

void ConfigParamPanel::modeChanged()
{
    if (!refreshing)
        applyModeRules();
}

void ConfigParamPanel::spatialModeChanged(bool on)
{
    if (refreshing)
        return;
    const bool wasOn = configParam.spatParam.bUseSpatScan;
    applyModeRules();
    if (on && !wasOn && timeResolvedMode->isChecked())
        showMessage(QMessageBox::Warning, QCoreApplication::applicationName(), spatialLimitationMessage);
}

void ConfigParamPanel::acquisitionStartChanged(double start)
{
    if (refreshing)
        return;
    configParam.syncParam.start = start;
    const bool toEndOfPeriod = configParam.syncParam.duration == 0;
    acquisitionEnd->setMinimum(start);
    // "End of Period" stays the end when the start moves down.
    if (toEndOfPeriod)
        acquisitionEnd->setValue(start);
}

// The box shows "End of Period" at its minimum: the record keeps 0 for that,
// which the sensor takes as the end of the SYNC period.
void ConfigParamPanel::acquisitionEndChanged(double end)
{
    if (!refreshing)
        configParam.syncParam.duration = end <= acquisitionEnd->minimum() ? 0 : end;
}

void ConfigParamPanel::scansToRunChanged(int scans)
{
    if (refreshing)
        return;
    configParam.dataScanRunScans = quint32(scans);
    readBackTimeResolvedSettings();
}

void ConfigParamPanel::externalTriggerChanged(bool)
{
    if (!refreshing)
        applyExternalTriggerRule();
}

void ConfigParamPanel::risingEdgeChanged(bool rising)
{
    if (!refreshing)
        configParam.useExtTriggerRisingEdge = rising;
}

void ConfigParamPanel::triggerDelayEdited(const QString& text)
{
    configParam.extTriggerDelay = text.toInt(); // 0 when it does not parse
}

void ConfigParamPanel::disablePrescansChanged(bool on)
{
    if (refreshing)
        return;
    if (on && (configParam.useAutoCMRange || configParam.useSmartScan)) {
        showMessage(QMessageBox::Information, QString(), prescanRefusalMessage);
        const QSignalBlocker hold(disablePrescans);
        disablePrescans->setChecked(false);
        on = false;
    }
    configParam.ionCurrentDisable = on;
    configParam.initScanDisable = on;
    configParam.dcCScanDisable = on;
    setPrescanGroupsEnabled(!on);
}

void ConfigParamPanel::showEvent(QShowEvent* event)
{
    fillPortList();
    QWidget::showEvent(event);
}

void ConfigParamPanel::closeEvent(QCloseEvent* event)
{
    storeSelectedPort();
    QWidget::closeEvent(event);
}

// The system's ports in the order reported, then the simulated drives running
// now (marked as such), with the stored port selected when it is still there;
// a stored device path that neither lists (a pseudo-terminal) is offered again
// while it exists. Each entry carries the name the port is opened by.
void ConfigParamPanel::fillPortList()
{
    const QString stored = DriveSettings::comPort();
    portList->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        portList->addItem(info.portName(), info.portName());
    for (const QString& pseudoTerminal : SimulatedDrivePorts::running())
        portList->addItem(pseudoTerminal + " (simulated drive)", pseudoTerminal);
    int selected = portList->findData(stored);
    if (selected < 0 && isExistingDevicePath(stored)) {
        portList->addItem(stored, stored);
        selected = portList->count() - 1;
    }
    portList->setCurrentIndex(qMax(selected, 0));
}

// The port of the entry shown, or the name or path the operator typed.
QString ConfigParamPanel::selectedPortName() const
{
    const QString shown = portList->currentText().trimmed();
    const int entry = portList->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return entry >= 0 ? portList->itemData(entry).toString() : shown;
}

// An empty list has nothing to remember; keeping the stored name lets the port
// be found again when its adapter is plugged back in.
void ConfigParamPanel::storeSelectedPort() const
{
    const QString name = selectedPortName();
    if (!name.isEmpty())
        DriveSettings::setComPort(name);
}

void ConfigParamPanel::initializeLinearDrive()
{
    retireDrive();
    const QString portName = selectedPortName();
    QString error;
    std::unique_ptr<QSerialPort> port = openDrivePort(portName, &error);
    if (!port) {
        qWarning() << "Cannot open drive port" << portName << error;
        showMessage(QMessageBox::Warning, "Unable to access serial port",
                    "Unable to open serial port. Check that it is not already used and try again.");
        return;
    }
    QSerialPort* openedPort = port.get();
    auto drive = std::make_unique<AppliedMotion>(port.release(), this);
    if (!drive->connected) {
        qWarning() << "No drive answered on" << portName;
        return;
    }
    linearDrive = drive.release();
    drivePort = openedPort;
    connect(linearDrive, &LinearDrive::positionUpdated, this, &ConfigParamPanel::drivePositionUpdated);
    connect(linearDrive, &LinearDrive::idUpdated, driveLabel, &QLabel::setText);
    driveLabel->setText(QString::fromLatin1(linearDrive->description));

    DriveSettings::setComPort(portName);
    DriveSettings::applyTo(*linearDrive);
    showSlope();
    showHomingSpeed();

    initializeDrive->setEnabled(false);
    if (!runDriveOperation([](LinearDrive& drive) { drive.home(); }))
        return;

    setDriveControlsEnabled(true);
    setRailLimits(linearDrive->railLength);
    configParam.linearDrive = linearDrive;
    configParam.comport = portName;
    spatiallyResolved->setEnabled(spatialAllowed);
    initializeDrive->setEnabled(true);
}

// Lets go of the current drive. A queued call from the scan worker may still
// wait inside it, and a wait runs event loops in which even a deferred deletion
// would strike, so the controller stays, silenced, until the panel goes. Its
// port is closed now so that it can be opened again at once.
void ConfigParamPanel::retireDrive()
{
    if (!linearDrive)
        return;
    linearDrive->abortRequested = true;
    disconnect(linearDrive, nullptr, this, nullptr);
    disconnect(linearDrive, nullptr, driveLabel, nullptr);
    drivePort->close();
    linearDrive = nullptr;
    drivePort = nullptr;
    configParam.linearDrive = nullptr;
    setDriveControlsEnabled(false);
}

void ConfigParamPanel::setDriveControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{spatialPositions, goButton, moveSlider,
                                                            setRailLengthButton, configureSlopeButton,
                                                            configureHomingSpeedButton})
        control->setEnabled(enabled);
}

// No position beyond the rail can be asked for, neither by hand nor as a scan
// position.
void ConfigParamPanel::setRailLimits(double railLength)
{
    moveSlider->setRange(0, int(railLength));
    moveTo->setMaximum(railLength);
    endPosition->setMaximum(railLength);
    startPosition->setMaximum(railLength);
}

void ConfigParamPanel::goToPosition()
{
    if (!linearDrive)
        return;
    goButton->setEnabled(false);
    initializeDrive->setEnabled(false);
    stopButton->setEnabled(true);
    const double target = moveTo->value();
    if (!runDriveOperation([target](LinearDrive& drive) { drive.moveTo(target); }))
        return;
    stopButton->setEnabled(false);
    goButton->setEnabled(true);
    initializeDrive->setEnabled(true);
}

// Runs a blocking operation of the drive. The drive keeps the event loop running
// while it waits, so the panel may be destroyed meanwhile: the result is false
// then, and the caller must not touch the panel any more.
bool ConfigParamPanel::runDriveOperation(const std::function<void(LinearDrive&)>& operation)
{
    const QPointer<ConfigParamPanel> alive(this);
    LinearDrive* drive = linearDrive;
    driveOperationRunning = true;
    operation(*drive);
    if (!alive) {
        delete drive; // let go of by the destroyed panel, now that its wait is over
        return false;
    }
    driveOperationRunning = false;
    return true;
}

// Ends the wait of a running move or homing; the drive's own operation sends
// the stop command.
void ConfigParamPanel::stopDrive()
{
    if (linearDrive)
        linearDrive->abortRequested = true;
}

void ConfigParamPanel::configureSlope()
{
    if (!linearDrive)
        return;
    const std::optional<double> slope = askForNumber("Input new slope", "Please enter new slope value",
                                                     linearDrive->slope, 0, 200000, 5);
    if (!slope)
        return;
    DriveSettings::setSlope(*slope);
    linearDrive->slope = *slope;
    showSlope();
}

void ConfigParamPanel::configureHomingSpeed()
{
    if (!linearDrive)
        return;
    const std::optional<double> speed = askForNumber("Input new homing speed", "Please enter new homing speed value",
                                                     linearDrive->homingSpeed, 0, 200000, 5);
    if (!speed)
        return;
    linearDrive->homingSpeed = *speed;
    showHomingSpeed();
}

void ConfigParamPanel::setRailLength()
{
    if (!linearDrive)
        return;
    const std::optional<int> length =
        askForInteger("Rail Length", "Enter Rail Length ?", qRound(linearDrive->railLength), 0, 65535, 5);
    if (!length)
        return;
    DriveSettings::setRailLength(*length);
    linearDrive->railLength = *length;
    setRailLimits(*length);
}

void ConfigParamPanel::showSlope()
{
    slopeLabel->setText(QString::number(linearDrive->slope, 'g', 6));
}

void ConfigParamPanel::showHomingSpeed()
{
    homingSpeedLabel->setText(QString::number(linearDrive->homingSpeed, 'g', 6));
}

void ConfigParamPanel::drivePositionUpdated(double position)
{
    if (std::isfinite(position) && position >= 0)
        positionLabel->setText(QString("Current Position %1").arg(position + 0.0, 0, 'f', 2)); // + 0.0: no "-0.00"
    else
        positionLabel->setText("Current Position ---");
    emit positionUpdate(position);
}

void ConfigParamPanel::showMessage(QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.exec();
}

std::optional<double> ConfigParamPanel::askForNumber(const QString& title, const QString& label, double value,
                                                     double minimum, double maximum, int decimals)
{
    bool accepted = false;
    const double answer = QInputDialog::getDouble(this, title, label, value, minimum, maximum, decimals, &accepted);
    return accepted ? std::optional<double>(answer) : std::nullopt;
}

std::optional<int> ConfigParamPanel::askForInteger(const QString& title, const QString& label, int value, int minimum,
                                                   int maximum, int step)
{
    bool accepted = false;
    const int answer = QInputDialog::getInt(this, title, label, value, minimum, maximum, step, &accepted);
    return accepted ? std::optional<int>(answer) : std::nullopt;
}
