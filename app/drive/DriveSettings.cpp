#include "drive/DriveSettings.h"

#include "drive/LinearDrive.h"

#include <QSettings>

#include <limits>
#include <utility>

namespace DriveSettings {
namespace {

QVariant stored(const char* key, const QVariant& defaultValue)
{
    QSettings settings;
    settings.beginGroup(group);
    return settings.value(key, defaultValue);
}

// A stored number outside the range of the control that sets it, or no
// number at all, gives the default: a rail of 1e300 mm would overflow the
// slider built from it.
double storedNumber(const char* key, double defaultValue, double minimum, double maximum)
{
    bool isNumber = false;
    const double value = stored(key, defaultValue).toDouble(&isNumber);
    return isNumber && value >= minimum && value <= maximum ? value : defaultValue;
}

void store(const char* key, const QVariant& value)
{
    QSettings settings;
    settings.beginGroup(group);
    settings.setValue(key, value);
}

} // namespace

QString comPort()
{
    return stored(comPortKey, QString()).toString();
}

void setComPort(const QString& portName)
{
    store(comPortKey, portName);
}

double slope()
{
    // "Configure Slope" takes 0 to 200000.
    return storedNumber(slopeKey, 0.01, 0, 200000);
}

void setSlope(double millimetresPerStep)
{
    store(slopeKey, millimetresPerStep);
}

double railLength()
{
    // "Set Rail Length" takes 0 to 65535.
    return storedNumber(railLengthKey, 300, 0, 65535);
}

void setRailLength(int millimetres)
{
    store(railLengthKey, millimetres);
}

PositionLimits positionBoxLimits()
{
    // No control sets these; any finite numbers serve.
    constexpr double finite = std::numeric_limits<double>::max();
    PositionLimits limits{storedNumber(positionBoxMinimumKey, 0.0, -finite, finite),
                          storedNumber(positionBoxMaximumKey, 300.0, -finite, finite)};
    if (limits.minimum > limits.maximum)
        std::swap(limits.minimum, limits.maximum);
    return limits;
}

void applyTo(LinearDrive& drive)
{
    drive.slope = slope();
    drive.railLength = railLength();
}

} // namespace DriveSettings
