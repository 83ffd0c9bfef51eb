// The server's HTTP side: routes, JSON answers and problem answers. Qt HTTP Server is a technical preview
// whose interface changes between Qt versions, so it is seen here and nowhere else.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

#include "Tokens.h"
#include <functional>
#include <memory>
#include <vector>

class ConnectionGuard;

// The largest request body served: far beyond 64 pages of JSON.
inline constexpr qsizetype MaxBodyBytes = 64 * 1024;

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// A problem answer's title, in Spanish, for its status.
QString problemTitle(int status);

struct HttpRequest
{
    QByteArray method; // "GET", "POST", ...
    QString path;
    QUrlQuery query;
    QByteArray body;
    HttpHeaders headers;
    QStringList params; // what the route's "{...}" segments matched, in order, decoded

    // The first header of that name, in any case; empty when there is none.
    QByteArray header(const QByteArray& name) const;
    // The Content-Type without its parameters, in lower case ("text/plain").
    QByteArray mediaType() const;
};

// The answer to one request, given once: at once or later (after waiting for a job). Copies share it; an
// answer for a client that has gone is dropped.
class HttpReply
{
public:
    void json(int status, const QJsonValue& body, const HttpHeaders& headers = {});
    // application/problem+json with the status's title and `detail`, the user-facing text.
    void problem(int status, const QString& detail, const HttpHeaders& headers = {});
    void raw(int status, const QByteArray& contentType, const QByteArray& body, const HttpHeaders& headers = {});

private:
    friend class HttpApi;
    struct State;
    std::shared_ptr<State> m_state;
};

class HttpApi : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const HttpRequest&, HttpReply)>;

    explicit HttpApi(QObject* parent = nullptr);
    ~HttpApi() override;

    // `pattern` is a path whose "{name}" segments each match one segment of the request's path. With tokens, a
    // request needs one of `scope` or above, unless the scope is Open.
    void route(const QByteArray& method, const QString& pattern, Scope scope, Handler handler);
    // Without tokens every request is served (only this machine may reach the server then).
    void setTokens(std::vector<StoredToken> tokens) { m_tokens = std::move(tokens); }
    // Serves the connections of `server`, which listens already and keeps to its limits; the API owns it from
    // now on.
    void serve(ConnectionGuard* server);

private:
    class Engine;
    struct Route
    {
        QByteArray method;
        QStringList segments;
        Scope scope;
        Handler handler;
    };
    void dispatch(const HttpRequest& request, HttpReply reply) const;
    // False once it has answered 401 or 403.
    bool authorized(const HttpRequest& request, Scope scope, HttpReply& reply) const;
    static bool matches(const Route& route, const QStringList& segments, QStringList* params);

    std::vector<Route> m_routes;
    std::vector<StoredToken> m_tokens;
    std::unique_ptr<Engine> m_engine;
    ConnectionGuard* m_guard = nullptr;
};
