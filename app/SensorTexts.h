#pragma once

#include <QString>

// What the main window says about the sensor: the status-bar text of a status
// letter, and the hardware information box.

// "Idle", "Scanning", "Linear Drive Moving", "Orvel Sensor Disconnected" or
// "Error" for the letters the sensor is known to answer; empty for any other
// letter and for -1 (a failed query), both of which mean the sensor is lost.
QString sensorStatusText(int status);

// The text of the hardware information box. `infoText` is the connected
// sensor's identity line, or null when no sensor is connected; its words
// (split at single blanks, empty words kept) give the meter serial (word 0),
// its firmware (word 1), the probe serial (word 8) and the probe firmware
// (word 4), each line only when its word exists.
QString hardwareInformation(const QString& softwareVersion, const QString& buildDescription, const char* infoText);
