// Qt HTTP Server 6.4 under the routes: its request parser and responder, our own listening socket and
// router.
#include "HttpApi.h"

#include "ConnectionGuard.h"
#include "Journal.h"
#include "JsonText.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QPointer>
#include <QTcpSocket>
#include <QUrl>

struct HttpReply::State
{
    std::unique_ptr<QHttpServerResponder> responder;
    QPointer<QTcpSocket> socket;
    QPointer<ConnectionGuard> guard;
    bool answered = false;
    QString asked; // "GET /api/v1/signs", for the journal
    QElapsedTimer since;
};

QString problemTitle(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("Solicitud incorrecta");
    case 401:
        return QStringLiteral("No autorizado");
    case 403:
        return QStringLiteral("Prohibido");
    case 404:
        return QStringLiteral("No encontrado");
    case 405:
        return QStringLiteral("Metodo no admitido");
    case 409:
        return QStringLiteral("Conflicto");
    case 408:
        return QStringLiteral("Solicitud incompleta");
    case 413:
        return QStringLiteral("Solicitud demasiado grande");
    case 426:
        return QStringLiteral("Se necesita otro protocolo");
    case 429:
        return QStringLiteral("Demasiadas solicitudes");
    case 431:
        return QStringLiteral("Encabezados demasiado grandes");
    case 503:
        return QStringLiteral("Servicio no disponible");
    case 415:
        return QStringLiteral("Tipo de contenido no admitido");
    case 422:
        return QStringLiteral("Contenido no aceptado");
    default:
        return status >= 500 ? QStringLiteral("Error del servidor") : QStringLiteral("Error");
    }
}

namespace
{
QString bodyTooLargeText()
{
    return QStringLiteral("el cuerpo pasa de %1 KB").arg(MaxBodyBytes / 1024);
}

// "GET", "POST", ... as the request line says it.
QByteArray methodName(QHttpServerRequest::Method method)
{
    const char* key = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method));
    return key ? QByteArray(key).toUpper() : QByteArray();
}
} // namespace

QByteArray HttpRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

QByteArray HttpRequest::mediaType() const
{
    const QByteArray type = header("Content-Type");
    return type.split(';').constFirst().trimmed().toLower();
}

void HttpReply::raw(int status, const QByteArray& contentType, const QByteArray& body, const HttpHeaders& headers)
{
    if (!m_state || m_state->answered)
        return;
    m_state->answered = true;
    journal(QStringLiteral("%1 %2 %3 ms").arg(m_state->asked).arg(status).arg(m_state->since.elapsed()));
    // A client that gave up while its answer was awaited has nobody to read it.
    if (!m_state->socket || m_state->socket->state() != QAbstractSocket::ConnectedState)
        return;
    QHttpServerResponder& responder = *m_state->responder;
    responder.writeStatusLine(QHttpServerResponder::StatusCode(status));
    if (!contentType.isEmpty())
        responder.writeHeader("Content-Type", contentType);
    if (status != 204) // which has no body to measure
        responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    for (const auto& [name, value] : headers)
        responder.writeHeader(name, value);
    responder.writeBody(body);
    if (m_state->guard)
        m_state->guard->answered(m_state->socket);
}

void HttpReply::json(int status, const QJsonValue& body, const HttpHeaders& headers)
{
    const QJsonDocument document = body.isArray() ? QJsonDocument(body.toArray()) : QJsonDocument(body.toObject());
    raw(status, "application/json", jsonBytes(document, QJsonDocument::Compact), headers);
}

void HttpReply::problem(int status, const QString& detail, const HttpHeaders& headers)
{
    const QJsonObject body{{QStringLiteral("type"), QStringLiteral("about:blank")},
                           {QStringLiteral("title"), problemTitle(status)},
                           {QStringLiteral("status"), status},
                           {QStringLiteral("detail"), detail}};
    raw(status, "application/problem+json", jsonBytes(QJsonDocument(body), QJsonDocument::Compact), headers);
}

// Takes each parsed request to the router; nothing reaches Qt's own missing handler.
class HttpApi::Engine : public QAbstractHttpServer
{
public:
    explicit Engine(const HttpApi& api) : m_api(api) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        HttpReply reply;
        reply.m_state = std::make_shared<HttpReply::State>();
        reply.m_state->responder = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
        reply.m_state->socket = socket;
        reply.m_state->guard = m_api.m_guard;
        reply.m_state->since.start();
        reply.m_state->asked =
            QStringLiteral("%1 %2").arg(QString::fromLatin1(methodName(request.method())), request.url().path());
        m_api.m_guard->requestRead(socket);
        if (int retryAfter = 0; !m_api.m_guard->allowRequest(request.remoteAddress(), &retryAfter)) {
            reply.problem(429, QStringLiteral("demasiadas solicitudes; intente de nuevo en %1 s").arg(retryAfter),
                          {{"Retry-After", QByteArray::number(retryAfter)}});
            return true;
        }
        const HttpRequest ours{methodName(request.method()),
                               request.url().path(QUrl::FullyEncoded),
                               request.query(),
                               request.body(),
                               request.headers(),
                               {}};
        m_api.dispatch(ours, reply);
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        Q_UNUSED(request);
        Q_UNUSED(socket);
    }

private:
    const HttpApi& m_api;
};

HttpApi::HttpApi(QObject* parent) : QObject(parent), m_engine(std::make_unique<Engine>(*this)) {}

HttpApi::~HttpApi() = default;

void HttpApi::route(const QByteArray& method, const QString& pattern, Scope scope, Handler handler)
{
    m_routes.push_back({method, pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts), scope, std::move(handler)});
}

bool HttpApi::authorized(const HttpRequest& request, Scope scope, HttpReply& reply) const
{
    if (m_tokens.empty() || scope == Scope::Open)
        return true;
    const QByteArray authorization = request.header("Authorization");
    const bool bearer = authorization.left(7).compare("Bearer ", Qt::CaseInsensitive) == 0;
    const StoredToken* token = bearer ? matchToken(m_tokens, authorization.mid(7).trimmed()) : nullptr;
    if (!token) {
        reply.problem(401,
                      bearer ? QStringLiteral("el token no es valido")
                             : QStringLiteral("falta el token: Authorization: Bearer TOKEN"),
                      {{"WWW-Authenticate", bearer ? QByteArray(R"(Bearer realm="tivor-server", error="invalid_token")")
                                                   : QByteArray(R"(Bearer realm="tivor-server")")}});
        return false;
    }
    if (token->scope >= scope)
        return true;
    reply.problem(
        403,
        QStringLiteral("el token '%1' (%2) no alcanza; hace falta %3")
            .arg(token->name, scopeName(token->scope), scopeName(scope)),
        {{"WWW-Authenticate", QStringLiteral(R"(Bearer realm="tivor-server", error="insufficient_scope", scope="%1")")
                                  .arg(scopeName(scope))
                                  .toLatin1()}});
    return false;
}

void HttpApi::serve(ConnectionGuard* server)
{
    m_guard = server;
    m_engine->bind(server);
}

bool HttpApi::matches(const Route& route, const QStringList& segments, QStringList* params)
{
    if (route.segments.size() != segments.size())
        return false;
    params->clear();
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString& want = route.segments.at(i);
        const QString got = QUrl::fromPercentEncoding(segments.at(i).toUtf8());
        if (want.startsWith(QLatin1Char('{')))
            *params << got;
        else if (want != got)
            return false;
    }
    return true;
}

void HttpApi::dispatch(const HttpRequest& request, HttpReply reply) const
{
    if (request.body.size() > MaxBodyBytes)
        return reply.problem(413, bodyTooLargeText());
    const QStringList segments = request.path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList allowed;
    for (const Route& route : m_routes) {
        HttpRequest matched = request;
        if (!matches(route, segments, &matched.params))
            continue;
        if (route.method != request.method) {
            allowed << QString::fromLatin1(route.method);
            continue;
        }
        if (authorized(request, route.scope, reply))
            route.handler(matched, reply);
        return;
    }
    // What paths there are is for those who may read.
    if (!authorized(request, Scope::Read, reply))
        return;
    const QString path = QUrl::fromPercentEncoding(request.path.toUtf8());
    if (allowed.isEmpty())
        return reply.problem(404, QStringLiteral("%1: no existe").arg(path));
    reply.problem(405,
                  QStringLiteral("%1 no admite %2; use %3")
                      .arg(path, QString::fromLatin1(request.method), allowed.join(QStringLiteral(", "))),
                  {{"Allow", allowed.join(QStringLiteral(", ")).toLatin1()}});
}
