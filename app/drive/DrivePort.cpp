#include "drive/DrivePort.h"

#include <QSerialPort>

std::unique_ptr<QSerialPort> openDrivePort(const QString& portName, QString* errorText)
{
    auto port = std::make_unique<QSerialPort>(portName);
    port->setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (port->open(QIODevice::ReadWrite))
        return port;
    if (errorText)
        *errorText = port->errorString();
    return nullptr;
}
