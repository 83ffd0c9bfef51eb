// Which class stands behind a port text.
#include "core/ports/PortFactory.h"

#include "core/ports/NetAddress.h"
#include "core/ports/Rfc2217Port.h"
#include "core/ports/SerialPort.h"
#include "core/ports/SignPort.h"
#include "core/ports/TcpPort.h"

std::unique_ptr<SignPort> openablePort(const QString& port, QString* error)
{
    if (const QString fault = SignPort::textFault(port); !fault.isEmpty()) {
        *error = fault;
        return nullptr;
    }
    // A network address is never a device path; textFault() has made sure it is well formed.
    if (SignPort::isNetPort(port)) {
        if (const std::optional<NetAddress> address = NetAddress::parse(port); address && address->rfc2217)
            return std::make_unique<Rfc2217Port>(port);
        return std::make_unique<TcpPort>(port);
    }
    const QString device = SignPort::deviceNameFor(port);
    if (!device.isEmpty())
        return std::make_unique<SerialPort>(device);
    *error = QStringLiteral("No existe el puerto \"%1\"").arg(port);
    return nullptr;
}
