// The telnet side of a network sign: the negotiation on open, the line commands, escaped data.
#include "core/ports/Rfc2217Port.h"

Rfc2217Port::Rfc2217Port(const QString& port) : NetPort(port, true) {}

bool Rfc2217Port::open()
{
    if (isOpen())
        return true;
    m_telnet = Rfc2217(); // each connection negotiates from the start
    if (!connectSocket() || !send(m_telnet.greeting()))
        return false;
    if (!waitFor([this] { return m_telnet.comPortState() != 0; }))
        return failedWait(isOpen() ? QStringLiteral("el servidor no respondio a la opcion de puerto serie (RFC 2217)")
                                   : socketReason());
    if (m_telnet.comPortState() < 0)
        return fail(QStringLiteral("el servidor no acepta la opcion de puerto serie (RFC 2217)"));
    // The baud rate answer shows the server took the line settings; the modem lines are never confirmed
    // by a server whose device has none, so those are only sent.
    if (!setLine(m_line))
        return false;
    if (!waitFor([this] { return m_telnet.baudAnswered(); }))
        return failedWait(isOpen() ? QStringLiteral("el servidor no confirmo la velocidad (RFC 2217)")
                                   : socketReason());
    return setModemLine(ModemLine::Rts, false) && setModemLine(ModemLine::Dtr, false);
}

bool Rfc2217Port::setLine(const Line& line)
{
    m_line = line;
    return !isOpen() || send(Rfc2217::lineSettings(line.baud, line.dataBits, line.parity, line.stopBits, line.flow));
}

bool Rfc2217Port::setModemLine(ModemLine which, bool on)
{
    return checkOpen() && send(Rfc2217::modemLine(which == ModemLine::Rts, on));
}

bool Rfc2217Port::write(const char* data, qsizetype size)
{
    return queue(Rfc2217::escape(QByteArray::fromRawData(data, size)));
}

QByteArray Rfc2217Port::answerTo(const QByteArray& received)
{
    return m_telnet.feed(received);
}
