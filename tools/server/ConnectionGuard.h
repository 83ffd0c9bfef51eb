// The listening socket with the limits Qt HTTP Server 6.4 does not have: how many connections, how long a
// request may take to arrive and a connection may stay idle, how large a request's head and body may be, how
// many requests one client may make. It sees every connection first: it counts them as they are accepted, and
// it reads each request's head and body sizes as the bytes arrive, before Qt's parser takes them, so that an
// oversized or endless request is answered and closed before Qt holds it whole in memory. With TLS each
// connection is a QSslSocket whose handshake it starts; what it reads and writes then is the plain text. A request
// to upgrade to a WebSocket on the path given it is taken from Qt's parser here, where the head is seen whole.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QWebSocket>
#include <map>
#include <memory>

class QTcpSocket;
class QTimer;
class QWebSocketServer;

struct ServerLimits
{
    int connections = 64;        // open at once; one more is answered 503 and closed
    int requestsPerMinute = 600; // per client address, a minute's worth allowed at once
    int timeoutMs = 10000;       // for a request to arrive whole, and for an idle connection
    qsizetype headBytes = 8192;  // the request line and headers
    qsizetype bodyBytes = 65536; // MaxBodyBytes
};

class ConnectionGuard : public QTcpServer
{
    Q_OBJECT
public:
    // With `tls` not null every connection is HTTPS, and only HTTPS.
    explicit ConnectionGuard(const ServerLimits& limits, const QSslConfiguration& tls = {}, QObject* parent = nullptr);
    ~ConnectionGuard() override;

    // From the HTTP side: a whole request was read from `socket` (its time limit stops while it is served),
    // and its answer has been written (the idle limit starts).
    void requestRead(QTcpSocket* socket);
    void answered(QTcpSocket* socket);
    // Whether `client` may make one more request now; else the seconds after which it may.
    bool allowRequest(const QHostAddress& client, int* retryAfter);
    // A GET of `path` that asks to upgrade becomes a WebSocket, told by webSocketOpened. It counts as a connection
    // while it is open, and is never closed for being idle.
    void takeWebSockets(const QString& path);

    // The whole answer of a problem, written on the socket where no Qt responder is at hand.
    static QByteArray problemResponse(int status, const QString& detail);

signals:
    // The handshake is done; whoever takes the socket deletes it once it is closed.
    void webSocketOpened(QWebSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection;
    struct Bucket
    {
        double tokens = 0;
        qint64 atMs = 0;
    };
    void track(QTcpSocket* socket);
    void scan(QTcpSocket* socket, Connection& connection);
    bool takeHead(Connection& connection, QByteArray* input, int* refusal, QByteArray* head);
    bool asksForWebSocket(const QByteArray& head) const;
    void takeWebSocket(QTcpSocket* socket, Connection& connection);
    void refuse(QTcpSocket* socket, int status, const QString& detail);
    void expired(QTcpSocket* socket);

    ServerLimits m_limits;
    QSslConfiguration m_tls;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    QHash<QHostAddress, Bucket> m_buckets;
    QElapsedTimer m_clock;
    QString m_webSocketPath;
    QWebSocketServer* m_webSockets = nullptr;
};
