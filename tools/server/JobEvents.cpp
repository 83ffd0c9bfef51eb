// Progress is read from the jobs on a timer rather than told by the sending threads, so that a fast line never
// floods the clients and the threads never wait for one.
#include "JobEvents.h"

#include "JsonText.h"

#include <QJsonDocument>
#include <QWebSocket>

namespace
{
bool ended(const QJsonObject& job)
{
    const QString state = job.value(QStringLiteral("state")).toString();
    return state != QLatin1String("queued") && state != QLatin1String("sending");
}
} // namespace

JobEvents::JobEvents(std::function<QJsonObject(int)> job, std::vector<StoredToken> tokens, QObject* parent)
    : QObject(parent), m_job(std::move(job)), m_tokens(std::move(tokens))
{
    m_tick.setInterval(JobEventMs);
    connect(&m_tick, &QTimer::timeout, this, &JobEvents::tick);
}

JobEvents::~JobEvents()
{
    for (const auto& [socket, listening] : m_clients) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

void JobEvents::listen(QWebSocket* socket)
{
    m_clients[socket] = false;
    socket->setParent(this);
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        m_clients.erase(socket);
        socket->deleteLater();
    });
    if (m_tokens.empty())
        return admit(socket);
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket](const QString& message) { presented(socket, message); });
    QTimer::singleShot(WebSocketTokenMs, socket, [this, socket] {
        if (const auto it = m_clients.find(socket); it != m_clients.end() && !it->second)
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("falta el token"));
    });
}

// Browsers cannot put a header on a WebSocket's request, so the token comes as the first message.
void JobEvents::presented(QWebSocket* socket, const QString& message)
{
    if (const auto it = m_clients.find(socket); it == m_clients.end() || it->second)
        return;
    const QJsonValue token = QJsonDocument::fromJson(message.toUtf8()).object().value(QStringLiteral("token"));
    const StoredToken* stored = token.isString() ? matchToken(m_tokens, token.toString().toUtf8()) : nullptr;
    if (!stored || stored->scope < Scope::Read)
        return socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("el token no es valido"));
    admit(socket);
}

// The client is told it listens, so that it knows nothing made after this is missed.
void JobEvents::admit(QWebSocket* socket)
{
    m_clients[socket] = true;
    socket->sendTextMessage(QStringLiteral(R"({"type":"ready"})"));
}

void JobEvents::jobMade(int id)
{
    m_jobs[id];
    publish(id);
    if (!m_tick.isActive() && !m_jobs.empty())
        m_tick.start();
}

void JobEvents::partEnded(int id)
{
    if (m_jobs.count(id))
        publish(id);
}

void JobEvents::shownChanged(const QString& sign, const QJsonObject& shown)
{
    broadcast({{QStringLiteral("type"), QStringLiteral("shown")},
               {QStringLiteral("sign"), sign},
               {QStringLiteral("shown"), shown}});
}

void JobEvents::tick()
{
    std::vector<int> ids;
    for (const auto& [id, followed] : m_jobs)
        ids.push_back(id);
    for (const int id : ids)
        publish(id);
    if (m_jobs.empty())
        m_tick.stop();
}

void JobEvents::publish(int id)
{
    Followed& followed = m_jobs[id];
    const QJsonObject job = m_job(id);
    const bool over = job.isEmpty() || ended(job);
    const bool due = !followed.since.isValid() || followed.since.elapsed() >= JobEventMs;
    if (!job.isEmpty() && job != followed.last && (over || due)) {
        broadcast({{QStringLiteral("type"), QStringLiteral("job")}, {QStringLiteral("job"), job}});
        followed.last = job;
        followed.since.start();
    }
    if (over)
        m_jobs.erase(id);
}

void JobEvents::broadcast(const QJsonObject& message)
{
    const QString text = QString::fromUtf8(jsonBytes(QJsonDocument(message), QJsonDocument::Compact));
    for (const auto& [socket, listening] : m_clients)
        if (listening)
            socket->sendTextMessage(text);
}
