// QTcpSocket behind a network sign: opening with a time limit, telnet answers, pushed writes.
#include "core/ports/NetLink.h"

#include "core/ports/MSComm.h"
#include "core/ports/Rfc2217.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace
{
const QString kStalled = QStringLiteral("El puerto no acepta datos (tiempo agotado)");

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

NetLink::NetLink() = default;

NetLink::~NetLink()
{
    close();
}

bool NetLink::isNetPort(const QString& port)
{
    const QString t = port.trimmed();
    return t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive);
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

bool NetLink::open(const QString& port, const Line& line)
{
    close();
    m_port = port.trimmed();
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
    // clicks wait until the port is open or has failed.
    const QDeadlineTimer deadline(platform::testing::openTimeoutMs);
    auto waitFor = [&](const auto& done) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(m_socket.get(), &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
        while (!done() && m_socket->state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            timer.start(int(std::max<qint64>(1, deadline.remainingTime())));
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        return done();
    };

    m_socket->connectToHost(host, tcpPort);
    if (!waitFor([this] { return isOpen(); }))
        return fail(m_socket->state() == QAbstractSocket::UnconnectedState
                        ? socketReason(*m_socket)
                        : QStringLiteral("sin respuesta en %1 s (tiempo agotado)").arg(platform::testing::openTimeoutMs / 1000.0));
    // Each byte leaves as soon as it is written, or the sign's pacing would be lost.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!m_telnet)
        return true;

    if (!send(m_telnet->greeting()))
        return false;
    if (!waitFor([this] { return m_telnet->comPortState() != 0; }))
        return fail(isOpen() ? QStringLiteral("el servidor no respondio a la opcion de puerto serie (RFC 2217)")
                             : socketReason(*m_socket));
    if (m_telnet->comPortState() < 0)
        return fail(QStringLiteral("el servidor no acepta la opcion de puerto serie (RFC 2217)"));
    // The baud rate answer shows the server took the line settings; the modem lines are never confirmed
    // by a server whose device has none, so those are only sent.
    if (!setLine(line))
        return false;
    if (!waitFor([this] { return m_telnet->baudAnswered(); }))
        return fail(isOpen() ? QStringLiteral("el servidor no confirmo la velocidad (RFC 2217)") : socketReason(*m_socket));
    return setModemLine(true, false) && setModemLine(false, false);
}

void NetLink::close()
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
    return !m_telnet || send(Rfc2217::lineSettings(line.baud, line.dataBits, line.parity, line.stopBits, line.flow));
}

bool NetLink::setModemLine(bool rts, bool on)
{
    return !m_telnet || send(Rfc2217::modemLine(rts, on));
}

bool NetLink::write(const QByteArray& bytes)
{
    return send(m_telnet ? Rfc2217::escape(bytes) : bytes);
}

// write() only fills the socket's buffer; the bytes must reach the system before the sender's wait starts.
// A drop shows as the socket leaving the connected state (a write refused, or the peer's end read).
bool NetLink::send(const QByteArray& wire)
{
    if (!isOpen()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("El puerto no esta abierto");
        return false;
    }
    m_socket->write(wire);
    m_socket->flush();
    while (isOpen() && m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(platform::testing::outputStallMs) && isOpen())
            return fail(kStalled);
    }
    return isOpen() || fail(socketReason(*m_socket));
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
    close();
    return false;
}
