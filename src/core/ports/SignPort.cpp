// Which port a port text names.
#include "core/ports/SignPort.h"

#include "core/ports/NetLink.h"
#include "core/ports/SerialPort.h"

bool SignPort::isPortNumber(const QString& port)
{
    const QString t = port.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool SignPort::isNetPort(const QString& port)
{
    const QString t = port.trimmed();
    return t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
}

QString SignPort::deviceNameFor(const QString& port)
{
    if (!isPortNumber(port))
        return port;
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    if (!ok || n < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

std::unique_ptr<SignPort> SignPort::create(const QString& port, QString* error)
{
    // A network address is never a device path.
    if (isNetPort(port))
        return std::make_unique<NetLink>(port);
    const QString device = deviceNameFor(port);
    if (!device.isEmpty())
        return std::make_unique<SerialPort>(device);
    *error = QStringLiteral("No existe el puerto \"%1\"").arg(port);
    return nullptr;
}
