// Port names: the device path on POSIX, the COM name on Windows.
#include "core/platform/SerialPortNames.h"

#include <algorithm>

namespace platform
{
#ifdef Q_OS_WIN
QString serialPortName(const QSerialPortInfo& port)
{
    return port.portName();
}

void sortSerialPorts(QList<QSerialPortInfo>& ports)
{
    // "COM10" sorts before "COM2" as text; Windows users expect them by number.
    const auto number = [](const QString& name) {
        bool ok = false;
        const int n = name.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) ? name.mid(3).toInt(&ok) : -1;
        return ok ? n : -1;
    };
    std::stable_sort(ports.begin(), ports.end(), [&](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        const QString na = serialPortName(a), nb = serialPortName(b);
        const int ia = number(na), ib = number(nb);
        if (ia >= 0 && ib >= 0 && ia != ib)
            return ia < ib;
        return na < nb;
    });
}
#else
QString serialPortName(const QSerialPortInfo& port)
{
    return port.systemLocation();
}

void sortSerialPorts(QList<QSerialPortInfo>& ports)
{
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.systemLocation() < b.systemLocation();
    });
}
#endif
} // namespace platform
