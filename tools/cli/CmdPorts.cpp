// "tivor-cli ports": the serial devices this computer has, with what the system knows about them.
#include "Cli.h"
#include "core/platform/SerialPortNames.h"
#include "core/ports/SignPort.h"

#include <QSerialPortInfo>

namespace cli
{
int cmdPorts(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Command command{QStringLiteral("ports"),
                          QStringLiteral("ports"),
                          QStringLiteral("Lista los puertos serie encontrados, con su descripcion.\n"
                                         "El valor de --port puede ser la ruta del dispositivo o el numero N del "
                                         "puerto serie N (%1).")
                              .arg(SignPort::numberedPortForm()),
                          {},
                          {}};
    if (const int status = parseCommand(parser, command, arguments); status >= 0)
        return status;

    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    platform::sortSerialPorts(ports);
    if (ports.isEmpty()) {
        fail(StatusOk, QStringLiteral("no se encontraron puertos serie"));
        return StatusOk;
    }
    int width = 0;
    for (const QSerialPortInfo& port : ports)
        width = std::max(width, int(platform::serialPortName(port).size()));
    QString text;
    for (const QSerialPortInfo& port : ports) {
        QStringList about;
        if (!port.description().isEmpty())
            about << port.description();
        if (!port.manufacturer().isEmpty() && port.manufacturer() != port.description())
            about << port.manufacturer();
        if (!port.serialNumber().isEmpty())
            about << QStringLiteral("serie ") + port.serialNumber();
        const QString line =
            QStringLiteral("%1  %2").arg(platform::serialPortName(port), -width).arg(about.join(QStringLiteral(", ")));
        text += line.trimmed() + QLatin1Char('\n');
    }
    return printOut(text) ? StatusOk : fail(StatusFile, QStringLiteral("no se pudo escribir la salida"));
}
} // namespace cli
