// The configuration panel: the record it keeps in step with its controls, the
// rules tying the controls together, its messages, the port list, and the
// linear drive operated from its buttons against the simulated drive.
#include "config/ConfigParamPanel.h"
#include "drive/DriveSettings.h"
#include "drive/LinearDrive.h"
#include "drive/SimulatedDrivePorts.h"
#include "simdrive/SimulatedDrive.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTextDocument>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// Answers the panel's questions from the test and records its messages.
class ScriptedPanel : public ConfigParamPanel
{
public:
    using ConfigParamPanel::ConfigParamPanel;

    struct Message
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    QList<Message> messages;
    QStringList questions; // "title: label"
    std::optional<double> numberAnswer;
    std::optional<int> integerAnswer;
    int lastIntegerStep = 0;

protected:
    void showMessage(QMessageBox::Icon icon, const QString& title, const QString& text) override
    {
        messages.append({icon, title, text});
    }
    std::optional<double> askForNumber(const QString& title, const QString& label, double, double, double,
                                       int) override
    {
        questions.append(title + ": " + label);
        return numberAnswer;
    }
    std::optional<int> askForInteger(const QString& title, const QString& label, int, int, int, int step) override
    {
        questions.append(title + ": " + label);
        lastIntegerStep = step;
        return integerAnswer;
    }
};

// The widget in the grid cell right of `anchor`.
template <typename Control>
Control* cellRightOf(QWidget* anchor)
{
    auto* grid = qobject_cast<QGridLayout*>(anchor->parentWidget()->layout());
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(grid->indexOf(anchor), &row, &column, &rowSpan, &columnSpan);
    QLayoutItem* item = grid->itemAtPosition(row, column + 1);
    return item ? qobject_cast<Control*>(item->widget()) : nullptr;
}

// The control beside the label with this text.
template <typename Control>
Control* field(QWidget& panel, const QString& label)
{
    for (QLabel* candidate : panel.findChildren<QLabel*>())
        if (candidate->text() == label)
            return cellRightOf<Control>(candidate);
    return nullptr;
}

template <typename Button>
Button* button(QWidget& panel, const QString& text)
{
    for (Button* candidate : panel.findChildren<Button*>())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

QLabel* labelStartingWith(QWidget& panel, const QString& start)
{
    for (QLabel* candidate : panel.findChildren<QLabel*>())
        if (candidate->text().startsWith(start))
            return candidate;
    return nullptr;
}

ConfigParam timeResolvedRecord()
{
    ConfigParam config;
    config.syncParam.bUseSyncScan = true;
    config.syncParam.resolvedInteg = 1000;
    return config;
}

const QString spatialWarning =
    "In Spatial mode a Time Resolved scan takes its whole time window at every position: a data set every "
    "Resolution Time Step from Acquisition Time Start to Acquisition Time End (or the end of the SYNC period).";

} // namespace

class TestConfigParamPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Brisvane");
        QCoreApplication::setApplicationName("Orvel");
        QLoggingCategory::setFilterRules("orvel.drive.debug=false");
    }

    void init() { QSettings().clear(); }

    void showsTwoPagesAndKeepsTheOthersControls()
    {
        ScriptedPanel panel{ConfigParam()};
        auto* tabs = panel.findChild<QTabWidget*>();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("Acquisition"));
        QCOMPARE(tabs->tabText(1), QString("Spatial"));
        QCOMPARE(panel.windowTitle(), QString("ConfigParamPanel"));
        QVERIFY(field<QDoubleSpinBox>(panel, "Voltage Resolution"));
        QVERIFY(field<QLineEdit>(panel, "Trigger Delay"));
        QVERIFY(button<QPushButton>(panel, "RESYNC"));

        panel.selectTab(-1);
        QCOMPARE(tabs->currentIndex(), 1);
        panel.selectTab(0);
        panel.selectTab(2);
        QCOMPARE(tabs->currentIndex(), 0);

        QSignalSpy resync(&panel, &ConfigParamPanel::resynchronize);
        button<QPushButton>(panel, "RESYNC")->click();
        QCOMPARE(resync.count(), 1);
    }

    void toolTipsAreRichTextWithTheTopicInBold()
    {
        ScriptedPanel panel{ConfigParam()};
        const QString tip = button<QCheckBox>(panel, "Spatially Resolved")->toolTip();
        QVERIFY(Qt::mightBeRichText(tip));
        QVERIFY(tip.startsWith("<p><b>Spatially Resolved</b>: Enables spatial scan to run.</p>"));
        QCOMPARE(tip.count("<p>"), 3);
        QVERIFY(tip.contains("performed at specfied probe positions."));
        QVERIFY(field<QDoubleSpinBox>(panel, "Step Size")->toolTip().startsWith("<p><b>Step Position</b>:"));
    }

    void readBackClampsToTheControls()
    {
        ScriptedPanel panel{ConfigParam()};
        ConfigParam config;
        config.dataScanRunParam.voltageStart = -50;
        config.syncParam.resolution = 10;
        config.syncParam.resolvedInteg = 0;
        config.dataScanRunParam.integrationTime = 100;
        config.dataScanRunScans = 0;
        config.initScanRunParam.voltageStart = -200;
        config.initScanLargeVoltageStep = 0.126;
        config.initScanDerivativeDrop = 180;
        config.initScanDerivativePoints = 4000000000u;
        config.spatParam.end = 1000;
        config.syncParam.start = std::nan(""); // not a number: the control's minimum
        config.useSmartScan = false;
        config.initScanOptimiseForEEDF = false;
        config.dcCScanSteps = 77; // no control: passes through
        config.linearDrive = reinterpret_cast<LinearDrive*>(0x1); // not the panel's drive

        panel.setSettings(config);

        const ConfigParam& record = panel.configParam;
        QCOMPARE(record.dataScanRunParam.voltageStart, 0.1);
        QCOMPARE(record.syncParam.resolution, 10.0);
        QCOMPARE(record.syncParam.resolvedInteg, 20.0);
        QCOMPARE(record.dataScanRunParam.integrationTime, 200.0);
        QCOMPARE(record.dataScanRunScans, 1u);
        QCOMPARE(record.initScanRunParam.voltageStart, -150.0);
        QCOMPARE(record.initScanLargeVoltageStep, 0.13);
        QCOMPARE(record.initScanDerivativeDrop, 100.0);
        QCOMPARE(record.initScanDerivativePoints, 10u);
        QCOMPARE(record.spatParam.end, 300.0);
        QCOMPARE(record.syncParam.start, 0.0);
        QCOMPARE(record.initScanOptimiseForEEDF, false);
        QCOMPARE(record.dcCScanSteps, 77u);
        QCOMPARE(record.linearDrive, nullptr);
        QVERIFY(!button<QCheckBox>(panel, "Optimize Data Set For EEDF")->isEnabled());
        QVERIFY(panel.messages.isEmpty());

        // The controls show what the record now holds.
        QCOMPARE(field<QDoubleSpinBox>(panel, "Voltage Resolution")->value(), 0.1);
        QCOMPARE(field<QSpinBox>(panel, "Scans To Run")->value(), 1);
    }

    void controlsWriteTheirFields()
    {
        ScriptedPanel panel{ConfigParam()};
        field<QSpinBox>(panel, "Scans To Run")->setValue(42);
        field<QDoubleSpinBox>(panel, "Accumulations")->setValue(1234.5678);
        field<QDoubleSpinBox>(panel, "Small Voltage Step")->setValue(0.5);
        field<QSpinBox>(panel, "Derivative Calculation Points")->setValue(7);
        button<QRadioButton>(panel, "Time Resolved Mode")->click();
        field<QDoubleSpinBox>(panel, "Resolution Time Step")->setValue(0.0125);

        const ConfigParam& record = panel.configParam;
        QCOMPARE(record.dataScanRunScans, 42u);
        QCOMPARE(record.dataScanRunParam.integrationTime, 1234.5678);
        QCOMPARE(record.initScanSmallVoltageStep, 0.5);
        QCOMPARE(record.initScanDerivativePoints, 7u);
        QVERIFY(record.syncParam.bUseSyncScan);
        QCOMPARE(record.syncParam.resolution, 0.0125);
        // Filled only: the prescan integration time does not write back.
        field<QDoubleSpinBox>(panel, "Integration Time")->setValue(5);
        QCOMPARE(panel.configParam.initScanRunParam.integrationTime, 100.0);
    }

    void modeRulesEnableTheirControls()
    {
        ScriptedPanel panel{ConfigParam()};
        auto* accumulations = field<QDoubleSpinBox>(panel, "Accumulations");
        auto* resolution = field<QDoubleSpinBox>(panel, "Resolution Time Step");
        auto* end = field<QDoubleSpinBox>(panel, "Acquisition Time End");
        QVERIFY(accumulations->isEnabled());
        QVERIFY(!resolution->isEnabled());
        QVERIFY(!end->isEnabled());

        button<QRadioButton>(panel, "Time Resolved Mode")->click();
        QVERIFY(!accumulations->isEnabled());
        QVERIFY(!field<QDoubleSpinBox>(panel, "Integration Time")->isEnabled());
        QVERIFY(resolution->isEnabled());
        QVERIFY(end->isEnabled());
        QVERIFY(!field<QDoubleSpinBox>(panel, "Start Position")->isEnabled());

        button<QRadioButton>(panel, "Time Averaged Mode")->click();
        QVERIFY(!panel.configParam.syncParam.bUseSyncScan);
        QVERIFY(accumulations->isEnabled());
        QVERIFY(!resolution->isEnabled());
    }

    void acquisitionStartRaisesTheEnd()
    {
        ConfigParam config = timeResolvedRecord();
        config.syncParam.duration = 200;
        ScriptedPanel panel{config};
        auto* start = field<QDoubleSpinBox>(panel, "Acquisition Time Start");
        auto* end = field<QDoubleSpinBox>(panel, "Acquisition Time End");
        QCOMPARE(panel.configParam.syncParam.duration, 200.0);

        start->setValue(500);
        QCOMPARE(end->minimum(), 500.0);
        QCOMPARE(end->value(), 500.0);
        QCOMPARE(end->text(), QString("End of Period"));
        QCOMPARE(panel.configParam.syncParam.start, 500.0);
        // What the box shows is what the sensor gets: up to the end of the period.
        QCOMPARE(panel.configParam.syncParam.duration, 0.0);

        end->setValue(800);
        QCOMPARE(panel.configParam.syncParam.duration, 800.0);
        start->setValue(100);
        QCOMPARE(end->value(), 800.0);

        end->setValue(100);
        QCOMPARE(panel.configParam.syncParam.duration, 0.0);
        start->setValue(50);
        QCOMPARE(end->text(), QString("End of Period"));
        QCOMPARE(panel.configParam.syncParam.duration, 0.0);

        // A record asking for the end of the period shows it, whatever the start.
        config.syncParam.start = 300;
        config.syncParam.duration = 0;
        panel.setSettings(config);
        QCOMPARE(end->text(), QString("End of Period"));
        QCOMPARE(panel.configParam.syncParam.start, 300.0);
        QCOMPARE(panel.configParam.syncParam.duration, 0.0);
    }

    void scansToRunRereadsTheTimeSettings()
    {
        ScriptedPanel panel{timeResolvedRecord()};
        field<QDoubleSpinBox>(panel, "Sync Frequency")->setValue(5000);
        panel.configParam.syncParam.resolvedInteg = 1; // changed behind the panel's back
        field<QSpinBox>(panel, "Scans To Run")->setValue(3);
        QCOMPARE(panel.configParam.syncParam.resolvedInteg, 5000.0);
        QCOMPARE(panel.configParam.dataScanRunScans, 3u);
    }

    void spatialModeInTimeResolvedModeWarnsOnce()
    {
        ScriptedPanel panel{timeResolvedRecord()};
        auto* spatial = button<QCheckBox>(panel, "Spatially Resolved");
        auto* end = field<QDoubleSpinBox>(panel, "Acquisition Time End");

        spatial->click();
        QCOMPARE(panel.messages.size(), 1);
        QCOMPARE(panel.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(panel.messages[0].title, QString("Orvel"));
        QCOMPARE(panel.messages[0].text, spatialWarning);
        QVERIFY(panel.configParam.spatParam.bUseSpatScan);
        QVERIFY(end->isEnabled()); // it ends the window at every position
        auto* startPosition = field<QDoubleSpinBox>(panel, "Start Position");
        QVERIFY(startPosition->isEnabledTo(startPosition->parentWidget())); // its group waits for a drive

        // Refreshing with both modes on shows nothing.
        panel.setSettings(panel.configParam);
        QCOMPARE(panel.messages.size(), 1);

        spatial->click();
        QVERIFY(!panel.configParam.spatParam.bUseSpatScan);
        QVERIFY(end->isEnabled());
        QCOMPARE(panel.messages.size(), 1);

        button<QRadioButton>(panel, "Time Averaged Mode")->click();
        spatial->click();
        QCOMPARE(panel.messages.size(), 1);
    }

    void prescansCannotBeDisabledWhileTheyAreNeeded()
    {
        ScriptedPanel panel{ConfigParam()};
        auto* disable = button<QCheckBox>(panel, "Disable all prescan measurements");
        auto* ionVoltage = field<QDoubleSpinBox>(panel, "Ion Current Voltage");

        disable->click();
        QVERIFY(!disable->isChecked());
        QCOMPARE(panel.messages.size(), 1);
        QCOMPARE(panel.messages[0].icon, QMessageBox::Information);
        QCOMPARE(panel.messages[0].title, QString());
        QCOMPARE(panel.messages[0].text,
                 QString("You must manually set voltages and current range before disabling all prescans."));
        QVERIFY(!panel.configParam.ionCurrentDisable);
        QVERIFY(ionVoltage->isEnabled());

        ConfigParam manual;
        manual.useSmartScan = false;
        manual.useAutoCMRange = false;
        panel.setSettings(manual);
        disable->click();
        QVERIFY(disable->isChecked());
        QVERIFY(panel.configParam.ionCurrentDisable && panel.configParam.initScanDisable
                && panel.configParam.dcCScanDisable);
        QVERIFY(!ionVoltage->isEnabled());
        disable->click();
        QVERIFY(!panel.configParam.ionCurrentDisable && !panel.configParam.initScanDisable
                && !panel.configParam.dcCScanDisable);
        QVERIFY(ionVoltage->isEnabled());
        QCOMPARE(panel.messages.size(), 1);
    }

    void externalTriggerIsRefusedWithAutoClean()
    {
        ScriptedPanel panel{ConfigParam()};
        ConfigParam config;
        config.useExtTrigger = true;
        config.cleanProbeParam.autoClean = true;
        panel.setSettings(config);

        auto* trigger = button<QCheckBox>(panel, "Use External Trigger to start Scan");
        QCOMPARE(panel.messages.size(), 1);
        QCOMPARE(panel.messages[0].icon, QMessageBox::Information);
        QCOMPARE(panel.messages[0].title, QString());
        QCOMPARE(panel.messages[0].text,
                 QString("The auto-clean feature must be disabled before using externally triggered scans."));
        QVERIFY(!panel.configParam.useExtTrigger);
        QVERIFY(!trigger->isChecked());
        QVERIFY(!button<QRadioButton>(panel, "Rising Edge")->isEnabled());

        trigger->click();
        QCOMPARE(panel.messages.size(), 2);
        QVERIFY(!trigger->isChecked());
        QVERIFY(!panel.configParam.useExtTrigger);
    }

    void externalTriggerSettings()
    {
        ScriptedPanel panel{ConfigParam()};
        auto* trigger = button<QCheckBox>(panel, "Use External Trigger to start Scan");
        auto* delay = field<QLineEdit>(panel, "Trigger Delay");
        QVERIFY(!delay->isEnabled());
        trigger->click();
        QVERIFY(panel.configParam.useExtTrigger);
        QVERIFY(delay->isEnabled());

        button<QRadioButton>(panel, "Falling Edge")->click();
        QVERIFY(!panel.configParam.useExtTriggerRisingEdge);
        delay->clear();
        QTest::keyClicks(delay, "1250");
        QCOMPARE(panel.configParam.extTriggerDelay, 1250.0);
        QTest::keyClicks(delay, "0"); // 12500
        QTest::keyClicks(delay, "0"); // 125000 is out of range: refused
        QCOMPARE(delay->text(), QString("12500"));
        QCOMPARE(panel.configParam.extTriggerDelay, 12500.0);
        QTest::keyClicks(delay, "-"); // refused by the validator
        QCOMPARE(delay->text(), QString("12500"));
        delay->selectAll();
        QTest::keyClick(delay, Qt::Key_Backspace);
        QCOMPARE(panel.configParam.extTriggerDelay, 0.0);

        ConfigParam config;
        config.extTriggerDelay = 42.6;
        config.useExtTriggerRisingEdge = false;
        panel.setSettings(config);
        QCOMPARE(delay->text(), QString("43"));
        QVERIFY(button<QRadioButton>(panel, "Falling Edge")->isChecked());
    }

    void messageBoxOnConstructionCanBeAnswered()
    {
        ConfigParam config;
        config.useExtTrigger = true;
        config.cleanProbeParam.autoClean = true;
        QString shown;
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        ConfigParamPanel panel(config);
        QCOMPARE(shown, QString("The auto-clean feature must be disabled before using externally triggered scans."));
        QVERIFY(!panel.configParam.useExtTrigger);
    }

    void unavailableModesAreSwitchedOff()
    {
        ConfigParam config = timeResolvedRecord();
        config.spatParam.bUseSpatScan = true;
        ScriptedPanel panel{config};
        QVERIFY(panel.configParam.syncParam.bUseSyncScan && panel.configParam.spatParam.bUseSpatScan);

        panel.setModesAllowed(false, false);
        QVERIFY(!panel.configParam.syncParam.bUseSyncScan);
        QVERIFY(!panel.configParam.spatParam.bUseSpatScan);
        QVERIFY(!button<QRadioButton>(panel, "Time Resolved Mode")->isEnabled());
        QVERIFY(!button<QCheckBox>(panel, "Spatially Resolved")->isEnabled());
        panel.setSettings(config);
        QVERIFY(!panel.configParam.syncParam.bUseSyncScan);
    }

    void positionReadings()
    {
        ScriptedPanel panel{ConfigParam()};
        QSignalSpy passedOn(&panel, &ConfigParamPanel::positionUpdate);
        auto show = [&panel](double position) {
            QMetaObject::invokeMethod(&panel, "drivePositionUpdated", Q_ARG(double, position));
            return labelStartingWith(panel, "Current Position")->text();
        };
        QCOMPARE(labelStartingWith(panel, "Current Position")->text(), QString("Current Position : ##"));
        QCOMPARE(show(12.5), QString("Current Position 12.50"));
        QCOMPARE(show(-0.5), QString("Current Position ---"));
        QCOMPARE(show(std::numeric_limits<double>::quiet_NaN()), QString("Current Position ---"));
        QCOMPARE(show(-0.0), QString("Current Position 0.00"));
        QCOMPARE(passedOn.count(), 4);
        QCOMPARE(passedOn.at(1).at(0).toDouble(), -0.5);
    }

    void positionLimitsComeFromTheSettingsStore()
    {
        QSettings settings;
        settings.setValue("settings/setPosBoxMinimum", 400.0);
        settings.setValue("settings/setPosBoxMaximum", -20.0);
        ConfigParam config;
        config.spatParam.start = -100;
        ScriptedPanel panel{config};
        auto* start = field<QDoubleSpinBox>(panel, "Start Position");
        QCOMPARE(start->minimum(), -20.0);
        QCOMPARE(field<QDoubleSpinBox>(panel, "End Position")->maximum(), 400.0);
        QCOMPARE(panel.configParam.spatParam.start, -20.0);
    }

    void vanishedSavedPortSelectsTheFirst()
    {
        DriveSettings::setComPort("/dev/orvel-port-that-is-gone");
        ScriptedPanel panel{ConfigParam()};
        auto* ports = field<QComboBox>(panel, "Choose Interface :");
        const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
        QCOMPARE(ports->count(), available.size());
        QCOMPARE(ports->currentText(), available.isEmpty() ? QString() : available.first().portName());

        // A device path that still exists (a pseudo-terminal) is offered on the next show.
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        DriveSettings::setComPort(simulated.slavePath());
        panel.show();
        QCOMPARE(ports->currentText(), simulated.slavePath());
        QCOMPARE(ports->count(), available.size() + 1);

        // A running simulated drive that registered itself is offered, marked,
        // after the system's ports; choosing it selects its pseudo-terminal.
        SimulatedDrive registered;
        QVERIFY2(registered.start(), qPrintable(registered.errorString()));
        const SimulatedDriveRegistration registration(registered.slavePath());
        QVERIFY2(registration.isRegistered(), qPrintable(registration.errorString()));
        panel.close();
        panel.show();
        QCOMPARE(ports->itemText(available.size()), registered.slavePath() + " (simulated drive)");
        ports->setCurrentIndex(available.size());
        panel.close();
        QCOMPARE(DriveSettings::comPort(), registered.slavePath());
        panel.show();
        QCOMPARE(ports->count(), available.size() + 1);
        QCOMPARE(ports->currentText(), registered.slavePath() + " (simulated drive)");
        // The box shows such a path whole.
        panel.selectTab(1);
        QVERIFY(ports->width() >= ports->fontMetrics().horizontalAdvance(ports->currentText()));

        // Closing remembers the port shown.
        ports->setEditText("/dev/ttyTyped");
        panel.close();
        QCOMPARE(DriveSettings::comPort(), QString("/dev/ttyTyped"));
    }

    void recordIsSavedOnDestruction()
    {
        auto panel = std::make_unique<ScriptedPanel>(ConfigParam());
        field<QSpinBox>(*panel, "Scans To Run")->setValue(42);
        panel.reset();
        ConfigParam loaded;
        loaded.loadSettings();
        QCOMPARE(loaded.dataScanRunScans, 42u);
    }

    void unopenablePortIsReported()
    {
        ScriptedPanel panel{ConfigParam()};
        field<QComboBox>(panel, "Choose Interface :")->setEditText("/dev/orvel-no-such-port");
        button<QPushButton>(panel, "Initialize Linear Drive")->click();
        QCOMPARE(panel.messages.size(), 1);
        QCOMPARE(panel.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(panel.messages[0].title, QString("Unable to access serial port"));
        QCOMPARE(panel.messages[0].text,
                 QString("Unable to open serial port. Check that it is not already used and try again."));
        QCOMPARE(panel.getLinearDriveInstance(), nullptr);
        QVERIFY(!button<QPushButton>(panel, "Go")->isEnabled());
    }

    void silentDriveIsDroppedWithoutAMessage()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setSilent(true);
        ScriptedPanel panel{ConfigParam()};
        field<QComboBox>(panel, "Choose Interface :")->setEditText(simulated.slavePath());
        button<QPushButton>(panel, "Initialize Linear Drive")->click();
        QCOMPARE(panel.getLinearDriveInstance(), nullptr);
        QVERIFY(panel.messages.isEmpty());
        QVERIFY(!button<QPushButton>(panel, "Go")->isEnabled());
        QVERIFY(button<QPushButton>(panel, "Initialize Linear Drive")->isEnabled());
    }

    void driveIsInitialisedMovedAndStopped()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setHomingTime(30);
        simulated.placeCarriage(2000, 2000);
        QSettings().setValue("settings/drive_length", 250);
        ScriptedPanel panel{ConfigParam()};
        QSignalSpy positions(&panel, &ConfigParamPanel::positionUpdate);
        auto* go = button<QPushButton>(panel, "Go");
        auto* stop = button<QPushButton>(panel, "Stop");
        auto* initialize = button<QPushButton>(panel, "Initialize Linear Drive");
        auto* moveTo = field<QDoubleSpinBox>(panel, "Move To :");
        auto* slider = panel.findChild<QSlider*>();
        QVERIFY(!go->isEnabled() && !slider->isEnabled() && !stop->isEnabled());
        QVERIFY(!button<QPushButton>(panel, "Configure Slope")->isEnabled());

        QElapsedTimer elapsed;
        elapsed.start();
        field<QComboBox>(panel, "Choose Interface :")->setEditText(simulated.slavePath());
        initialize->click();

        LinearDrive* drive = panel.getLinearDriveInstance();
        QVERIFY(drive);
        QVERIFY(drive->connected);
        QCOMPARE(panel.configParam.linearDrive, drive);
        QCOMPARE(panel.configParam.comport, simulated.slavePath());
        QCOMPARE(DriveSettings::comPort(), simulated.slavePath());
        QCOMPARE(simulated.distanceFromHome(), 0); // homed
        QCOMPARE(drive->slope, 0.01);
        QCOMPARE(drive->railLength, 250.0);
        QCOMPARE(slider->maximum(), 250);
        QCOMPARE(moveTo->maximum(), 250.0);
        QCOMPARE(field<QDoubleSpinBox>(panel, "End Position")->maximum(), 250.0);
        QVERIFY(go->isEnabled() && slider->isEnabled() && initialize->isEnabled() && !stop->isEnabled());
        QCOMPARE(labelStartingWith(panel, "Current Position")->text(), QString("Current Position 0.00"));
        QVERIFY(!positions.isEmpty());
        QVERIFY(labelStartingWith(panel, "Applied Motion Linear Drive"));
        QCOMPARE(cellRightOf<QLabel>(button<QPushButton>(panel, "Configure Slope"))->text(), QString("0.01"));
        QCOMPARE(cellRightOf<QLabel>(button<QPushButton>(panel, "Configure Homing Speed"))->text(), QString("10"));

        slider->setValue(12);
        QCOMPARE(moveTo->value(), 12.0);
        moveTo->setValue(12.5);
        go->click();
        QCOMPARE(simulated.position(), 1250);
        QCOMPARE(labelStartingWith(panel, "Current Position")->text(), QString("Current Position 12.50"));
        QCOMPARE(panel.configParam.linearDrive, drive);

        // Stop ends a long move where the drive is.
        simulated.setTravelSpeed(4000);
        moveTo->setValue(240);
        bool stopWasEnabled = false;
        QTimer::singleShot(200, [&] {
            stopWasEnabled = stop->isEnabled() && !go->isEnabled() && !initialize->isEnabled();
            stop->click();
        });
        go->click();
        QVERIFY(stopWasEnabled);
        QVERIFY(!stop->isEnabled() && go->isEnabled() && initialize->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!simulated.isMoving(), 1000); // the stop command is on its way
        QVERIFY(simulated.position() > 1250 && simulated.position() < 24000);
        QVERIFY(simulated.commands().contains("ST"));

        // A second initialisation on the same port replaces the drive.
        const QPointer<LinearDrive> replaced(drive);
        initialize->click();
        QVERIFY(panel.getLinearDriveInstance());
        QVERIFY(panel.getLinearDriveInstance() != drive);
        QCOMPARE(panel.configParam.linearDrive, panel.getLinearDriveInstance());
        QCOMPARE(simulated.distanceFromHome(), 0);
        // The old controller is silenced: its port is closed and the panel no longer listens.
        QVERIFY(replaced);
        QVERIFY(!replaced->moveTo(10));
        positions.clear();
        emit replaced->positionUpdated(99);
        QVERIFY(positions.isEmpty());
        QVERIFY(elapsed.elapsed() < 10000);
    }

    void panelDestroyedDuringAMoveStopsTheDrive()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setHomingTime(10);
        auto* panel = new ScriptedPanel(ConfigParam());
        field<QComboBox>(*panel, "Choose Interface :")->setEditText(simulated.slavePath());
        button<QPushButton>(*panel, "Initialize Linear Drive")->click();
        const QPointer<LinearDrive> drive(panel->getLinearDriveInstance());
        QVERIFY(drive);

        simulated.setTravelSpeed(4000);
        field<QDoubleSpinBox>(*panel, "Move To :")->setValue(200);
        QTimer::singleShot(200, [&panel] {
            delete panel; // closing the session while the drive moves
            panel = nullptr;
        });
        QPushButton* go = button<QPushButton>(*panel, "Go");
        go->click();
        QVERIFY(!panel);
        QTRY_VERIFY_WITH_TIMEOUT(!simulated.isMoving(), 1000);
        QVERIFY(simulated.commands().contains("ST"));
        QVERIFY(simulated.position() < 20000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(drive.isNull());
    }

    void escapeHidesThePanel()
    {
        ScriptedPanel panel{ConfigParam()};
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::keyClick(&panel, Qt::Key_Escape);
        QVERIFY(!panel.isVisible());
    }

    void driveSettingsDialogs()
    {
        SimulatedDrive simulated;
        QVERIFY2(simulated.start(), qPrintable(simulated.errorString()));
        simulated.setHomingTime(10);
        ScriptedPanel panel{ConfigParam()};
        field<QComboBox>(panel, "Choose Interface :")->setEditText(simulated.slavePath());
        button<QPushButton>(panel, "Initialize Linear Drive")->click();
        LinearDrive* drive = panel.getLinearDriveInstance();
        QVERIFY(drive);

        panel.numberAnswer = 0.02;
        button<QPushButton>(panel, "Configure Slope")->click();
        QCOMPARE(panel.questions.last(), QString("Input new slope: Please enter new slope value"));
        QCOMPARE(drive->slope, 0.02);
        QCOMPARE(DriveSettings::slope(), 0.02);
        QVERIFY(labelStartingWith(panel, "0.02"));

        panel.numberAnswer = 2.5;
        button<QPushButton>(panel, "Configure Homing Speed")->click();
        QCOMPARE(panel.questions.last(), QString("Input new homing speed: Please enter new homing speed value"));
        QCOMPARE(drive->homingSpeed, 2.5);
        QVERIFY(labelStartingWith(panel, "2.5"));

        panel.integerAnswer = 185;
        button<QPushButton>(panel, "Set Rail Length")->click();
        QCOMPARE(panel.questions.last(), QString("Rail Length: Enter Rail Length ?"));
        QCOMPARE(panel.lastIntegerStep, 5);
        QCOMPARE(drive->railLength, 185.0);
        QCOMPARE(DriveSettings::railLength(), 185.0);
        QCOMPARE(panel.findChild<QSlider*>()->maximum(), 185);
        QCOMPARE(field<QDoubleSpinBox>(panel, "Move To :")->maximum(), 185.0);
        QCOMPARE(field<QDoubleSpinBox>(panel, "Start Position")->maximum(), 185.0);
        QCOMPARE(field<QDoubleSpinBox>(panel, "End Position")->maximum(), 185.0);

        // Cancelled: nothing changes.
        panel.numberAnswer.reset();
        panel.integerAnswer.reset();
        button<QPushButton>(panel, "Configure Slope")->click();
        button<QPushButton>(panel, "Set Rail Length")->click();
        QCOMPARE(drive->slope, 0.02);
        QCOMPARE(drive->railLength, 185.0);
        QVERIFY(panel.messages.isEmpty());
    }
};

QTEST_MAIN(TestConfigParamPanel)
#include "test_config_param_panel.moc"
