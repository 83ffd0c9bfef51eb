// The serial ports Qt finds, named and ordered as this system's users know them.
#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>

namespace platform
{
// What a user types in the Puerto field for this port: the device path on POSIX (/dev/ttyUSB0), the COM
// name on Windows (COM3; Qt's system location there is "\\.\COM3").
QString serialPortName(const QSerialPortInfo& port);
// The ports in the order to offer them: by name; on Windows COM2 before COM10.
void sortSerialPorts(QList<QSerialPortInfo>& ports);
} // namespace platform
