#pragma once

#include "config/ConfigParam.h"

#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <optional>

class LinearDrive;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSerialPort;
class QSlider;
class QSpinBox;
class QTabWidget;

// The window in which the operator sets up the acquisition of one session and
// operates the linear drive. It keeps `configParam` in step with its controls
// (other parts of the program read the record directly), accepts a whole record
// through setSettings, and owns the drive controller it creates on "Initialize
// Linear Drive". The record is saved to the settings store when the panel is
// destroyed.
//
// Of its five pages only "Acquisition" and "Spatial" are shown; the controls of
// "Voltages", "Prescan" and "Trigger" still exist, are filled from the record
// and partly write back to it.
class ConfigParamPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ConfigParamPanel(const ConfigParam& config, QWidget* parent = nullptr);
    ~ConfigParamPanel() override;

    // Which acquisition modes the connected hardware offers. Both are allowed
    // unless a caller that knows better restricts them; a mode that is not
    // allowed is switched off in the record and its control disabled.
    void setModesAllowed(bool timeResolved, bool spatial);

    // The record the controls edit; the scan control copies it (with the
    // borrowed `linearDrive`) when a scan starts.
    ConfigParam configParam;

signals:
    void idleVoltageChanged(); // no control edits the idle voltage: never emitted
    void resynchronize();      // the "RESYNC" button
    void positionUpdate(double pos); // each drive position reading, in mm

public slots:
    // Inert: the estimate fields sit on the removed "Voltages" page, which nobody sees.
    void estimateTimes();
    // The main and session windows switch these modes; the panel shows the same
    // controls in every mode.
    void setEnabledMode(bool enabled);
    void setAdvancedMode(bool enabled);
    // Inert: every handler writes its change into `configParam` at once.
    void getSettings();
    // Takes `src` as the record (the panel's own drive stays in it) and refreshes
    // the controls; values out of a control's range come back clamped.
    void setSettings(ConfigParam src);
    // Shows page `tab` if it exists, the last page for a negative `tab`.
    void selectTab(int tab);
    // The drive controller the panel owns; null until a drive has answered
    // "Initialize Linear Drive".
    LinearDrive* getLinearDriveInstance();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Questions and messages for the operator, kept apart so that they can be
    // answered without a person at the desk. A message while the panel is being
    // constructed (a refused external trigger) comes from these versions.
    virtual void showMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
    virtual std::optional<double> askForNumber(const QString& title, const QString& label, double value,
                                               double minimum, double maximum, int decimals);
    virtual std::optional<int> askForInteger(const QString& title, const QString& label, int value,
                                             int minimum, int maximum, int step);

private slots:
    void modeChanged();
    void spatialModeChanged(bool on);
    void acquisitionStartChanged(double start);
    void acquisitionEndChanged(double end);
    void scansToRunChanged(int scans);
    void externalTriggerChanged(bool on);
    void risingEdgeChanged(bool rising);
    void triggerDelayEdited(const QString& text);
    void disablePrescansChanged(bool on);
    void initializeLinearDrive();
    void goToPosition();
    void stopDrive();
    void configureSlope();
    void configureHomingSpeed();
    void setRailLength();
    void drivePositionUpdated(double position);

private:
    // The record as the panel first held it (the one given, within the
    // controls' ranges): the record is saved when the panel goes only if it
    // changed since, so that an untouched panel going last never overwrites
    // what another one saved.
    ConfigParam m_givenConfig;

    QWidget* buildAcquisitionPage();
    QWidget* buildSpatialPage();
    QWidget* buildVoltagesPage();
    QWidget* buildPrescanPage();
    QWidget* buildTriggerPage();
    void setToolTips();
    void connectHandlers();

    void refreshControls();
    void applyModeAvailability();
    void applyModeRules();
    void applyExternalTriggerRule();
    void setPrescanGroupsEnabled(bool enabled);
    void readBackControls();
    void readBackTimeResolvedSettings();

    void fillPortList();
    QString selectedPortName() const;
    void storeSelectedPort() const;
    void retireDrive();
    void setDriveControlsEnabled(bool enabled);
    void setRailLimits(double railLength);
    bool runDriveOperation(const std::function<void(LinearDrive&)>& operation);
    void showSlope();
    void showHomingSpeed();

    bool timeResolvedAllowed = true;
    bool spatialAllowed = true;
    bool refreshing = false; // controls are being set from the record
    bool driveOperationRunning = false; // homing or a move started by the panel
    // Owned (a child); the port is the drive's, kept here to close it early.
    LinearDrive* linearDrive = nullptr;
    QSerialPort* drivePort = nullptr;

    QTabWidget* tabs;

    // Acquisition
    QRadioButton* timeAveragedMode;
    QRadioButton* timeResolvedMode;
    QButtonGroup* modeGroup;
    QDoubleSpinBox* accumulations;
    QDoubleSpinBox* resolutionTimeStep;
    QDoubleSpinBox* acquisitionStart;
    QDoubleSpinBox* acquisitionEnd;
    QDoubleSpinBox* syncFrequency;
    QSpinBox* scansToRun;

    // Spatial
    QComboBox* portList;
    QPushButton* initializeDrive;
    QPushButton* configureSlopeButton;
    QLabel* slopeLabel;
    QPushButton* configureHomingSpeedButton;
    QLabel* homingSpeedLabel;
    QLabel* positionLabel;
    QDoubleSpinBox* moveTo;
    QSlider* moveSlider;
    QPushButton* setRailLengthButton;
    QPushButton* goButton;
    QPushButton* stopButton;
    QLabel* driveLabel;
    QGroupBox* spatialPositions;
    QDoubleSpinBox* startPosition;
    QDoubleSpinBox* stepSize;
    QDoubleSpinBox* endPosition;
    QCheckBox* spatiallyResolved;

    // Voltages (removed page)
    QDoubleSpinBox* voltageResolution;

    // Prescan (removed page)
    QGroupBox* prescanTiming;
    QGroupBox* initialScan;
    QDoubleSpinBox* prescanIntegrationTime;
    QSpinBox* prescanAveragePerStep;
    QDoubleSpinBox* ionCurrentVoltage;
    QDoubleSpinBox* largeVoltageStep;
    QDoubleSpinBox* smallVoltageStep;
    QSpinBox* derivativeDrop;
    QSpinBox* ionCurrentDrop;
    QSpinBox* derivativePoints;
    QCheckBox* optimiseForEedf;
    QCheckBox* disablePrescans;

    // Trigger (removed page)
    QCheckBox* useExternalTrigger;
    QRadioButton* fallingEdge;
    QRadioButton* risingEdge;
    QLabel* triggerDelayLabel;
    QLineEdit* triggerDelay;
    QLabel* triggerDelayUnit;
    QPushButton* resyncButton;
};
