// The serial-port control: its properties over the port its text names.
#include "core/ports/MSComm.h"

#include "core/ports/PortFactory.h"

#include <QStringList>

MSComm::MSComm() = default;

MSComm::~MSComm() = default;

bool MSComm::PortOpen() const
{
    return m_port && m_port->isOpen();
}

void MSComm::setCommPort(const QString& port)
{
    m_commPort = port;
}

bool MSComm::setSettings(const QString& settings)
{
    const QStringList parts = settings.split(u',');
    if (parts.size() != 4)
        return fail(QStringLiteral("Parametros de linea no validos: \"%1\"").arg(settings));

    const QString baudText = parts[0].trimmed();
    bool ok = !baudText.isEmpty();
    for (QChar c : baudText)
        ok = ok && c >= u'0' && c <= u'9';
    const qint64 baud = ok ? baudText.toLongLong(&ok) : 0;
    if (!ok || baud < 1 || baud > 0x7fffffff)
        return fail(QStringLiteral("Velocidad no valida: \"%1\"").arg(parts[0]));

    const QString p = parts[1].trimmed().toUpper();
    if (p != u"N" && p != u"E" && p != u"O" && p != u"M" && p != u"S")
        return fail(QStringLiteral("Paridad no valida: \"%1\"").arg(parts[1]));

    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return fail(QStringLiteral("Bits de datos no validos: \"%1\"").arg(parts[2]));

    const QString s = parts[3].trimmed();
    if (s != u"1" && s != u"1.5" && s != u"2")
        return fail(QStringLiteral("Bits de parada no validos: \"%1\"").arg(parts[3]));

    Line line = m_line;
    line.baud = qint32(baud);
    line.parity = p[0].toLatin1();
    line.dataBits = data;
    line.stopBits = s == u"1.5" ? 3 : s.toInt();
    return setLine(line);
}

void MSComm::setHandshaking(int mode)
{
    m_line.flow = std::min(mode, 2);
}

bool MSComm::setLine(const Line& line)
{
    m_line = line;
    // Applied at once on an open port, otherwise when it opens.
    return !PortOpen() || m_port->setLine(line) || fail(m_port->errorText());
}

bool MSComm::setPortOpen(bool open)
{
    if (!open) {
        m_port.reset();
        m_error.clear();
        return true;
    }
    if (PortOpen())
        return true;
    // A port closed by a failure still holds its device until it goes; the text may name another one now.
    m_port.reset();
    m_port = openablePort(m_commPort, &m_error);
    if (!m_port)
        return false;
    m_port->setStallLimit(stallLimit());
    if (!m_port->setLine(m_line) || !m_port->open()) {
        m_error = m_port->errorText();
        m_port.reset();
        return false;
    }
    m_error.clear();
    return true;
}

bool MSComm::setRTSEnable(bool on)
{
    return setModemLine(ModemLine::Rts, on);
}

bool MSComm::setDTREnable(bool on)
{
    return setModemLine(ModemLine::Dtr, on);
}

bool MSComm::setModemLine(ModemLine which, bool on)
{
    if (!PortOpen())
        return fail(notOpenText());
    return m_port->setModemLine(which, on) || fail(m_port->errorText());
}

// With no port since the last open, the reason of that open's failure, if any, stays.
bool MSComm::write(const char* data, qsizetype size)
{
    if (!m_port)
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    return m_port->write(data, size) || fail(m_port->errorText());
}

bool MSComm::finishWrite(const char* data, qsizetype size, qint64 taken)
{
    if (!m_port)
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    return m_port->finishWrite(data, size, taken) || fail(m_port->errorText());
}

SignPort::Attempt MSComm::tryWrite(const char* data, qsizetype size)
{
    if (!m_port)
        return fail(m_error.isEmpty() ? notOpenText() : m_error), Attempt::Failed;
    const Attempt attempt = m_port->tryWrite(data, size);
    if (attempt == Attempt::Failed)
        fail(m_port->errorText());
    return attempt;
}

bool MSComm::drain()
{
    if (!m_port)
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    return m_port->drain() || fail(m_port->errorText());
}

bool MSComm::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

void MSComm::setStallLimit(int ms)
{
    SignPort::setStallLimit(ms);
    if (m_port)
        m_port->setStallLimit(ms);
}

bool MSComm::giveUp(const QString& reason)
{
    m_port.reset();
    return fail(reason);
}
