// QTcpSocket behind a network sign: opening with a time limit, telnet answers, pushed writes.
#include "core/ports/NetLink.h"

#include "core/platform/EndingSignals.h"
#include "core/ports/Rfc2217.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace
{
QString socketReason(const QTcpSocket& s)
{
    switch (s.error()) {
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("conexion rechazada: nadie escucha en ese puerto");
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("no se encuentra el equipo");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("el otro extremo cerro la conexion");
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral("sin respuesta (tiempo agotado)");
    default: return s.errorString();
    }
}
} // namespace

NetLink::NetLink(const QString& port) : m_port(port.trimmed()) {}

NetLink::~NetLink()
{
    closeSocket();
}

bool NetLink::parse(const QString& port, QString* host, quint16* tcpPort, bool* telnet)
{
    const QUrl url(port.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"tcp" && scheme != u"rfc2217") || url.host().isEmpty() || url.port() < 0 ||
        !url.path().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    *host = url.host();
    *tcpPort = quint16(url.port());
    *telnet = scheme == u"rfc2217";
    return true;
}

bool NetLink::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool NetLink::open()
{
    if (isOpen())
        return true;
    closeSocket();
    QString host;
    quint16 tcpPort = 0;
    bool telnet = false;
    if (!parse(m_port, &host, &tcpPort, &telnet) || tcpPort == 0)
        return fail(QStringLiteral("direccion de red no valida (se espera tcp://EQUIPO:PUERTO o rfc2217://EQUIPO:PUERTO)"));

    m_socket = std::make_unique<QTcpSocket>();
    if (telnet)
        m_telnet = std::make_unique<Rfc2217>();
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(), [this] { readIncoming(); });
    // A drop while idle is seen by the event loop; the next write then gives its reason.
    QObject::connect(m_socket.get(), &QTcpSocket::errorOccurred, m_socket.get(),
                     [this] { m_error = m_port + QStringLiteral(": ") + socketReason(*m_socket); });

    // The name lookup and the connection run in the event loop, so both share one time limit; the user's
    // clicks wait until the port is open or has failed. A Ctrl-C must not wait for that limit: nothing has
    // been sent yet, so the wait is cut in short slices that look for it.
    const QDeadlineTimer deadline(platform::testing::openTimeoutMs);
    constexpr qint64 signalSliceMs = 50;
    auto waitFor = [&](const auto& done) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
        while (!done() && m_socket->state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired() &&
               !platform::EndingSignals::pending()) {
            timer.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, signalSliceMs)));
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        return done();
    };
    auto failedWait = [this](const QString& reason) {
        return fail(platform::EndingSignals::pending() ? QStringLiteral("cancelado") : reason);
    };

    m_socket->connectToHost(host, tcpPort);
    if (!waitFor([this] { return isOpen(); }))
        return failedWait(m_socket->state() == QAbstractSocket::UnconnectedState
                              ? socketReason(*m_socket)
                              : QStringLiteral("sin respuesta en %1 s (tiempo agotado)").arg(platform::testing::openTimeoutMs / 1000.0));
    // Each byte leaves as soon as it is written, or the sign's pacing would be lost.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_error.clear();
    if (!m_telnet)
        return true;

    if (!send(m_telnet->greeting()))
        return false;
    if (!waitFor([this] { return m_telnet->comPortState() != 0; }))
        return failedWait(isOpen() ? QStringLiteral("el servidor no respondio a la opcion de puerto serie (RFC 2217)")
                                   : socketReason(*m_socket));
    if (m_telnet->comPortState() < 0)
        return fail(QStringLiteral("el servidor no acepta la opcion de puerto serie (RFC 2217)"));
    // The baud rate answer shows the server took the line settings; the modem lines are never confirmed
    // by a server whose device has none, so those are only sent.
    if (!setLine(m_line))
        return false;
    if (!waitFor([this] { return m_telnet->baudAnswered(); }))
        return failedWait(isOpen() ? QStringLiteral("el servidor no confirmo la velocidad (RFC 2217)")
                                   : socketReason(*m_socket));
    return setModemLine(ModemLine::Rts, false) && setModemLine(ModemLine::Dtr, false);
}

void NetLink::close()
{
    closeSocket();
    m_error.clear();
}

void NetLink::closeSocket()
{
    if (m_socket) {
        m_socket->disconnect(); // no handler runs on a link being taken down
        m_socket->abort();
    }
    m_socket.reset();
    m_telnet.reset();
}

bool NetLink::setLine(const Line& line)
{
    m_line = line;
    return !isOpen() || !m_telnet ||
           send(Rfc2217::lineSettings(line.baud, line.dataBits, line.parity, line.stopBits, line.flow));
}

bool NetLink::setModemLine(ModemLine which, bool on)
{
    if (!isOpen()) {
        m_error = notOpenText();
        return false;
    }
    return !m_telnet || send(Rfc2217::modemLine(which == ModemLine::Rts, on));
}

bool NetLink::write(const char* data, qsizetype size)
{
    if (!isOpen())
        return notOpen();
    if (m_telnet) // data as telnet carries it; the commands go through send() as they are
        m_socket->write(Rfc2217::escape(QByteArray::fromRawData(data, size)));
    else
        m_socket->write(data, size);
    return true;
}

// write() only fills the socket's buffer; the bytes must reach the system before the sender's wait starts.
// A drop shows as the socket leaving the connected state (a write refused, or the peer's end read).
bool NetLink::drain()
{
    if (!isOpen())
        return notOpen();
    m_socket->flush();
    while (isOpen() && m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(platform::testing::outputStallMs) && isOpen())
            return fail(stalledText());
    }
    return isOpen() || fail(socketReason(*m_socket));
}

platform::WriteTarget NetLink::batchTarget() const
{
    // Raw TCP only: telnet's data is escaped and its answers go in between. Bytes still in the socket's own
    // buffer must leave first.
    if (m_telnet || !isOpen() || m_socket->bytesToWrite() > 0)
        return {};
    return {qintptr(m_socket->socketDescriptor()), true};
}

bool NetLink::send(const QByteArray& wire)
{
    if (!isOpen())
        return notOpen();
    m_socket->write(wire);
    return drain();
}

// A connection that dropped while idle still holds its reason: the write gives it.
bool NetLink::notOpen()
{
    if (m_error.isEmpty())
        m_error = notOpenText();
    return false;
}

void NetLink::readIncoming()
{
    const QByteArray in = m_socket->readAll();
    if (m_telnet) {
        const QByteArray answer = m_telnet->feed(in);
        if (!answer.isEmpty())
            m_socket->write(answer); // leaves with the next flush, before any later data
    }
}

bool NetLink::fail(const QString& reason)
{
    m_error = m_port + QStringLiteral(": ") + reason;
    closeSocket();
    return false;
}
