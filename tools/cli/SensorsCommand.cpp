// orvel-cli sensors: the devices on the USB buses (or the simulated bus), one
// line each: serial and availability.

#include "Availability.h"
#include "CommandLine.h"
#include "Commands.h"

#include "orvelDevice.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <vector>

namespace cli {

int runSensors(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists every USB device with its serial and whether its sensor can be opened: available, in use (held by "
        "a program), or unavailable with the reason its device lock cannot be taken.\n"
        "With ORVEL_SIMULATED_SENSOR set, the simulated bus is listed instead."));
    parser.addPositionalArgument(QStringLiteral("sensors"), QStringLiteral("the command"), QStringLiteral("sensors"));
    if (const auto exit = parseArguments(parser, arguments, QStringLiteral("sensors")))
        return *exit;
    if (!operands(parser).isEmpty())
        return usageError(QStringLiteral("sensors"),
                          QStringLiteral("unexpected argument \"%1\"").arg(operands(parser).first()));

    std::vector<device_item> devices;
    orvelDevice::getDeviceList(devices);
    if (devices.empty()) {
        err() << "No USB devices found.\n";
        err().flush();
        return Success;
    }
    // Probed again as the line is written: what `acquire` would meet now.
    for (const device_item& item : devices)
        out() << serialText(item).leftJustified(20) << ' ' << availabilityText(item) << '\n';
    out().flush();
    return Success;
}

} // namespace cli
