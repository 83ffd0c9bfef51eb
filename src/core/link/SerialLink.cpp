// The port opened from the settings, in the order the sign's line needs, and its status text.
#include "core/link/SerialLink.h"

#include "core/ports/MSComm.h"
#include "core/settings/LineSettings.h"

QString comPanelText(const QString& port, const QString& baud)
{
    const QString name = SignPort::isPortNumber(port) ? QStringLiteral("COM") + port : port;
    return name + QStringLiteral(": ") + baud;
}

bool openComPort(MSComm& MSComm1, const LineSettings& line, QString* panelText, QString* error)
{
    return openComPort(MSComm1, line.port, line.baud, panelText, error);
}

bool openComPort(MSComm& MSComm1, const QString& port, const QString& baud, QString* panelText, QString* error)
{
    auto failed = [&]() {
        // A port left half-configured would still take bytes after the user was told it failed.
        const QString reason = MSComm1.errorText();
        MSComm1.setPortOpen(false);
        if (error)
            *error = reason;
        return false;
    };

    if (MSComm1.PortOpen())
        MSComm1.setPortOpen(false);
    MSComm1.setCommPort(port);
    if (!MSComm1.setSettings(baud + QStringLiteral(",N,8,1")))
        return failed();
    MSComm1.setHandshaking(0);
    if (!MSComm1.setPortOpen(true))
        return failed();
    if (!MSComm1.setRTSEnable(false) || !MSComm1.setDTREnable(false))
        return failed();
    if (panelText)
        *panelText = comPanelText(port, baud);
    return true;
}

std::unique_ptr<SignPort> openSignPort(const QString& port, const QString& baud, QString* error)
{
    auto comm = std::make_unique<MSComm>();
    if (!openComPort(*comm, port, baud, nullptr, error))
        return nullptr;
    return comm;
}
