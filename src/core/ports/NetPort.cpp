// QTcpSocket behind a network sign: opening with a time limit, pushed writes, the program's reasons.
#include "core/ports/NetPort.h"

#include "core/platform/EndingSignals.h"
#include "core/ports/NetAddress.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

NetPort::NetPort(const QString& port, bool rfc2217) : m_port(port.trimmed()), m_rfc2217(rfc2217) {}

NetPort::~NetPort()
{
    closeSocket();
}

bool NetPort::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool NetPort::connectSocket()
{
    closeSocket();
    const std::optional<NetAddress> address = NetAddress::parse(m_port);
    if (!address || address->port == 0 || address->rfc2217 != m_rfc2217)
        return fail(
            QStringLiteral("direccion de red no valida (se espera tcp://EQUIPO:PUERTO o rfc2217://EQUIPO:PUERTO)"));

    m_socket = std::make_unique<QTcpSocket>();
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(), [this] { readIncoming(); });
    // A drop while idle is seen by the event loop; the next write then gives its reason.
    QObject::connect(m_socket.get(), &QTcpSocket::errorOccurred, m_socket.get(),
                     [this] { m_error = m_port + QStringLiteral(": ") + socketReason(); });

    // The name lookup and the connection run in the event loop, so both share one time limit; the user's
    // clicks wait until the port is open or has failed.
    m_openDeadline = QDeadlineTimer(ConnectLimitMs);
    m_socket->connectToHost(address->host, address->port);
    if (!waitFor([this] { return isOpen(); }))
        return failedWait(m_socket->state() == QAbstractSocket::UnconnectedState
                              ? socketReason()
                              : QStringLiteral("sin respuesta en %1 s (tiempo agotado)").arg(ConnectLimitMs / 1000.0));
    // Each byte leaves as soon as it is written, or the sign's pacing would be lost.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_error.clear();
    return true;
}

// A Ctrl-C must not wait for the open's time limit: nothing has been sent yet, so the wait is cut in short
// slices that look for it.
bool NetPort::waitFor(const std::function<bool()>& done)
{
    constexpr qint64 signalSliceMs = 50;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_socket.get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(m_socket.get(), &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
    while (!done() && m_socket->state() != QAbstractSocket::UnconnectedState && !m_openDeadline.hasExpired() &&
           !platform::EndingSignals::pending()) {
        timer.start(int(std::clamp<qint64>(m_openDeadline.remainingTime(), 1, signalSliceMs)));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return done();
}

bool NetPort::failedWait(const QString& reason)
{
    return fail(platform::EndingSignals::pending() ? QStringLiteral("cancelado") : reason);
}

void NetPort::handOverTo(QThread* thread)
{
    if (m_socket)
        m_socket->moveToThread(thread);
}

void NetPort::close()
{
    closeSocket();
    m_error.clear();
}

void NetPort::closeSocket()
{
    if (m_socket) {
        m_socket->disconnect(); // no handler runs on a link being taken down
        m_socket->abort();
    }
    m_socket.reset();
}

bool NetPort::queue(const QByteArray& bytes)
{
    if (!isOpen())
        return notOpen();
    m_socket->write(bytes);
    return true;
}

bool NetPort::send(const QByteArray& bytes)
{
    return queue(bytes) && drain();
}

// write() only fills the socket's buffer; the bytes must reach the system before the sender's wait starts.
// A drop shows as the socket leaving the connected state (a write refused, or the peer's end read).
bool NetPort::drain()
{
    if (!isOpen())
        return notOpen();
    m_socket->flush();
    while (isOpen() && m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(stallLimit()) && isOpen())
            return fail(stalledText());
    }
    return isOpen() || fail(socketReason());
}

platform::WriteTarget NetPort::socketTarget() const
{
    if (!isOpen() || m_socket->bytesToWrite() > 0)
        return {};
    return {qintptr(m_socket->socketDescriptor()), true};
}

bool NetPort::checkOpen()
{
    if (isOpen())
        return true;
    m_error = notOpenText();
    return false;
}

// A connection that dropped while idle still holds its reason: the write gives it.
bool NetPort::notOpen()
{
    if (m_error.isEmpty())
        m_error = notOpenText();
    return false;
}

QByteArray NetPort::answerTo(const QByteArray&)
{
    return {};
}

void NetPort::readIncoming()
{
    const QByteArray answer = answerTo(m_socket->readAll());
    if (!answer.isEmpty())
        m_socket->write(answer); // leaves with the next flush, before any later data
}

bool NetPort::fail(const QString& reason)
{
    m_error = m_port + QStringLiteral(": ") + reason;
    closeSocket();
    return false;
}

QString NetPort::socketReason() const
{
    switch (m_socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("conexion rechazada: nadie escucha en ese puerto");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("no se encuentra el equipo");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("el otro extremo cerro la conexion");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("sin respuesta (tiempo agotado)");
    default:
        return m_socket->errorString();
    }
}
