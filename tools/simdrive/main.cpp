// Runs a simulated drive on a pseudo-terminal until interrupted and prints the
// slave's path, which a serial port (or the program's drive panel) can open.
#include "simdrive/SimulatedDrive.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("orvel-simdrive");

    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated Applied Motion linear drive on a pseudo-terminal.");
    parser.addHelpOption();
    const QCommandLineOption speedOption("speed", "Travel speed in steps per second (default 2000).", "steps/s",
                                         "2000");
    const QCommandLineOption homingOption("homing-time", "Duration of a homing pass in ms (default 1500).", "ms",
                                          "1500");
    parser.addOption(speedOption);
    parser.addOption(homingOption);
    parser.process(app);

    bool speedOk = false;
    bool homingOk = false;
    const double speed = parser.value(speedOption).toDouble(&speedOk);
    const int homingTime = parser.value(homingOption).toInt(&homingOk);
    QTextStream err(stderr);
    if (!speedOk || speed <= 0 || !homingOk || homingTime < 0) {
        err << "orvel-simdrive: --speed needs a positive number, --homing-time a whole number of ms\n";
        return 2;
    }

    SimulatedDrive drive;
    drive.setTravelSpeed(speed);
    drive.setHomingTime(homingTime);
    if (!drive.start()) {
        err << "orvel-simdrive: cannot open a pseudo-terminal: " << drive.errorString() << '\n';
        return 1;
    }
    QTextStream(stdout) << drive.slavePath() << Qt::endl;
    return app.exec();
}
