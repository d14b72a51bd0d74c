#include "drive/DriveSettings.h"

#include "drive/LinearDrive.h"

#include <QSettings>

#include <utility>

namespace DriveSettings {
namespace {

QVariant stored(const char* key, const QVariant& defaultValue)
{
    QSettings settings;
    settings.beginGroup(group);
    return settings.value(key, defaultValue);
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
    return stored(slopeKey, 0.01).toDouble();
}

void setSlope(double millimetresPerStep)
{
    store(slopeKey, millimetresPerStep);
}

double railLength()
{
    return stored(railLengthKey, 300).toDouble();
}

void setRailLength(int millimetres)
{
    store(railLengthKey, millimetres);
}

PositionLimits positionBoxLimits()
{
    PositionLimits limits{stored(positionBoxMinimumKey, 0.0).toDouble(), stored(positionBoxMaximumKey, 300.0).toDouble()};
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
