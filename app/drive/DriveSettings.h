#pragma once

#include <QString>

class LinearDrive;

// The drive's entries in group "settings" of the application's settings store
// (the default QSettings, so the organisation and application names must be set).
namespace DriveSettings {

inline constexpr char group[] = "settings";
inline constexpr char comPortKey[] = "COM_Port";
inline constexpr char slopeKey[] = "drive_slope";
inline constexpr char railLengthKey[] = "drive_length";
inline constexpr char positionBoxMinimumKey[] = "setPosBoxMinimum";
inline constexpr char positionBoxMaximumKey[] = "setPosBoxMaximum";

QString comPort();
void setComPort(const QString& portName);

// The stored values; one outside the range of the panel's control that sets
// it, or not a number, gives its default (slope 0.01, rail 300, limits 0 and
// 300).
double slope();
void setSlope(double millimetresPerStep);

double railLength();
void setRailLength(int millimetres);

struct PositionLimits
{
    double minimum;
    double maximum;
};
// Limits of the spatial start and end positions, in order even when stored
// the wrong way round.
PositionLimits positionBoxLimits();

// Copies the stored slope and rail length into a freshly initialised drive.
void applyTo(LinearDrive& drive);

} // namespace DriveSettings
