#pragma once

#include <QString>

#include <memory>

class QSerialPort;

// Opens the serial port of a drive with its line settings: 9600 baud both ways,
// 8 data bits, no parity, one stop bit, no flow control, for reading and
// writing. `portName` is a name from the system's port list or a device path
// (a pseudo-terminal, for instance, which the port list does not show).
// Returns null and fills `errorText` when the port cannot be opened.
std::unique_ptr<QSerialPort> openDrivePort(const QString& portName, QString* errorText = nullptr);
