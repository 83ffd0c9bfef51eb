// The page's files from the program's resources, each with the headers that keep a browser to them.
#include "WebPage.h"

#include "HttpApi.h"

#include <QFile>

namespace
{
struct Asset
{
    const char* path;     // as the browser asks for it
    const char* resource; // in the program
    const char* type;
};

constexpr Asset Assets[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/app.css", ":/web/app.css", "text/css; charset=utf-8"},
    {"/icon.svg", ":/web/icon.svg", "image/svg+xml"},
    // Browsers that were given the SVG icon read it here too; without an answer they log an error.
    {"/favicon.ico", ":/web/icon.svg", "image/svg+xml"},
};

// Nothing but the server's own files and API may run or be fetched: a text that reaches the page from a sign's
// state or a message can never become a script. The WebSocket is the server's too ('self' covers ws: and wss:).
const QByteArray ContentPolicy = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                                 "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
} // namespace

void routeWebPage(HttpApi& api)
{
    for (const Asset& asset : Assets)
        api.route("GET", QString::fromLatin1(asset.path), Scope::Open, [asset](const HttpRequest&, HttpReply reply) {
            QFile file(QString::fromLatin1(asset.resource));
            if (!file.open(QIODevice::ReadOnly))
                return reply.problem(500,
                                     QStringLiteral("falta %1 en el programa").arg(QString::fromLatin1(asset.path)));
            // A new version of the program must not be met with the old page from a browser's cache.
            reply.raw(200, asset.type, file.readAll(),
                      {{"Content-Security-Policy", ContentPolicy},
                       {"X-Content-Type-Options", "nosniff"},
                       {"Referrer-Policy", "no-referrer"},
                       {"Cache-Control", "no-cache"}});
        });
}
