// Each connection's bytes are looked at (peeked, never taken) as they arrive, ahead of Qt's parser; a request
// that breaks a limit is answered here, Qt's parser is cut off from the socket, and what still arrives is
// thrown away until the client closes or a short grace ends, so that the answer is not lost to a reset.
#include "ConnectionGuard.h"

#include "HttpApi.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebSocketServer>
#include <cmath>

namespace
{
// How long a refused client has to read its answer before the connection is dropped.
constexpr int GraceMs = 2000;
// Buckets kept before the full ones (clients that have rested) are forgotten.
constexpr int KeptBuckets = 4096;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 403:
        return "Forbidden";
    case 503:
        return "Service Unavailable";
    default:
        return "Bad Request";
    }
}

// The value of one header in a request head, or empty.
QByteArray headerValue(const QByteArray& head, const char* name)
{
    const QRegularExpression pattern(QStringLiteral("\\r\\n%1[ \\t]*:[ \\t]*([^\\r]*)").arg(QLatin1String(name)),
                                     QRegularExpression::CaseInsensitiveOption);
    return pattern.match(QString::fromLatin1(head)).captured(1).trimmed().toLatin1();
}
} // namespace

struct ConnectionGuard::Connection
{
    QTimer* deadline = nullptr; // owned by the socket
    QByteArray head;            // of the request under way, until its blank line
    qint64 bodyLeft = 0;        // of a body with a Content-Length
    qint64 chunkedSeen = 0;     // of a chunked body, counted until Qt has read the request
    bool chunked = false;
    bool closing = false;
    bool webSocket = false;
};

ConnectionGuard::ConnectionGuard(const ServerLimits& limits, const QSslConfiguration& tls, QObject* parent)
    : QTcpServer(parent), m_limits(limits), m_tls(tls)
{
    m_clock.start();
}

ConnectionGuard::~ConnectionGuard() = default;

QByteArray ConnectionGuard::problemResponse(int status, const QString& detail)
{
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("about:blank")},
                                                      {QStringLiteral("title"), problemTitle(status)},
                                                      {QStringLiteral("status"), status},
                                                      {QStringLiteral("detail"), detail}})
                                .toJson(QJsonDocument::Compact);
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
           "\r\nContent-Type: application/problem+json\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = m_tls.isNull() ? new QTcpSocket(this) : new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Given to Qt's parser at once, as a plain connection is: a QSslSocket signals, peeks and reads only what it
    // has decrypted, and holds what is written until the handshake is done. The handshake counts against the
    // connection's time limit; one that fails closes the connection, a plain request gets no answer.
    if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
        secure->setSslConfiguration(m_tls);
        connect(secure, &QAbstractSocket::errorOccurred, secure, [secure](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::SslHandshakeFailedError)
                secure->abort();
        });
        secure->startServerEncryption();
    }
    if (qsizetype(m_connections.size()) >= m_limits.connections) {
        connect(socket, &QTcpSocket::disconnected, this, [socket] { socket->deleteLater(); });
        socket->write(problemResponse(
            503, QStringLiteral("demasiadas conexiones abiertas (%1); intente mas tarde").arg(m_limits.connections)));
        socket->disconnectFromHost();
        QTimer::singleShot(GraceMs, socket, &QObject::deleteLater);
        return;
    }
    track(socket);
    addPendingConnection(socket);
}

// Connected before Qt's parser is, so that each arrival is seen here first.
void ConnectionGuard::track(QTcpSocket* socket)
{
    auto connection = std::make_unique<Connection>();
    connection->deadline = new QTimer(socket);
    connection->deadline->setSingleShot(true);
    connect(connection->deadline, &QTimer::timeout, this, [this, socket] { expired(socket); });
    connection->deadline->start(m_limits.timeoutMs);
    // Told by the socket's own child: a WebSocket that lets its socket go takes every connection of the socket's
    // signals with it.
    connect(connection->deadline, &QObject::destroyed, this, [this, socket] { m_connections.erase(socket); });
    m_connections[socket] = std::move(connection);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (const auto it = m_connections.find(socket); it != m_connections.end())
            scan(socket, *it->second);
    });
}

void ConnectionGuard::scan(QTcpSocket* socket, Connection& connection)
{
    QByteArray input = socket->peek(socket->bytesAvailable());
    while (!input.isEmpty()) {
        if (connection.bodyLeft > 0) {
            const qint64 taken = std::min<qint64>(connection.bodyLeft, input.size());
            connection.bodyLeft -= taken;
            input.remove(0, taken);
            continue;
        }
        if (connection.chunked) {
            connection.chunkedSeen += input.size();
            if (connection.chunkedSeen > m_limits.bodyBytes + m_limits.headBytes)
                return refuse(socket, 413, QStringLiteral("el cuerpo pasa de %1 KB").arg(m_limits.bodyBytes / 1024));
            return;
        }
        int refusal = 0;
        QByteArray head;
        if (!takeHead(connection, &input, &refusal, &head)) {
            if (refusal == 431)
                return refuse(socket, 431,
                              QStringLiteral("la linea de solicitud y los encabezados pasan de %1 KB")
                                  .arg(m_limits.headBytes / 1024));
            if (refusal == 413)
                return refuse(socket, 413, QStringLiteral("el cuerpo pasa de %1 KB").arg(m_limits.bodyBytes / 1024));
            return;
        }
        if (asksForWebSocket(head)) {
            // A browser says which page opens a WebSocket, and lets any page open one: only the server's own may.
            const QByteArray origin = headerValue(head, "Origin");
            if (!origin.isEmpty() &&
                QUrl(QString::fromLatin1(origin)).authority() != QString::fromLatin1(headerValue(head, "Host")))
                return refuse(socket, 403,
                              QStringLiteral("%1 no puede abrir este WebSocket").arg(QString::fromLatin1(origin)));
            return takeWebSocket(socket, connection);
        }
    }
}

// Moves what `input` holds of the head into the connection; true once the head is whole, with `input` left at
// the body. False while it is not yet whole, or with the status that refuses it.
bool ConnectionGuard::takeHead(Connection& connection, QByteArray* input, int* refusal, QByteArray* whole)
{
    const qsizetype before = connection.head.size();
    connection.head += *input;
    const qsizetype end = connection.head.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > m_limits.headBytes) {
        input->clear();
        *refusal = connection.head.size() > m_limits.headBytes ? 431 : 0;
        return false;
    }
    *input = input->mid(end + 4 - before);
    const QByteArray head = connection.head.left(end + 2);
    *whole = head;
    connection.head.clear();
    connection.chunked = !headerValue(head, "Transfer-Encoding").isEmpty();
    connection.chunkedSeen = 0;
    const qint64 length = headerValue(head, "Content-Length").toLongLong();
    if (length > m_limits.bodyBytes) {
        *refusal = 413;
        return false;
    }
    connection.bodyLeft = connection.chunked ? 0 : length;
    return true;
}

void ConnectionGuard::takeWebSockets(const QString& path)
{
    m_webSocketPath = path;
    if (m_webSockets)
        return;
    m_webSockets = new QWebSocketServer(QStringLiteral("tivor-server"), QWebSocketServer::NonSecureMode, this);
    connect(m_webSockets, &QWebSocketServer::newConnection, this, [this] {
        while (m_webSockets->hasPendingConnections())
            emit webSocketOpened(m_webSockets->nextPendingConnection());
    });
}

bool ConnectionGuard::asksForWebSocket(const QByteArray& head) const
{
    const QList<QByteArray> line = head.left(head.indexOf('\r')).split(' ');
    return m_webSockets && line.size() == 3 && line.at(0) == "GET" &&
           QUrl::fromPercentEncoding(line.at(1).split('?').constFirst()) == m_webSocketPath &&
           headerValue(head, "Upgrade").toLower().contains("websocket");
}

// Qt's parser reads the socket on readyRead, inside a transaction: cut off, it gives back what it had read of this
// head. The WebSocket forgets its socket when the socket is deleted, which ends the connection's count; the
// WebSocket server takes back its own deleteLater connection once the handshake is done, so ours is a lambda.
void ConnectionGuard::takeWebSocket(QTcpSocket* socket, Connection& connection)
{
    connection.webSocket = true;
    connection.deadline->stop();
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    connect(socket, &QTcpSocket::disconnected, this, [socket] { socket->deleteLater(); });
    if (socket->isTransactionStarted())
        socket->rollbackTransaction();
    m_webSockets->handleConnection(socket);
}

void ConnectionGuard::refuse(QTcpSocket* socket, int status, const QString& detail)
{
    Connection& connection = *m_connections.at(socket);
    connection.closing = true;
    connection.deadline->stop();
    // Qt's parser sees no more of this connection.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] {
        if (socket->isTransactionStarted())
            socket->commitTransaction();
        socket->readAll();
    });
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    socket->write(problemResponse(status, detail));
    // A client out of time is done; one refused for its size may still be sending, and would lose the answer
    // to a reset if the connection closed under it.
    if (status == 408)
        socket->disconnectFromHost();
    QTimer::singleShot(GraceMs, socket, [socket] { socket->abort(); });
}

void ConnectionGuard::expired(QTcpSocket* socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->second->closing || it->second->webSocket)
        return;
    const Connection& connection = *it->second;
    if (connection.head.isEmpty() && connection.bodyLeft == 0 && !connection.chunked)
        return socket->disconnectFromHost(); // idle: nothing to answer
    refuse(socket, 408, QStringLiteral("la solicitud no llego completa en %1 s").arg(m_limits.timeoutMs / 1000));
}

void ConnectionGuard::requestRead(QTcpSocket* socket)
{
    if (const auto it = m_connections.find(socket); it != m_connections.end()) {
        it->second->deadline->stop();
        it->second->chunked = false;
        it->second->chunkedSeen = 0;
    }
}

void ConnectionGuard::answered(QTcpSocket* socket)
{
    if (const auto it = m_connections.find(socket);
        it != m_connections.end() && !it->second->closing && !it->second->webSocket)
        it->second->deadline->start(m_limits.timeoutMs);
}

bool ConnectionGuard::allowRequest(const QHostAddress& client, int* retryAfter)
{
    const double perMs = m_limits.requestsPerMinute / 60000.0;
    const qint64 now = m_clock.elapsed();
    if (m_buckets.size() > KeptBuckets)
        m_buckets.removeIf([&](const auto& entry) {
            return entry.value().tokens + (now - entry.value().atMs) * perMs >= m_limits.requestsPerMinute;
        });
    const bool known = m_buckets.contains(client);
    Bucket& bucket = m_buckets[client];
    bucket.tokens = known ? std::min<double>(m_limits.requestsPerMinute, bucket.tokens + (now - bucket.atMs) * perMs)
                          : m_limits.requestsPerMinute;
    bucket.atMs = now;
    if (bucket.tokens >= 1) {
        bucket.tokens -= 1;
        return true;
    }
    *retryAfter = int(std::ceil((1 - bucket.tokens) / perMs / 1000));
    return false;
}
