// Runs a simulated linear drive on a pseudo-terminal until stopped (Ctrl+C or
// SIGTERM), tells the operator how to reach it from Orvel, and registers it so
// that the configuration panel's port list offers it.
#include "StopSignals.h"
#include "drive/SimulatedDrivePorts.h"
#include "simdrive/SimulatedDrive.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

constexpr double fastestSpeed = 1e6;       // steps/s
constexpr int longestHomingTime = 600000; // ms

const char* const kDescription =
    "A simulated linear drive for Orvel's spatial scans: an Applied Motion stepper\n"
    "drive on a rail that answers on a pseudo-terminal, as a real one answers on a\n"
    "serial port. It homes, moves and reports its position like the real drive\n"
    "and runs until Ctrl+C. While it runs, the port list on the \"Spatial\" page of\n"
    "Orvel's configuration panel (F8) offers its pseudo-terminal.";

void explainUse(QTextStream& out, const QString& path, const SimulatedDriveRegistration& registration)
{
    out << "orvel-simdrive: a simulated linear drive is answering on the pseudo-terminal\n\n"
        << "    " << path << "\n\n"
        << "To use it in Orvel: press F8 (the session's configuration), open the page\n"
        << "\"Spatial\", choose \"" << path << " (simulated drive)\" under \"Choose Interface :\"\n"
        << "(or type the path there) and press \"Initialize Linear Drive\". The drive\n"
        << "homes; then set the spatial positions, tick \"Spatially Resolved\" and scan.\n";
    if (!registration.isRegistered())
        out << "(The port list will not offer it by itself: " << registration.errorString()
            << "; type the path.)\n";
    out << "Ctrl+C stops the drive.\n";
    out.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("orvel-simdrive");

    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    const QCommandLineOption speedOption("speed", "Travel speed in steps per second, up to 1000000 (default 2000).",
                                         "steps/s", "2000");
    const QCommandLineOption homingOption(
        "homing-time", "Duration of a homing pass in ms, 0 to 600000 (default 1500).", "ms", "1500");
    parser.addOption(speedOption);
    parser.addOption(homingOption);
    parser.process(app);

    bool speedOk = false;
    bool homingOk = false;
    const double speed = parser.value(speedOption).toDouble(&speedOk);
    const int homingTime = parser.value(homingOption).toInt(&homingOk);
    QTextStream err(stderr);
    if (!speedOk || !(speed > 0 && speed <= fastestSpeed) || !homingOk || homingTime < 0
        || homingTime > longestHomingTime) {
        err << "orvel-simdrive: --speed needs a number of steps/s above 0 and up to 1000000, "
               "--homing-time a whole number of ms from 0 to 600000\n";
        return 2;
    }

    SimulatedDrive drive;
    drive.setTravelSpeed(speed);
    drive.setHomingTime(homingTime);
    if (!drive.start()) {
        err << "orvel-simdrive: cannot open a pseudo-terminal: " << drive.errorString() << '\n';
        return 1;
    }
    const SimulatedDriveRegistration registration(drive.slavePath());
    QTextStream out(stdout);
    explainUse(out, drive.slavePath(), registration);

    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&out](const QString& name) {
        out << "orvel-simdrive: stopped by " << name << '\n';
        QCoreApplication::quit();
    });
    return app.exec();
}
