// orvel-screenshots FOLDER
//
// Takes the user guide's screenshots: builds the main window as the program
// does, connects the simulated sensor, runs an averaged scan and a spatial
// scan on a simulated drive through the same menus, panels and buttons an
// operator uses, and saves each window as FOLDER/<name>.png.
// scripts/take-screenshots.sh runs it on a virtual display, with settings and
// files kept away from the user's.
#include "ApplicationSetup.h"
#include "MainWin.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "drive/SimulatedDrivePorts.h"
#include "simdrive/SimulatedDrive.h"
#include "window/DialogProvider.h"
#include "window/PlotManager.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTextStream>
#include <QTimer>

#include <cstdlib>
#include <functional>

namespace {

constexpr int longestWaitMs = 120000;

[[noreturn]] void fail(const QString& what)
{
    QTextStream(stderr) << "orvel-screenshots: " << what << '\n';
    std::exit(1);
}

void waitFor(const std::function<bool()>& condition, const QString& what)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > longestWaitMs)
            fail("gave up waiting: " + what);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

template <typename Child>
Child* child(const QObject& parent, const QString& name)
{
    auto* found = parent.findChild<Child*>(name);
    if (!found)
        fail("no " + name);
    return found;
}

QPushButton* buttonLabelled(const QWidget& parent, const QString& text)
{
    for (QPushButton* button : parent.findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    fail("no button " + text);
}

class Shots
{
public:
    explicit Shots(const QString& folder)
        : folder(folder)
    {
    }
    void take(QWidget& widget, const QString& name) const
    {
        // Lets layouts settle and plots draw before the picture.
        QCoreApplication::processEvents();
        const QString file = QDir(folder).filePath(name + ".png");
        if (!widget.grab().save(file))
            fail("cannot write " + file);
        QTextStream(stdout) << file << '\n';
    }

private:
    QString folder;
};

// The pictures need no session kept: a scan in a session that holds an
// unsaved one discards it instead of waiting for an answer nobody gives.
class DiscardingDialogs : public DialogProvider
{
public:
    QMessageBox::StandardButton askToSaveChanges(QWidget*, const QString&, const QString&) override
    {
        return QMessageBox::Discard;
    }
};

void scan(MainWin& window)
{
    child<QAction>(window, "actionScan")->trigger();
    waitFor([&window] { return window.isScanning(); }, "the scan to start");
    waitFor([&window] { return !window.isScanning(); }, "the scan to end");
}

// Spatial page: the simulated drive chosen from the port list and initialised,
// then positions 0 to 30 mm in steps of 10, three scans at each.
void setUpSpatialScan(ConfigParamPanel& panel, const QString& pseudoTerminal)
{
    panel.selectTab(1);
    panel.show();
    QComboBox* ports = panel.findChild<QComboBox*>();
    const int entry = ports->findData(pseudoTerminal);
    if (entry < 0)
        fail("the port list does not offer the simulated drive");
    ports->setCurrentIndex(entry);
    buttonLabelled(panel, "Initialize Linear Drive")->click();
    waitFor([&panel] { return panel.getLinearDriveInstance() != nullptr; }, "the drive to home");
    ConfigParam config = panel.configParam;
    config.dataScanRunScans = 3;
    config.spatParam.bUseSpatScan = true;
    config.spatParam.start = 0;
    config.spatParam.step = 10;
    config.spatParam.end = 30;
    panel.setSettings(config);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpOrvelApplication();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 || !QDir(arguments.at(1)).exists())
        fail("usage: orvel-screenshots EXISTING-FOLDER");
    if (qEnvironmentVariableIsEmpty("ORVEL_SIMULATED_SENSOR"))
        fail("runs on the simulated sensor only: set ORVEL_SIMULATED_SENSOR=1");
    const Shots shots(arguments.at(1));

    MainWin window;
    DiscardingDialogs dialogs;
    window.setDialogProvider(&dialogs);
    // Tall enough for a session's whole controls column, which scrolls in a
    // smaller window.
    window.resize(1100, 900);
    window.show();
    child<QAction>(window, "actionConnect")->trigger();
    waitFor([&window] { return window.isConnected(); }, "the sensor to connect");
    PlotManager* session = window.currentSession();

    scan(window);
    shots.take(window, "main-window");

    window.showLangmuirSettings();
    shots.take(*session->analysisSettings(), "analysis-settings");
    session->analysisSettings()->close();

    ConfigParamPanel& panel = *session->configPanel();
    window.showConfigPanel();
    panel.selectTab(0);
    shots.take(panel, "config-acquisition");
    panel.close();

    SimulatedDrive drive;
    drive.setHomingTime(500);
    if (!drive.start())
        fail("no simulated drive: " + drive.errorString());
    const SimulatedDriveRegistration registration(drive.slavePath());
    setUpSpatialScan(panel, drive.slavePath());
    shots.take(panel, "config-spatial");
    panel.close();

    scan(window);
    // Step through the positions as an operator would, to the second one.
    auto* positions = child<QSlider>(*session, "positionSlider");
    for (int position = positions->maximum(); position >= 1; --position)
        positions->setValue(position);
    shots.take(window, "spatial-scan");
    child<QPushButton>(*session, "viewTrendsButton")->click();
    buttonLabelled(*session, "kTe")->click();
    waitFor([session] { return session->trendComplete(); }, "the trend to be complete");
    shots.take(window, "trends");
    return 0;
}
