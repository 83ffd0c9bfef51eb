// tivor-server as a real process asked over real HTTP, with real pseudo-terminals as its signs: what a show
// puts on the line (tivor-cli dump's bytes, paced), what bad input and a bad configuration get, and every
// answer checked against the API's own description.
#include "support/CliKit.h"
#include "support/TcpSink.h"

#include "core/files/FileIO.h"
#include "core/link/SendDelays.h"
#include "core/protocol/MessageBuilder.h"

#include "Schedule.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QWebSocket>
#include <cstring>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>

using namespace Qt::StringLiterals;

namespace
{
struct Answer
{
    int status = 0;
    QByteArray type, body, challenge, retryAfter; // challenge: WWW-Authenticate
    QJsonObject json;
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// A client of /api/v1/events that keeps what it hears.
struct Events
{
    QWebSocket socket;
    QList<QJsonObject> heard;

    explicit Events(QString base)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString& text) { heard << QJsonDocument::fromJson(text.toUtf8()).object(); });
        socket.open(QUrl(base.replace(0, 4, "ws") + "/api/v1/events"));
    }
    bool said(const QString& type) const
    {
        return std::any_of(heard.begin(), heard.end(), [&](const QJsonObject& m) { return m["type"] == type; });
    }
    // What it heard of job `id`, in order.
    QList<QJsonObject> job(int id) const
    {
        QList<QJsonObject> states;
        for (const QJsonObject& message : heard)
            if (message["type"] == "job" && message["job"]["id"] == id)
                states << message["job"].toObject();
        return states;
    }
};

// A body of `count` pages of `text` (nothing in it to escape).
QByteArray pagesBody(int count, const QString& text)
{
    return "{\"pages\": [" + QStringList(count, "{\"text\": \"" + text + "\"}").join(", ").toUtf8() + "]}";
}
} // namespace

class TestServer : public CliTest
{
    Q_OBJECT
    QProcess server;
    QString base;          // http://127.0.0.1:PORT, once it listens
    QByteArray startLines; // what the server said until it listened, and maybe right after
    QNetworkAccessManager network;
    QJsonArray answers;                   // every answer seen, for the check against the description
    std::unique_ptr<testpty::Pty> second; // a second sign's line

    // Starts the server on a free loopback port; true once it says where it listens.
    bool startServer(const QStringList& arguments = {})
    {
        QProcessEnvironment env = environment();
        env.insert("XDG_DATA_HOME", path("data"));
        server.setProcessEnvironment(env);
        server.setReadChannel(QProcess::StandardError);
        server.start(QStringLiteral(TIVOR_SERVER_PROGRAM), QStringList{"--listen", "127.0.0.1:0"} + arguments);
        startLines.clear();
        while (!startLines.contains('\n') && server.waitForReadyRead(10000))
            startLines += server.readAllStandardError();
        base = QRegularExpression(u"https?://\\S+"_s).match(QString::fromUtf8(startLines)).captured();
        return !base.isEmpty();
    }
    // Runs to the end: "status|standard error" (-1 when it did not end by itself); its output stays to be read.
    QString runServer(const QStringList& arguments)
    {
        server.setProcessEnvironment(environment());
        server.start(QStringLiteral(TIVOR_SERVER_PROGRAM), arguments);
        const bool ended = server.waitForFinished(10000) && server.exitStatus() == QProcess::NormalExit;
        return QString::number(ended ? server.exitCode() : -1) + u'|' + server.readAllStandardError();
    }
    Answer call(const QByteArray& method, const QString& path, const QByteArray& body = {},
                const QByteArray& type = "application/json", const HttpHeaders& headers = {})
    {
        QNetworkRequest request(QUrl(base + path, QUrl::StrictMode));
        if (!type.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, type);
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        QNetworkReply* reply = network.sendCustomRequest(request, method, body);
        QSignalSpy(reply, &QNetworkReply::finished).wait(20000);
        const QByteArray text = reply->readAll();
        Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                      reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(),
                      text,
                      reply->rawHeader("WWW-Authenticate"),
                      reply->rawHeader("Retry-After"),
                      QJsonDocument::fromJson(text).object()};
        answers.append(QJsonObject{{"method", QString::fromLatin1(method)},
                                   {"path", QUrl(base + path, QUrl::StrictMode).path(QUrl::FullyEncoded)},
                                   {"status", answer.status},
                                   {"type", QString::fromLatin1(answer.type)},
                                   {"body", QString::fromUtf8(text)}});
        delete reply;
        return answer;
    }
    // Stops the server as systemd would (SIGTERM); true once it has ended.
    bool stopServer() { return server.terminate(), server.waitForFinished(); }
    // A token of `scope` added to server.json by `token add`; else what the command said.
    QByteArray addToken(const QString& scope)
    {
        const QString said =
            runServer({"token", "add", "t-" + scope, "--scope", scope, "--config", path("server.json")});
        return said.startsWith("0|") ? server.readAllStandardOutput().trimmed() : said.toUtf8();
    }
    // The status of a request asked again until it is 200, for up to a second: the server may see a connection's
    // end only after the next one comes, and until then refuses it.
    int untilServed(const QByteArray& method, const QString& target, const QByteArray& body = {},
                    const HttpHeaders& headers = {})
    {
        int status = 0;
        for (int i = 0; i < 50 && status != 200; ++i, QTest::qWait(20))
            status = call(method, target, body, "application/json", headers).status;
        return status;
    }
    // A connection of its own to the server, below HTTP.
    std::unique_ptr<QTcpSocket> connectRaw()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, quint16(QUrl(base).port()));
        return socket->waitForConnected(5000) ? std::move(socket) : nullptr;
    }
    // Everything the server says until it closes the connection (or 15 s pass).
    static QByteArray untilClosed(QTcpSocket& socket)
    {
        const QDeadlineTimer until(15000);
        while (socket.state() == QAbstractSocket::ConnectedState && !until.hasExpired())
            socket.waitForReadyRead(200);
        return socket.readAll();
    }
    // A self-signed certificate for this machine as NAME.pem, its key as NAME.key.
    [[nodiscard]] bool makeCertificate(const QString& name)
    {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-addext",
                                  "subjectAltName=IP:127.0.0.1", "-days", "1", "-keyout", path(name + ".key"), "-out",
                                  path(name + ".pem")});
        return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
    }
    // server.json written, its %1, %2... replaced by `ports`: by default the sign's line, the second's, and "alias".
    [[nodiscard]] bool config(QString text, QStringList ports = {})
    {
        if (ports.isEmpty())
            ports = {pty->slavePath(), second->slavePath(), path("alias")};
        for (qsizetype i = 0; i < ports.size(); ++i)
            text.replace(u'%' + QString::number(i + 1), ports.at(i));
        return testenv::writeFile(path("server.json"), text.toUtf8());
    }
    // The configuration written as config() writes it, then the server started on it.
    [[nodiscard]] bool serve(const QString& text, const QStringList& ports = {})
    {
        return config(text, ports) && startServer({"--config", path("server.json")});
    }

private slots:
    // Each test also has a second sign's line.
    void init()
    {
        CliTest::init();
        second = std::make_unique<testpty::Pty>();
        QVERIFY(second->ok());
    }
    void cleanup()
    {
        stopServer();
        CliTest::cleanup();
    }

    // A show sends what dump writes; a clock, the server's local time read when the line is the sign's: the clock
    // transmission of a moment between the request and its answer. Without a configuration the sign is the desktop's:
    // its port and its delays (10 ms, then 5 ms). To a group: one job, a part per sign of the group, each sign getting
    // the same; a sign outside the group gets nothing. A text/plain body is read as tivor-cli import reads a text file.
    void showSendsWhatDumpWrites_data()
    {
        // What is asked, the body's type, the body, and the message file (or for text/plain the text file imported;
        // nothing for a clock).
        const testenv::Table<QString, QByteArray, QByteArray, QByteArray> row;
        const QString sign = "signs/cartel/show", group = "groups/planta/show";
        row("one page", sign, "application/json",
            R"({"text": "HOLA", "effect": "Estatico", "pause": 5, "align": "centrado"})", "1,4,2,\"HOLA\"\r\n");
        // Defaults (Rotacion, pause 1, left), the list's own text in any case, a clock page without text.
        row("pages", sign, "application/json",
            R"({"pages": [{"text": "Buenos dias"}, {"text": "¡Año nuevo!", "effect": "lluvia   [16]",
            "pause": 9}, {"effect": "Hora"}, {"text": "x", "effect": "fecha", "align": "centrado"}]})",
            "0,0,0,\"Buenos dias\"\r\n2,8,0,\"\xA1"
            "A\xF1o nuevo!\"\r\n11,0,0,\" Hora 00:00:00 \"\r\n12,0,2,\"x\"\r\n");
        row("JSON pages to a group", group, "application/json",
            R"({"pages": [{"text": "Abierto", "effect": "Estatico"}, {"effect": "Hora"}]})",
            "1,0,0,\"Abierto\"\r\n11,0,0,\" Hora 00:00:00 \"\r\n");
        const QByteArray text = "Buenos dias\r\n\n   \rUna linea de mas de dieciseis\nNi\xF1os\n";
        row("text, line ends mixed, Windows-1252", group, "text/plain", text, text);
        const QByteArray utf8 = "A\xC3\xB1o nuevo\n\xC2\xA1Ofertas!";
        row("text in UTF-8 with a charset", group, "text/plain; charset=utf-8", utf8, utf8);
        row("clock of one sign", "signs/a/clock", "application/json", {}, {});
        row("clock of a group", "groups/planta/clock", "application/json", {}, {});
    }
    void showSendsWhatDumpWrites()
    {
        const auto [target, type, body, source] = testenv::Table<QString, QByteArray, QByteArray, QByteArray>::fetch();
        const bool cartel = target.startsWith("signs/cartel");
        testpty::Pty third;
        QVERIFY(third.ok() && QFile::link(third.slavePath(), path("alias")));
        QVERIFY(cartel ? startServer() : serve(R"({"signs": [{"id": "fuera", "port": "%1", "dy2": "01"},
            {"id": "a", "port": "%2", "dy2": "01", "groups": ["planta", "todos"]},
            {"id": "b", "port": "%3", "dy2": "01", "groups": ["planta"]}]})"));
        const QDateTime before = QDateTime::currentDateTime();
        const Answer answer = call("POST", "/api/v1/" + target + "?wait=10", body, type);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.json["state"].toString(), "done");
        QCOMPARE(call("GET", "/api/v1/jobs/" + QString::number(answer.json["id"].toInt())).json, answer.json);
        // What a line that gets it may have got.
        QByteArrayList expected;
        if (!source.isEmpty())
            expected << (type.startsWith("text/") ? importedDump(source) : dumped(source));
        for (QDateTime t = before.addMSecs(-before.time().msec()); source.isEmpty() && t <= after; t = t.addSecs(1))
            expected << dateTransmission(t);
        QVERIFY(!expected.isEmpty() && !expected.first().isEmpty());
        // The parts are the lines that got it, each with what it got: the desktop's sign on the first line, a on the
        // second, b on the third.
        QStringList parts, lines;
        for (const QJsonValue part : answer.json["signs"].toArray())
            parts << part["sign"].toString() + ":" + QString::number(part["sent"].toInt());
        for (const auto& [line, name] : {std::pair{pty.get(), "cartel"}, {second.get(), "a"}, {&third, "b"}}) {
            const QByteArray got = line->settled();
            QVERIFY2(got.isEmpty() || expected.contains(got), got.toHex(' ').constData());
            if (!got.isEmpty())
                lines << name + ":"_L1 + QString::number(got.size());
        }
        QCOMPARE(parts, lines);
        QCOMPARE(lines.join(u' ').remove(QRegularExpression(":\\d+")),
                 target.startsWith("groups/") ? "a b" : target.section(u'/', 1, 1));
        // Paced: from the first byte to the last, at least every wait but the last one's.
        const auto received = pty->received();
        const qint64 spanMs = cartel ? (received.back().ns - received.front().ns) / 1000000 : 0;
        QVERIFY2(!cartel || spanMs >= estimatedSendMs(int(expected.first().size()) - 1, 0.010, 0.005) - 2,
                 qPrintable(QString::number(spanMs)));
    }

    // Bad input, and every name that would leave the messages' folder, hide the file or name a device, every body
    // that cannot be a message file, every file there that is not a plain message file inside the folder: a clear
    // 4xx, nothing sent, and the folder and what lies outside it stay as they were.
    void badInputSendsNothing_data()
    {
        // The method, where, the body, the status and a part of the detail said, the body's type.
        const testenv::Table<QByteArray, QString, QByteArray, int, QString, QByteArray> row;
        const QString show = "/api/v1/signs/cartel/show";
        const auto bad = [&](const char* tag, const QString& target, const QByteArray& body, int status,
                             const QString& detail, const QByteArray& type = "application/json") {
            row(tag, body.isEmpty() ? "GET" : "POST", target, body, status, detail, type);
        };
        bad("text without text", show, "\r\n\n\r", 400, "el texto no tiene lineas con texto", "text/plain");
        bad("text of 66 lines", show, QByteArray("linea\n").repeated(66), 422,
            "el texto tiene 2 lineas con texto despues de la pagina 64", "text/plain");
        bad("XML", show, "<p>a</p>", 415, "'application/xml' no se admite; use application/json o text/plain",
            "application/xml");
        bad("unknown group", "/api/v1/groups/nadie/show", R"({"text": "a"})", 404, "no hay ningun grupo 'nadie'");
        bad("clock of an unknown sign", "/api/v1/signs/otro/clock", "{}", 404, "no hay ningun cartel 'otro'");
        bad("malformed JSON", show, R"({"text": )", 400, "el cuerpo no es JSON valido");
        bad("not an object", show, "[1]", 400, "el cuerpo debe ser un objeto JSON");
        bad("text a number", show, R"({"text": 5})", 400, "text: debe ser un texto");
        bad("pause as text", show, R"({"text": "a", "pause": "3"})", 400, "pause: debe ser un numero entero de 1 a 9");
        bad("pause 10", show, R"({"text": "a", "pause": 10})", 400, "pause: debe ser");
        bad("align in English", show, R"({"text": "a", "align": "center"})", 400,
            "align: debe ser \"izquierda\" o \"centrado\"");
        bad("unknown effect", show, R"({"pages": [{"text": "a", "effect": "Giro"}]})", 400,
            "pages[0].effect: 'Giro' no es un efecto; use uno de: Rotacion, Estatico, LLuvia");
        bad("unknown key", show, R"({"text": "a", "color": "rojo"})", 400, "color: clave desconocida");
        bad("a page without text", show, R"({"pages": [{"text": "a"}, {"effect": "Estatico"}]})", 400,
            "pages[1].text: la pagina no tiene texto");
        bad("no pages", show, R"({"pages": []})", 400, "pages: debe ser una lista de 1 a 64 paginas");
        bad("65 pages", show, pagesBody(65, "a"), 422, "pages: 65 paginas; un mensaje tiene 64 como maximo");
        bad("past the length cap", show, pagesBody(64, QString(200, u'x')), 422, "el mensaje pasa de 8000 bytes");
        bad("unknown sign", "/api/v1/signs/otro/show", R"({"text": "a"})", 404, "no hay ningun cartel 'otro'");
        bad("wait too long", show + "?wait=61", R"({"text": "a"})", 400,
            "wait: debe ser un numero entero de segundos de 0 a 60");
        bad("wrong method", show, {}, 405, "no admite GET; use POST");
        bad("unknown path", "/api/v2/signs", {}, 404, "/api/v2/signs: no existe");
        // A job that does not exist is named as it was asked for.
        bad("unknown job", "/api/v1/jobs/007", {}, 404, "no hay ningun trabajo '007'");
        bad("job by no number", "/api/v1/jobs/siete", {}, 404, "no hay ningun trabajo 'siete'");
        bad("events without a WebSocket", "/api/v1/events", {}, 426, "/api/v1/events es un WebSocket");
        bad("shown but not stored", show, R"({"message": "nada"})", 404, "no hay ningun mensaje 'nada'");
        // Messages, by their names as they go in the path.
        const QString slash = "el nombre no puede llevar '/'";
        const auto put = [&](const char* tag, const QString& name, int status, const QString& detail,
                             const QByteArray& body = R"({"text": "x"})", const QByteArray& type = "application/json") {
            row(tag, "PUT", "/api/v1/messages/" + name, body, status, detail, type);
        };
        put("../x", "..%2Fx", 400, "'../x': " + slash);
        put("a/b", "a%2Fb", 400, "'a/b': " + slash);
        put("back slash", "..%5Cx", 400, slash);
        put("NUL", "a%00b", 400, "caracteres de control");
        put("a device", "CON", 400, "'CON' es el nombre de un dispositivo");
        put("a device with an extension", "lpt1.txt", 400, "es el nombre de un dispositivo");
        put("hidden", ".oculto", 400, "no puede empezar con '.'");
        put("65 characters", QString(65, u'n'), 400, "de 1 a 64 caracteres");
        put("65 KB body", "grande", 413, "el cuerpo pasa de 64 KB", QByteArray(65 * 1024, 'x'), "text/plain");
        put("not a message file", "roto", 422, "roto.mnm: no es un archivo de mensajes valido", "1,4,\"x\"\r\n",
            "application/octet-stream");
        put("65 pages stored", "largo", 422, "65 paginas", pagesBody(65, "a"));
        put("written through a link out of the folder", "fuera", 403,
            "fuera.mnm: lleva fuera de la carpeta de mensajes");
        bad("read through a link out of the folder", "/api/v1/messages/fuera", {}, 403, "fuera.mnm: lleva fuera");
        bad("a pipe", "/api/v1/messages/tubo", {}, 409, "tubo.mnm: es una FIFO");
        bad("over the read limit", "/api/v1/messages/enorme", {}, 422, "enorme.mnm: demasiado grande (mas de 64 MB)");
    }
    void badInputSendsNothing()
    {
        const auto [method, target, body, status, detail, type] =
            testenv::Table<QByteArray, QString, QByteArray, int, QString, QByteArray>::fetch();
        QVERIFY(QDir().mkpath(path("m")) && QFile::link(path("hola.mnm"), path("m/fuera.mnm")) &&
                ::mkfifo(qPrintable(path("m/tubo.mnm")), 0600) == 0 && testenv::writeFile(path("m/enorme.mnm"), {}) &&
                QFile::resize(path("m/enorme.mnm"), MaxReadBytes + 1));
        const QStringList before = QDir(path("m")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        QVERIFY(serve(R"({"messages": "m"})"));
        const Answer answer = call(method, target, body, type);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.type, "application/problem+json");
        QCOMPARE(answer.json["status"].toInt(), status);
        QVERIFY2(answer.json["detail"].toString().contains(detail), qPrintable(answer.json["detail"].toString()));
        QCOMPARE(call("GET", "/api/v1/jobs/1").status, 404);
        QCOMPARE(pty->settled(), QByteArray());
        QCOMPARE(QDir(path("m")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        QCOMPARE(testenv::readFile(path("hola.mnm")), "1,4,2,\"HOLA\"\r\n");
        QCOMPARE(QDir(dir->path()).entryList({"x*", "b", "*.txt"}, QDir::AllEntries),
                 QStringList({"blanco.txt", "cero.txt", "comentarios.txt", "uno.txt"}));
    }

    // One queue per port: a second sign on another port sends at the same time, a sign on the same port
    // (another name for it) waits for the line and never mixes its bytes in. A cancel ends the part on its way as
    // Ctrl-C ends tivor-cli's send: the byte in hand, then 01 01 at once, on every line that was sending; a part
    // waiting for its line never starts.
    void jobsRunPerPort()
    {
        QVERIFY(QFile::link(pty->slavePath(), path("alias")));
        QVERIFY(serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "20", "groups": ["g"]},
            {"id": "b", "name": "Sala", "port": "%2", "dy2": "20", "groups": ["planta", "g"]},
            {"id": "c", "port": "%3", "dy1": "10", "dy2": "01", "groups": ["g"]}]})"));
        QList<int> jobs;
        for (const char* sign : {"a", "b", "c"})
            jobs << call("POST", u"/api/v1/signs/"_s + sign + "/show", pagesBody(3, "uno dos tres")).json["id"].toInt();
        const QJsonObject last = call("GET", "/api/v1/signs/c").json;
        QVERIFY(last["busy"].toBool() && !last["available"].toBool());
        // c's second job waits behind a's and c's first on their line; b has long ended by then.
        QCOMPARE(call("POST", "/api/v1/signs/c/show?wait=10", "{\"text\": \"x\"}").status, 200);
        for (int id : jobs)
            QCOMPARE(call("GET", QStringLiteral("/api/v1/jobs/%1").arg(id)).json["state"].toString(), "done");
        const QByteArray tx = dumped("0,0,0,\"uno dos tres\"\r\n0,0,0,\"uno dos tres\"\r\n0,0,0,\"uno dos tres\"\r\n");
        QCOMPARE(pty->settled(), tx + tx + dumped("0,0,0,\"x\"\r\n"));
        QCOMPARE(second->settled(), tx);
        // a and b overlapped on their lines.
        QVERIFY(second->received().front().ns < pty->received().at(size_t(tx.size()) - 1).ns);
        const QJsonObject listed = call("GET", "/api/v1/signs").json["signs"].toArray().at(1).toObject();
        QCOMPARE(listed["name"].toString(), "Sala");
        QCOMPARE(listed["groups"].toArray(), QJsonArray({"planta", "g"}));
        // The group's show cancelled while a and b send and c waits.
        pty->clear();
        second->clear();
        const QByteArray expected = dumped("0,0,0,\"uno dos tres\"\r\n0,0,0,\"cuatro cinco\"\r\n");
        const QByteArray body = R"({"pages": [{"text": "uno dos tres"}, {"text": "cuatro cinco"}]})";
        const int id = call("POST", "/api/v1/groups/g/show", body).json["id"].toInt();
        QVERIFY(pty->waitForBytes(20, 10000) && second->waitForBytes(20, 10000));
        const Answer cancelled = call("DELETE", QStringLiteral("/api/v1/jobs/%1").arg(id));
        QCOMPARE(cancelled.status, 200);
        QCOMPARE(cancelled.json["state"].toString(), "cancelled");
        const QJsonArray parts = cancelled.json["signs"].toArray();
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(2)["state"].toString(), "cancelled");
        QCOMPARE(parts.at(2)["error"].toString(), "Mensaje cancelado antes de enviar: no se envio nada");
        QCOMPARE(parts.at(2)["sent"].toInt(), 0);
        QVERIFY(pty->settle() && second->settle());
        QTest::qWait(300); // time enough for c's bytes, had it started after a
        for (int i = 0; i < 2; ++i) {
            const int sent = parts.at(i)["sent"].toInt();
            QCOMPARE(parts.at(i)["error"].toString(), "Mensaje Cancelado..., y el fin 01 01");
            QVERIFY2(sent >= 20 && sent < expected.size(), qPrintable(QString::number(sent)));
            QCOMPARE((i == 0 ? pty : second)->bytes(), expected.left(sent) + "\x01\x01");
        }
        QCOMPARE(call("DELETE", QStringLiteral("/api/v1/jobs/%1").arg(id)).status, 409);
        QCOMPARE(call("DELETE", "/api/v1/jobs/99").status, 404);
    }

    // Stored, read back as pages and as the file, sent by name (dump's bytes for the file), listed, deleted.
    void storedMessagesRoundTrip_data()
    {
        // The configuration, and the folder the messages are kept in.
        const testenv::Table<QByteArray, QString> row;
        row("default folder", {}, "data/Tivor/tivor-server/mensajes");
        row("configured, beside the configuration", R"({"messages": "guardados"})", "guardados");
    }
    void storedMessagesRoundTrip()
    {
        const auto [configured, folder] = testenv::Table<QByteArray, QString>::fetch();
        QVERIFY(configured.isEmpty() ? startServer() : serve(configured));
        const QByteArray pages = R"({"pages": [{"text": "Años", "effect": "LLuvia", "pause": 3, "align": "centrado"},
            {"text": " Hora 00:00:00 ", "effect": "Hora", "pause": 1, "align": "izquierda"}]})";
        const QString horario = "/api/v1/messages/Horario%20de%20verano";
        const Answer stored = call("PUT", horario, pages);
        QCOMPARE(stored.status, 201);
        QCOMPARE(stored.json["pages"], QJsonDocument::fromJson(pages).object()["pages"]);
        QCOMPARE(call("PUT", horario, pages).status, 200);
        const QByteArray file = testenv::readFile(path(folder + "/Horario de verano.mnm"));
        QCOMPARE(file, "2,2,2,\"A\xF1os\"\r\n11,0,0,\" Hora 00:00:00 \"\r\n"_ba);
        QCOMPARE(call("GET", horario + "?format=mnm").body, file);
        QCOMPARE(call("GET", horario, {}, {}, {{"Accept", "application/octet-stream"}}).body, file);
        QCOMPARE(call("GET", horario).json, stored.json);
        // The file as it is given is kept as it is.
        const QByteArray own = "1,4,2,\"HOLA\"\n";
        QCOMPARE(call("PUT", "/api/v1/messages/hola", own, "application/octet-stream").status, 201);
        QCOMPARE(testenv::readFile(path(folder + "/hola.mnm")), own);
        const Answer sent = call("POST", "/api/v1/signs/cartel/show?wait=10", R"({"message": "Horario de verano"})");
        QCOMPARE(sent.json["state"].toString(), "done");
        QCOMPARE(pty->settled(), dumped(file));
        QStringList listed;
        for (const QJsonValue message : call("GET", "/api/v1/messages").json["messages"].toArray())
            listed << message["name"].toString() + ":" + QString::number(message["size"].toInt());
        QCOMPARE(listed.join(u'|'), QStringLiteral("Horario de verano:%1|hola:%2").arg(file.size()).arg(own.size()));
        QCOMPARE(call("DELETE", "/api/v1/messages/hola").status, 204);
        QVERIFY(!QFile::exists(path(folder + "/hola.mnm")));
        QCOMPARE(call("GET", "/api/v1/messages/hola").status, 404);
    }

    // Tokens made by `token add` (the file made by it, holding hashes only): with them any address may be listened
    // on, and each request but /healthz needs a token whose scope reaches the route's.
    void tokensGuardEveryRequestButHealth_data()
    {
        // The token presented, the method, where, the status, and WWW-Authenticate.
        const testenv::Table<QString, QByteArray, QString, int, QString> row;
        const QString show = "/api/v1/signs/cartel/show", stored = "/api/v1/messages/m";
        const QString realm = R"(Bearer realm="tivor-server")",
                      scope = realm + R"(, error="insufficient_scope", scope=)";
        row("none", "", "GET", "/api/v1/signs", 401, realm);
        row("none, health", "", "GET", "/healthz", 200, {});
        row("none, unknown path", "", "GET", "/api/v2", 401, realm);
        row("unknown token", "otro", "GET", "/api/v1/signs", 401, realm + R"(, error="invalid_token")");
        row("read reads", "read", "GET", "/api/v1/openapi.json", 200, {});
        row("read does not send", "read", "POST", show, 403, scope + R"("send")");
        row("send sends", "send", "POST", show, 202, {});
        row("send does not store", "send", "PUT", stored, 403, scope + R"("admin")");
        row("admin stores", "admin", "PUT", stored, 201, {});
        row("send does not schedule", "send", "PUT", "/api/v1/schedules/s", 403, scope + R"("admin")");
        row("read does not cancel", "read", "DELETE", "/api/v1/jobs/1", 403, scope + R"("send")");
    }
    void tokensGuardEveryRequestButHealth()
    {
        const auto [token, method, target, status, challenge] =
            testenv::Table<QString, QByteArray, QString, int, QString>::fetch();
        QMap<QString, QByteArray> tokens{{"otro", "tivor_" + QByteArray(43, 'A')}};
        for (const char* scope : {"read", "send", "admin"})
            tokens[scope] = addToken(scope);
        const QByteArray file = testenv::readFile(path("server.json"));
        for (const QByteArray& made : tokens)
            QVERIFY2(made.startsWith("tivor_") && made.size() > 40 && !file.contains(made.mid(6)), made.constData());
        QVERIFY(file.contains(QCryptographicHash::hash(tokens["send"], QCryptographicHash::Sha256).toHex()));
        QVERIFY(startServer({"--config", path("server.json"), "--listen", "0.0.0.0:0"}));
        const HttpHeaders bearer{{"Authorization", "Bearer " + tokens.value(token)}};
        const Answer answer = call(method, target, method == "GET" ? QByteArray() : R"({"text": "x"})",
                                   "application/json", token.isEmpty() ? HttpHeaders() : bearer);
        QCOMPARE(answer.status, status);
        QCOMPARE(QString::fromLatin1(answer.challenge), challenge);
    }

    // Refused from the bytes as they arrive, before the body is all there or Qt holds it: answered, then closed,
    // and nothing stored.
    void limitsAnsweredOnTheSocket_data()
    {
        const testenv::Table<QByteArray, QByteArray> row; // the request, the answer's status line
        const QByteArray put = "PUT /api/v1/messages/x HTTP/1.1\r\nHost: a\r\nContent-Type: text/plain\r\n";
        const QByteArray get = "GET /api/v1/signs HTTP/1.1\r\n", chunk = "8000\r\n" + QByteArray(0x8000, 'x') + "\r\n";
        row("head over 8 KB", get + "Host: a\r\nX: " + QByteArray(8192, 'a') + "\r\n\r\n", "HTTP/1.1 431 ");
        row("head that never ends", get + QByteArray(9000, 'a'), "HTTP/1.1 431 ");
        row("a body said to be over 64 KB", put + "Content-Length: 65537\r\n\r\n", "HTTP/1.1 413 ");
        row("a chunked body over 64 KB", put + "Transfer-Encoding: chunked\r\n\r\n" + chunk.repeated(3),
            "HTTP/1.1 413 ");
        row("a WebSocket opened by another site's page",
            "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://otro.example\r\nUpgrade: websocket\r\n"
            "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n",
            "HTTP/1.1 403 ");
    }
    void limitsAnsweredOnTheSocket()
    {
        const auto [request, statusLine] = testenv::Table<QByteArray, QByteArray>::fetch();
        QVERIFY(startServer());
        const auto socket = connectRaw();
        QVERIFY(socket && socket->write(request) == request.size());
        const QByteArray got = untilClosed(*socket);
        QVERIFY2(got.startsWith(statusLine) && got.contains("application/problem+json"), got.left(200).constData());
        QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(!QFile::exists(path("data/Tivor/tivor-server/mensajes/x.mnm")));
        QCOMPARE(call("GET", "/api/v1/signs").status, 200);
    }

    // A client that sends nothing, and one that sends its request a byte a second, are both closed 10 s after
    // they connected; the slow one is told why.
    void slowAndIdleClientsClosedAfterTenSeconds()
    {
        QVERIFY(startServer());
        const auto idle = connectRaw(), slow = connectRaw();
        QVERIFY(idle && slow);
        QElapsedTimer since;
        since.start();
        slow->write("GET /api/v1/signs HTTP/1.1\r\n");
        qint64 idleClosed = -1, slowClosed = -1;
        QObject::connect(idle.get(), &QTcpSocket::disconnected, [&] { idleClosed = since.elapsed(); });
        QObject::connect(slow.get(), &QTcpSocket::disconnected, [&] { slowClosed = since.elapsed(); });
        QByteArray said;
        while (since.elapsed() < 15000 && (idleClosed < 0 || slowClosed < 0)) {
            QTest::qWait(100);
            if (slow->state() == QAbstractSocket::ConnectedState && since.elapsed() / 1000 > said.size())
                slow->write(QByteArray(1, 'X')), said += 'X';
        }
        QVERIFY2(idleClosed >= 9000 && idleClosed < 12500, qPrintable(QString::number(idleClosed)));
        QVERIFY2(slowClosed >= 9000 && slowClosed < 12500, qPrintable(QString::number(slowClosed)));
        QCOMPARE(idle->readAll(), QByteArray());
        QVERIFY(slow->readAll().startsWith("HTTP/1.1 408 "));
    }

    // Connections beyond the configured number are answered 503 and closed; once the flood is gone a normal
    // request is served. Requests past a client's rate get 429 with the seconds to wait.
    void connectionsAndRequestsAreCounted()
    {
        QVERIFY(serve(R"({"limits": {"connections": 4, "requestsPerMinute": 8}})"));
        std::vector<std::unique_ptr<QTcpSocket>> flood;
        for (int i = 0; i < 4; ++i) {
            flood.push_back(connectRaw());
            QVERIFY(flood.back() && flood.back()->write("GET /healthz HTTP/1.1\r\nHost: a\r\n\r\n") > 0);
            QVERIFY(flood.back()->waitForReadyRead(5000) && flood.back()->readAll().startsWith("HTTP/1.1 200 "));
        }
        const auto beyond = connectRaw();
        QVERIFY(beyond && untilClosed(*beyond).startsWith("HTTP/1.1 503 "));
        flood.clear();
        // The server may see the flood's ends after the next connection: until then it is refused, uncounted.
        QCOMPARE(untilServed("GET", "/api/v1/signs"), 200);
        // 8 a minute: the four above and the first below make five at least.
        QList<int> statuses;
        Answer answer;
        for (int i = 0; i < 4; ++i)
            statuses << (answer = call("GET", "/healthz")).status;
        QCOMPARE(statuses.last(), 429);
        QCOMPARE(statuses.first(), 200);
        // A request comes back every 7.5 s; the wait is that, less what has come back since, in whole seconds.
        QVERIFY2(answer.retryAfter.toInt() >= 6 && answer.retryAfter.toInt() <= 8, answer.retryAfter.constData());
        QCOMPARE(answer.json["detail"].toString(),
                 "demasiadas solicitudes; intente de nuevo en " + answer.retryAfter + " s");
    }

    // A port that cannot be opened: said by the sign's detail and by the job, with tivor-cli's text. In one group: a
    // sign whose port tivor-cli holds fails with tivor-cli's text naming the holder, one whose line goes away after
    // 10 bytes fails alone; the third gets the whole message.
    void signThatCannotBeOpened()
    {
        testpty::Pty whole;
        second->hangUpAfter(10);
        QVERIFY(serve(R"({"signs": [{"id": "lejos", "port": "/dev/tivor-no-existe"}, {"id": "a", "port": "%1",
            "groups": ["g"]}, {"id": "b", "port": "%2", "groups": ["g"]}, {"id": "c", "port": "%3", "groups": ["g"]}]})",
                      {pty->slavePath(), second->slavePath(), whole.slavePath()}));
        const QJsonObject sign = call("GET", "/api/v1/signs/lejos").json;
        QCOMPARE(sign["available"].toBool(true), false);
        QVERIFY2(sign["reason"].toString().startsWith("no se pudo abrir el puerto serie (/dev/tivor-no-existe"),
                 qPrintable(sign["reason"].toString()));
        const Answer job = call("POST", "/api/v1/signs/lejos/show?wait=10", "{\"text\": \"x\"}");
        QCOMPARE(job.json["state"].toString(), "failed");
        QCOMPARE(job.json["signs"].toArray().at(0).toObject()["error"].toString(), sign["reason"].toString());
        // Nothing reached it, so nothing is believed shown.
        QCOMPARE(call("GET", "/api/v1/signs/lejos").json["shown"].toObject(), QJsonObject());
        const QByteArray expected = dumped("0,0,0,\"HOLA\"\r\n");
        start({"send", path("hola.mnm"), "--port", pty->slavePath(), "--dy1", "500", "--dy2", "90"});
        QVERIFY(pty->waitForBytes(1, 5000));
        const QJsonArray parts =
            call("POST", "/api/v1/groups/g/show?wait=20", "{\"text\": \"HOLA\"}").json["signs"].toArray();
        QCOMPARE(parts.at(0)["error"].toString(),
                 "no se pudo abrir el puerto serie (%1: el puerto esta en uso por el proceso %2 (tivor-cli))"_L1.arg(
                     pty->slavePath(), QString::number(process.processId())));
        QCOMPARE(parts.at(1)["error"].toString().section(u'(', 0, 0), "Error #22, No se envio el Mensaje ");
        QCOMPARE(parts.at(2)["state"].toString(), "done");
        QCOMPARE(whole.settled(), expected);
        QVERIFY(process.waitForFinished(20000) && process.exitCode() == 0);
    }

    // A sign behind Debian's ser2net (rfc2217://, installed by the setup) gets dump's bytes. (The speed it asks for is
    // on the wire in tst_link and tst_cli: ser2net sets the line back once the connection ends.)
    void signThroughSer2net()
    {
        const quint16 free = TcpSink().port; // a port nobody listens on now
        const QString yaml = "connection: &sign\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                             "  connector: serialdev,%2,9600n81,local\n";
        QVERIFY(testenv::writeFile(path("ser2net.yaml"), yaml.arg(free).arg(pty->slavePath()).toUtf8()));
        QProcess ser2net;
        ser2net.start("/usr/sbin/ser2net", {"-n", "-u", "-c", path("ser2net.yaml")});
        QVERIFY(serve(R"({"signs": [{"id": "r", "port": "rfc2217://127.0.0.1:%1", "baud": 19200}]})",
                      {QString::number(free)}));
        QString state; // ser2net listens a moment after it starts: until then the sign cannot be reached
        for (int tries = 0; tries < 50 && state != "done"; ++tries, QTest::qWait(100))
            state = call("POST", "/api/v1/signs/r/show?wait=20", "{\"text\": \"HOLA\"}").json["state"].toString();
        QCOMPARE(state, "done");
        QCOMPARE(pty->settled(), dumped("0,0,0,\"HOLA\"\r\n"));
        ser2net.terminate();
        ser2net.waitForFinished();
    }

    // Refused at start with exit status 2, naming the file, the place and the reason, before listening.
    void badConfigurationExits2_data()
    {
        // The configuration file, the arguments, and what is said.
        const testenv::Table<QByteArray, QStringList, QString> row;
        const auto inFile = [&](const char* tag, const QByteArray& file, const QString& said) {
            row(tag, file, {"--config", "%1/server.json"}, "%1/server.json: " + said);
        };
        const QByteArray sign = R"({"id": "a", "port": "/dev/null"})";
        const QString baud = "signs[0].baud: debe ser una velocidad en baudios",
                      lan = "listen: sin tokens configurados solo se atiende a esta maquina";
        row("missing file", {}, {"--config", "%1/nada.json"}, "%1/nada.json: no se pudo leer (no existe)");
        inFile("not JSON", "{\"signs\": [\n  ,]}", "linea 2, columna 4: no es JSON valido (valor no valido)");
        inFile("delay off the list", R"({"signs": [{"id": "a", "port": "/dev/null", "dy2": "5"}]})",
               "signs[0].dy2: '5' no es una demora aceptada; use una de: 01, 02, 05");
        inFile("same id twice", "{\"signs\": [" + sign + ", " + sign + "]}", "signs[1].id: 'a' ya es otro cartel");
        inFile("no port", R"({"signs": [{"id": "a"}]})", "signs[0].port: falta el puerto del cartel");
        inFile("baud as text", R"({"signs": [{"id": "a", "port": "2", "baud": "9600"}]})", baud);
        inFile("baud in part", R"({"signs": [{"id": "a", "port": "2", "baud": 9600.5}]})", baud);
        inFile("id with a slash", R"({"signs": [{"id": "a/b", "port": "2"}]})", "signs[0].id: debe ser un nombre");
        inFile("unknown key", "{\"signs\": [" + sign + "], \"tsl\": []}", "tsl: clave desconocida");
        inFile("token scope unknown", R"({"tokens": [{"name": "a", "scope": "todo", "sha256": ""}]})",
               "tokens[0].scope: debe ser uno de: read, send, admin");
        inFile("token kept in plain", R"({"tokens": [{"name": "a", "scope": "read", "sha256": "tivor_x"}]})",
               "tokens[0].sha256: debe ser un SHA-256 en 64 cifras hexadecimales");
        row("token add, scope unknown", {}, {"token", "add", "hub", "--scope", "todo"},
            "token: --scope debe ser uno de: read, send, admin");
        row("token add into a broken file", "{\"signs\": 1}",
            {"token", "add", "hub", "--scope", "read", "--config", "%1/server.json"},
            "%1/server.json: signs: debe ser una lista");
        inFile("listen badly written", "{\"listen\": \"8470\", \"signs\": [" + sign + "]}",
               "listen: '8470' no es una direccion de escucha");
        // Without tokens only this machine may be served.
        row("all addresses", {}, {"--listen", "0.0.0.0:0"}, "--listen 0.0.0.0:0: sin tokens");
        row("IPv6 any", {}, {"--listen", "[::]:8470"}, "--listen [::]:8470: sin tokens");
        inFile("LAN address from the file", "{\"listen\": \"192.168.1.5:8470\", \"signs\": [" + sign + "]}", lan);
        // TLS files beside the configuration; "cert" and "other" are made as each row starts.
        const auto tls = [](const char* certificate, const char* key) {
            return QByteArray(R"({"tls": {"certificate": ")") + certificate + R"(", "key": ")" + key + "\"}";
        };
        inFile("TLS as a list", R"({"tls": ["cert.pem"]})", "tls: debe ser un objeto");
        inFile("TLS without its key", R"({"tls": {"certificate": "cert.pem"}})", "tls.key: falta el archivo PEM");
        inFile("certificate missing", tls("nada.pem", "cert.key") + "}",
               "tls.certificate: %1/nada.pem: no se pudo leer (no existe)");
        inFile("certificate not PEM", tls("server.json", "cert.key") + "}",
               "tls.certificate: %1/server.json: no es un certificado PEM");
        inFile("key missing", tls("cert.pem", "nada.key") + "}", "tls.key: %1/nada.key: no se pudo leer (no existe)");
        inFile("key not a key", tls("cert.pem", "cert.pem") + "}",
               "tls.key: %1/cert.pem: no es una clave privada PEM sin contrasena");
        inFile("key of another certificate", tls("cert.pem", "other.key") + "}",
               "tls.key: %1/other.key: no corresponde al certificado %1/cert.pem");
        inFile("LAN address without tokens, with TLS", tls("cert.pem", "cert.key") + R"(, "listen": "10.0.0.2:8470"})",
               lan);
    }
    void badConfigurationExits2()
    {
        auto [file, arguments, said] = testenv::Table<QByteArray, QStringList, QString>::fetch();
        QVERIFY(file.isEmpty() || config(file));
        QVERIFY(!file.contains("\"tls\": {") || (makeCertificate("cert") && makeCertificate("other")));
        arguments.replaceInStrings("%1", dir->path());
        const QString result = runServer(arguments);
        QVERIFY2(result.startsWith("2|tivor-server: " + said.replace("%1", dir->path())), qPrintable(result));
        QVERIFY(!result.contains("escuchando"));
    }

    // Every answer the tests above saw (run in this order) is as the served description says.
    void everyAnswerMatchesTheDescription()
    {
        QVERIFY(startServer());
        QCOMPARE(call("GET", "/healthz").json["status"].toString(), "ok");
        QCOMPARE(call("GET", "/api/v1/signs/cartel").json["available"].toBool(), true);
        QVERIFY(testenv::writeFile(path("openapi.json"), call("GET", "/api/v1/openapi.json").body) &&
                testenv::writeFile(path("answers.json"), QJsonDocument(answers).toJson()));
        QProcess check;
        check.start("python3", {TIVOR_OPENAPI_CHECK, path("openapi.json"), path("answers.json")});
        QVERIFY(check.waitForFinished(60000));
        const QString said = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
        QVERIFY2(check.exitCode() == 0 && answers.size() > 40, qPrintable(said));
    }

    // Each page as the window's preview shows it and warns of it (the texts tst_sign and tst_editor read off the
    // window), the message's own warnings, and dump's length timed by the delays of the sign asked for.
    void previewSaysWhatTheWindowShows_data()
    {
        // The body's type, the body, the sign asked for (as the query), the pages
        // (line|marked|summary|warnings|spoken), the message's warnings, and the message file (or for text/plain the
        // text file) whose dump is timed.
        const testenv::Table<QByteArray, QByteArray, QString, QStringList, QStringList, QByteArray> row;
        row("changed, cut, clock; default delays", "application/json",
            R"({"pages": [{"text": "Mañana, 3 € y mas", "effect": "Estatico", "pause": 9},
                {"text": "Año €uro Á#\t", "effect": "Estatico"}, {"text": "Oferta de la semana €"},
                {"text": "Oferta de la semana €", "effect": "Vert Arr"}, {"effect": "Hora"}]})",
            {},
            {"Mañana, 3 # y ma|10|Cambia: \"€\" > #   No se envia: \"s\"|\"€\" no existe en el cartel: se vera "
             "\"#\"\nCon este efecto solo se envian 16 caracteres: no se envia \"s\"|El cartel mostrara \"Mañana, 3 # "
             "y ma\" a la izquierda, con el efecto Estatico y pausa 9.",

             "Año #uro A##    |4,9,11|Cambia: \"€\" > #, \"Á\" > A, tabulador > #|\"€\" no existe en el cartel: se "
             "vera \"#\"\n\"Á\" se vera \"A\"\ntabulador no existe en el cartel: se vera \"#\"|El cartel mostrara "
             "\"Año #uro A##\" a la izquierda, con el efecto Estatico y pausa 1.",
             "Oferta de la semana #|20|Cambia: \"€\" > #|\"€\" no existe en el cartel: se vera \"#\"|El cartel "
             "mostrara \"Oferta de la semana #\" a la izquierda, con el efecto Rotacion.",
             "Oferta de la sem||No se envia: \"ana €\"|Con este efecto solo se envian 16 caracteres: no se envia \"ana "
             "€\"|El cartel mostrara \"Oferta de la sem\" a la izquierda, con el efecto Vert Arr y pausa 1.",
             "||||El cartel mostrara la hora de su reloj."},
            {},
            "1,8,0,\"Ma\xF1"
            "ana, 3 \x80 y mas\"\r\n1,0,0,\"A\xF1o \x80uro \xC1#\t\"\r\n0,0,0,\"Oferta de la semana "
            "\x80\"\r\n4,0,0,\"Oferta de la semana \x80\"\r\n11,0,0,\" Hora 00:00:00 \"\r\n");
        row("text as import reads it; the sign's delays", "text/plain", "Ni\xF1os\n\n@ 3", "?sign=a",
            {"Niños           ||||El cartel mostrara \"Niños\" a la izquierda, con el efecto Rotacion.",
             "@ 3             ||||El cartel mostrara \"@ 3\" a la izquierda, con el efecto Rotacion."},
            {}, "Ni\xF1os\n\n@ 3");
        // Past the cap the preview warns where a show refuses; "ÿ" is the file's quote.
        row("what the file cannot keep, past the cap", "application/json", pagesBody(64, "ÿ" + QString(199, u'x')),
            "?sign=a", {},
            {"\"ÿ\" no se puede guardar en el archivo, escrito como \"y\"",
             "el mensaje pasa de 8000 bytes: sus ultimos 4871 bytes no se envian"},
            ("0,0,0,\"y" + QByteArray(199, 'x') + "\"\r\n").repeated(64));
    }
    void previewSaysWhatTheWindowShows()
    {
        const auto [type, body, sign, pages, warnings, source] =
            testenv::Table<QByteArray, QByteArray, QString, QStringList, QStringList, QByteArray>::fetch();
        const QByteArray expected = type == "text/plain" ? importedDump(source) : dumped(source);
        QVERIFY(!expected.isEmpty() && serve(R"({"signs": [{"id": "a", "port": "%1", "dy1": "10", "dy2": "01"}]})"));
        const Answer answer = call("POST", "/api/v1/preview" + sign, body, type);
        QCOMPARE(answer.status, 200);
        QStringList got;
        for (const QJsonValue page : answer.json["pages"].toArray())
            got << QStringList{page["line"].toString(), page["marked"].toVariant().toStringList().join(u','),
                               page["summary"].toString(), page["warnings"].toVariant().toStringList().join(u'\n'),
                               page["spoken"].toString()}
                       .join(u'|');
        QCOMPARE(got.size(), pages.isEmpty() ? 64 : pages.size());
        QCOMPARE(pages.isEmpty() ? QStringList() : got, pages);
        QCOMPARE(answer.json["warnings"].toVariant().toStringList(), warnings);
        QCOMPARE(answer.json["length"].toInt(), expected.size());
        QCOMPARE(answer.json["ms"].toInteger(), sign.isEmpty() ? estimatedSendMs(int(expected.size()), 0.2, 0.005)
                                                               : estimatedSendMs(int(expected.size()), 0.01, 0.001));
        QCOMPARE(pty->settled(), QByteArray());
    }
    // The preview's dots are the desktop preview's: the window's own widget (through preview_dots, which reads back
    // the pixels it paints, in the web page's colours) draws the same still image of each page, a changed character
    // pointed out. The entrance's frames end on that image, lit or not.
    void previewDotsAreTheDesktops()
    {
        QVERIFY(testenv::writeFile(path("dots.mnm"), "1,0,2,\"A\xF1o \x80\"\r\n4,3,0,\"Oferta de la semana\"\r\n"
                                                     "0,0,0,\"Buenos dias\"\r\n"));
        QProcess desktop;
        desktop.start(QStringLiteral(TIVOR_PREVIEW_DOTS), {path("dots.mnm")});
        QVERIFY(desktop.waitForFinished(20000) && desktop.exitCode() == 0);
        const QString drawn = QString::fromLatin1(desktop.readAllStandardOutput());
        QVERIFY(drawn.contains(u'2') && startServer());
        const Answer answer = call("POST", "/api/v1/preview?animation=1", R"({"pages": [
            {"text": "Año €", "effect": "Estatico", "align": "centrado"},
            {"text": "Oferta de la semana", "effect": "Vert Arr", "pause": 4}, {"text": "Buenos dias"}]})");
        QCOMPARE(answer.status, 200);
        QString served;
        QStringList timing;
        for (const QJsonValue page : answer.json["pages"].toArray()) {
            const QStringList dots = page["dots"].toVariant().toStringList();
            served += QStringLiteral("page %1\n").arg(page["page"].toInt()) + dots.join(u'\n') + u'\n';
            const QJsonArray frames = page["animation"].toArray();
            timing << QString::asprintf("%d/%d %d+%d", int(frames.size()), page["frames"].toInt(),
                                        page["frameMs"].toInt(), page["holdMs"].toInt());
            if (page["effect"].toString() == "Rotacion") // scrolls in from the right edge
                QCOMPARE(frames.first().toVariant().toStringList(), QStringList(7, QString(24, u'0')));
            else
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < 96; ++x)
                        QCOMPARE(frames.last()[y].toString().mid(x / 4, 1).toInt(nullptr, 16) >> (3 - x % 4) & 1,
                                 dots.at(y).at(x) != u'0');
        }
        QCOMPARE(served, drawn);
        // A still page comes in one frame; a page rises in two frames a row; a text scrolls from edge to edge.
        QCOMPARE(timing, QStringList({"1/1 40+1000", "15/15 40+4000", "163/163 40+0"}));
    }

    // What a sign shows is what the last show that reached it whole put there: not a clock, nor a part that failed
    // or was cancelled; kept across a restart, whose jobs never take a kept id.
    void believedShownSurvivesARestart()
    {
        QVERIFY(serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "01"},
            {"id": "b", "port": "/dev/tivor-no-existe", "groups": ["g"]},
            {"id": "c", "port": "%2", "dy2": "20", "groups": ["g"]}]})"));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const Answer shown = call("POST", "/api/v1/signs/a/show?wait=10", R"({"text": "HOLA", "effect": "Estatico"})");
        QCOMPARE(shown.json["state"].toString(), "done");
        QCOMPARE(call("POST", "/api/v1/signs/a/clock?wait=10").json["state"].toString(), "done");
        const int cancelled = call("POST", "/api/v1/groups/g/show", R"({"text": "ADIOS"})").json["id"].toInt();
        QVERIFY(second->waitForBytes(10, 10000));
        QCOMPARE(call("DELETE", QStringLiteral("/api/v1/jobs/%1").arg(cancelled)).json["state"].toString(), "failed");
        const QJsonObject a = call("GET", "/api/v1/signs/a").json["shown"].toObject();
        QCOMPARE(
            a["pages"].toArray(),
            QJsonArray({QJsonObject{{"text", "HOLA"}, {"effect", "Estatico"}, {"pause", 1}, {"align", "izquierda"}}}));
        QCOMPARE(a["job"].toInt(), shown.json["id"].toInt());
        QCOMPARE(a["request"].toString(), "POST /api/v1/signs/a/show");
        const QDateTime since = QDateTime::fromString(a["since"].toString(), Qt::ISODateWithMs);
        QVERIFY2(since >= before && since <= QDateTime::currentDateTimeUtc(), qPrintable(a["since"].toString()));
        QVERIFY(stopServer() && QFile::exists(path("data/Tivor/tivor-server/estado.json")) &&
                startServer({"--config", path("server.json")}));
        QStringList signs;
        for (const QJsonValue sign : call("GET", "/api/v1/signs").json["signs"].toArray())
            signs << sign["id"].toString() + ":" + QString::number(sign["shown"]["job"].toInt());
        QCOMPARE(signs, QStringList({"a:" + QString::number(shown.json["id"].toInt()), "b:0", "c:0"}));
        QCOMPARE(call("GET", "/api/v1/signs/a").json["shown"].toObject(), a);
        QCOMPARE(call("POST", "/api/v1/signs/c/show?wait=10", R"({"text": "x"})").json["id"].toInt(),
                 shown.json["id"].toInt() + 1);
        // A kept file spoilt while the server was down: journaled, started without it, and written whole again.
        const QString folder = path("data/Tivor/tivor-server/");
        QVERIFY(stopServer() && testenv::writeFile(folder + "estado.json", "{\"signs\": {") &&
                testenv::writeFile(folder + "horarios.json", "[]") && startServer({"--config", path("server.json")}));
        QCOMPARE(call("GET", "/api/v1/signs/a").json["shown"].toObject(), QJsonObject());
        QVERIFY(call("POST", "/api/v1/signs/a/show?wait=10", R"({"text": "OTRA"})").json["state"] == "done");
        const QString journal = QString::fromUtf8(startLines + server.readAllStandardError());
        QVERIFY2(journal.contains(folder + "estado.json: el estado de los carteles no es JSON valido (falta") &&
                     journal.contains(folder + "horarios.json: los horarios no son JSON validos (no es un objeto)"),
                 qPrintable(journal));
        const QJsonObject kept = QJsonDocument::fromJson(testenv::readFile(folder + "estado.json")).object();
        QCOMPARE(kept["signs"]["a"]["pages"][0]["text"].toString(), "OTRA");
    }
    // Under systemd: READY=1 once it listens, WATCHDOG=1 at half of WATCHDOG_USEC, and STOPPING=1 last at SIGTERM,
    // which ends the send on its way with the terminator before the server exits; requests and parts journaled.
    void serviceNotifiedAndStoppedBySigterm()
    {
        const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{AF_UNIX, {}};
        const QByteArray where = QFile::encodeName(path("notify"));
        QVERIFY(notify >= 0 && size_t(where.size()) < sizeof(address.sun_path));
        std::memcpy(address.sun_path, where.constData(), size_t(where.size()));
        QVERIFY(::bind(notify, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0);
        const auto heard = [notify](int ms) {
            QStringList said;
            char datagram[256];
            const QDeadlineTimer until(ms);
            for (pollfd one{notify, POLLIN, 0}; ::poll(&one, 1, int(until.remainingTime())) > 0;)
                said << QString::fromUtf8(datagram, ::recv(notify, datagram, sizeof(datagram), 0)).trimmed();
            return said;
        };
        qputenv("NOTIFY_SOCKET", where);
        qputenv("WATCHDOG_USEC", "1000000"); // the socket holds 10 datagrams unread
        const bool started = serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "20"}]})");
        qunsetenv("NOTIFY_SOCKET");
        qunsetenv("WATCHDOG_USEC");
        QVERIFY(started);
        const QStringList first = heard(1600);
        QVERIFY2(first.value(0) == "READY=1" && first.count("WATCHDOG=1") >= 2, qPrintable(first.join(u' ')));
        QCOMPARE(call("POST", "/api/v1/signs/a/show", pagesBody(2, "uno dos tres")).status, 202);
        QVERIFY(pty->waitForBytes(10, 10000));
        heard(0);
        QVERIFY(stopServer() && server.exitStatus() == QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
        QCOMPARE(heard(0).constLast(), "STOPPING=1");
        ::close(notify);
        const QByteArray expected = dumped("0,0,0,\"uno dos tres\"\r\n0,0,0,\"uno dos tres\"\r\n");
        const QByteArray got = pty->settled();
        QVERIFY2(got.size() < expected.size() + 2 && got == expected.left(got.size() - 2) + "\x01\x01", got.toHex(' '));
        const QString journal = QString::fromUtf8(server.readAllStandardError());
        const QString cancelled = "tivor-server: trabajo 1, cartel a: cancelado, %1 de %2 bytes: Mensaje Cancelado..., "
                                  "y el fin 01 01\n";
        for (const QString& line : {u"tivor-server: POST /api/v1/signs/a/show 202 "_s, u"tivor-server: detenido\n"_s,
                                    cancelled.arg(got.size() - 2).arg(expected.size())})
            QVERIFY2(journal.contains(line), qPrintable(journal));
    }

    // A schedule read back as it was put, with the engine's words and the engine's own next runs.
    void scheduleReadBackWithItsNextRuns()
    {
        QVERIFY(serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "01", "groups": ["planta"]}]})"));
        const QByteArray body = R"({"cron": "0 9 * * 1-6", "zone": "Europe/Madrid", "action": "show",
            "body": {"message": "horario"}, "groups": ["planta"], "misfire": {"rule": "run-once", "withinHours": 2}})";
        QCOMPARE(call("PUT", "/api/v1/messages/horario", R"({"text": "Abierto"})").status, 201);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const Answer put = call("PUT", "/api/v1/schedules/apertura", body);
        QCOMPARE(put.status, 201);
        QCOMPARE(call("PUT", "/api/v1/schedules/apertura", body).status, 200);
        const Answer got = call("GET", "/api/v1/schedules/apertura");
        QCOMPARE(got.json, put.json);
        QCOMPARE(got.json["words"].toString(), "lunes a sabado a las 09:00");
        QCOMPARE(got.json["signs"].toArray(), QJsonArray());
        QCOMPARE(got.json["enabled"].toBool(), true);
        QStringList engine;
        for (const QDateTime& run : Schedule::cron("0 9 * * 1-6", "Europe/Madrid", nullptr)->next(now, 5))
            engine << run.toString(Qt::ISODate);
        QCOMPARE(got.json["next"].toString(), engine.at(0));
        const Answer next = call("GET", "/api/v1/schedules/apertura/next");
        QCOMPARE(next.json["next"].toArray().toVariantList(), QVariant(engine).toList());
        // Each beside its words, the first also on the schedule: "martes 8 de diciembre de 2026, 09:00".
        const QString first = QDateTime::fromString(engine.at(0), Qt::ISODate).toString("d 'de' ");
        QCOMPARE(next.json["nextWords"].toArray().size(), 5);
        QCOMPARE(next.json["nextWords"][0], got.json["nextWords"]);
        QVERIFY2(got.json["nextWords"].toString().contains(QRegularExpression(
                     "^(lunes|martes|miercoles|jueves|viernes|sabado) " + first + "[a-z]+ de 20\\d\\d, 09:00$")),
                 qPrintable(got.json["nextWords"].toString()));
        QCOMPARE(call("GET", "/api/v1/schedules/apertura/next?n=100").json["next"].toArray().size(), 100);
        QCOMPARE(call("GET", "/api/v1/schedules/apertura/next?n=101").status, 400);
        QCOMPARE(call("GET", "/api/v1/schedules").json["schedules"].toArray(), QJsonArray{got.json});
        QCOMPARE(call("DELETE", "/api/v1/schedules/apertura").status, 204);
        QCOMPARE(call("GET", "/api/v1/schedules/apertura").status, 404);
        // At its time a schedule's show is a job like the API's: the same bytes, and the run recorded.
        const QByteArray expected = dumped("1,0,0,\"ABIERTO\"\r\n");
        const QDateTime at = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 3, QTimeZone::utc());
        const QString once = R"({"at": "%1", "action": "show", "body": {"text": "ABIERTO", "effect": "Estatico"},
            "signs": ["a"]})";
        const Answer pronto = call("PUT", "/api/v1/schedules/pronto", once.arg(at.toString(Qt::ISODate)).toUtf8());
        QCOMPARE(QDateTime::fromString(pronto.json["next"].toString(), Qt::ISODate), at);
        QVERIFY(pty->waitForBytes(int(expected.size()), 10000));
        QCOMPARE(pty->settled(), expected);
        const QJsonObject ran = call("GET", "/api/v1/schedules/pronto").json;
        const QDateTime lastRun = QDateTime::fromString(ran["lastRun"].toString(), Qt::ISODateWithMs);
        QVERIFY2(lastRun >= at && !ran.contains("next"), qPrintable(ran["lastRun"].toString()));
        const Answer job = call("GET", "/api/v1/jobs/" + QString::number(ran["lastJob"].toInt()));
        QCOMPARE(job.json["signs"].toArray().at(0)["sent"].toInt(), expected.size());
        QCOMPARE(call("GET", "/api/v1/signs/a").json["shown"].toObject()["request"].toString(), "horario pronto");
    }

    void scheduleRefusals_data()
    {
        // Body, status, detail.
        const testenv::Table<QByteArray, int, QString> row;
        row("bad cron", R"({"cron": "0 25 * * *", "action": "clock", "signs": ["a"]})", 400,
            "campo hora: 25 fuera de 0-23");
        row("unknown zone", R"({"cron": "0 5 * * *", "zone": "Marte/Olimpo", "action": "clock", "signs": ["a"]})", 400,
            "zona horaria desconocida: 'Marte/Olimpo'");
        row("bad moment", R"({"at": "manana", "action": "clock", "signs": ["a"]})", 400,
            "fecha y hora no validas: 'manana' (ISO 8601, como 2026-05-01T09:00:00+02:00)");
        row("unknown sign", R"({"cron": "0 5 * * *", "action": "clock", "signs": ["a", "otro"]})", 422,
            "no hay ningun cartel 'otro'");
        row("unknown group", R"({"cron": "0 5 * * *", "action": "clock", "groups": ["nadie"]})", 422,
            "no hay ningun grupo 'nadie'");
        row("unknown message", R"({"cron": "0 5 * * *", "action": "show", "body": {"message": "nada"},
            "signs": ["a"]})",
            422, "no hay ningun mensaje 'nada'");
        row("bad page", R"({"cron": "0 5 * * *", "action": "show", "body": {"text": "a", "pause": 10},
            "signs": ["a"]})",
            400, "pause: debe ser un numero entero de 1 a 9");
        row("misfire without hours", R"({"cron": "0 5 * * *", "action": "clock", "signs": ["a"],
            "misfire": {"rule": "run-once"}})",
            400, R"(misfire: debe ser {"rule": "skip"} o {"rule": "run-once",)");
        row("misfire past 30 days", R"({"cron": "0 5 * * *", "action": "clock", "signs": ["a"],
            "misfire": {"rule": "run-once", "withinHours": 721}})",
            400, R"(misfire: debe ser {"rule": "skip"} o {"rule": "run-once", "withinHours": N} con N de 1 a 720)");
        row("misfire in part hours", R"({"cron": "0 5 * * *", "action": "clock", "signs": ["a"],
            "misfire": {"rule": "run-once", "withinHours": 1.5}})",
            400, R"(misfire: debe ser {"rule": "skip"} o {"rule": "run-once",)");
        row("no targets", R"({"cron": "0 5 * * *", "action": "clock"})", 400,
            "signs, groups: falta al menos un cartel o un grupo");
    }
    void scheduleRefusals()
    {
        const auto [body, status, detail] = testenv::Table<QByteArray, int, QString>::fetch();
        QVERIFY(serve(R"({"signs": [{"id": "a", "port": "%1"}]})"));
        const Answer answer = call("PUT", "/api/v1/schedules/x", body);
        QCOMPARE(answer.status, status);
        QVERIFY2(answer.json["detail"].toString().startsWith(detail), answer.body);
        QCOMPARE(call("GET", "/api/v1/schedules").json["schedules"].toArray(), QJsonArray());
    }

    // Kept across a restart; a one-shot missed while the server was down is made up once with run-once, not
    // with skip. A sign gone from the configuration meanwhile is journaled and leaves the others their run.
    void schedulesSurviveARestart()
    {
        const QString signs = R"({"id": "a", "port": "%1", "dy2": "01"}, {"id": "b", "port": "%2", "dy2": "01"})";
        QVERIFY(serve(R"({"signs": [)" + signs + R"(, {"id": "c", "port": "/dev/null"}]})"));
        const QString at = QDateTime::currentDateTimeUtc().addSecs(3).toString(Qt::ISODate);
        const auto once = [&](const QString& name, const char* sign, const char* misfire) {
            const QString body = R"({"at": "%1", "action": "show", "body": {"text": "x"}, "signs": ["%2"],
                "misfire": %3})";
            return call("PUT", "/api/v1/schedules/" + name, body.arg(at, sign, misfire).toUtf8()).status;
        };
        QCOMPARE(once("recupera", R"(a", "c)", R"({"rule": "run-once", "withinHours": 1})"), 201);
        QCOMPARE(once("salta", "b", R"({"rule": "skip"})"), 201);
        // A text that begins with U+FEFF comes back whole, from the schedules' file and in the answer: Qt's reader
        // drops that character at a string's start when it is not escaped.
        const Answer daily = call("PUT", "/api/v1/schedules/diario", R"({"cron": "30 7 * * *", "zone": "UTC",
            "action": "show", "body": {"text": "\ufeffHOLA"}, "signs": ["b"]})");
        QCOMPARE(daily.json["body"]["text"].toString(), u"\uFEFFHOLA"_s);
        QVERIFY(stopServer());
        QTest::qWait(int(QDateTime::currentDateTimeUtc().msecsTo(QDateTime::fromString(at, Qt::ISODate))) + 500);
        QVERIFY(serve(R"({"signs": [)" + signs + "]}"));
        QCOMPARE(call("GET", "/api/v1/schedules/diario").json, daily.json);
        const QByteArray expected = dumped("0,0,0,\"x\"\r\n");
        QVERIFY(pty->waitForBytes(int(expected.size()), 10000));
        QCOMPARE(pty->settled(), expected);
        QCOMPARE(second->settled(), QByteArray());
        QVERIFY(call("GET", "/api/v1/schedules/recupera").json.contains("lastRun"));
        QVERIFY(!call("GET", "/api/v1/schedules/salta").json.contains("lastRun"));
        const QString journal = QString::fromUtf8(startLines + server.readAllStandardError());
        QVERIFY2(journal.contains("horario recupera: no hay ningun cartel 'c'"), qPrintable(journal));
        QVERIFY2(!journal.contains("horario recupera: \n"), qPrintable(journal));
    }

    // A WebSocket on /api/v1/events hears of a job from its making to its end, the sent count growing on the way,
    // each state the one GET /api/v1/jobs/{id} gives; a show that reached the sign whole changes what it shows.
    void eventsFollowAJobToItsEnd_data()
    {
        // Whether the job is cancelled on its way, and how it ends.
        const testenv::Table<bool, QString> row;
        row("sent whole", false, "done");
        row("cancelled", true, "cancelled");
    }
    void eventsFollowAJobToItsEnd()
    {
        const auto [cancel, end] = testenv::Table<bool, QString>::fetch();
        QVERIFY(serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "10"}]})"));
        Events events(base);
        QTRY_VERIFY_WITH_TIMEOUT(events.said("ready"), 5000);
        const QByteArray body = R"({"pages": [{"text": "uno dos tres"}, {"text": "cuatro cinco"}]})";
        const int id = call("POST", "/api/v1/signs/a/show", body).json["id"].toInt();
        if (cancel) {
            QVERIFY(pty->waitForBytes(20, 10000));
            QCOMPARE(call("DELETE", QStringLiteral("/api/v1/jobs/%1").arg(id)).status, 200);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!events.job(id).isEmpty() && events.job(id).last()["state"] == end, 15000);
        const QList<QJsonObject> states = events.job(id);
        QCOMPARE(states.first()["state"].toString(), "queued");
        QList<int> sent;
        for (const QJsonObject& state : states)
            sent << state["signs"][0]["sent"].toInt();
        QVERIFY2(std::is_sorted(sent.begin(), sent.end()) && std::set<int>(sent.begin(), sent.end()).size() >= 4,
                 qPrintable(QVariant::fromValue(sent).toStringList().join(u' ')));
        QCOMPARE(states.last(), call("GET", QStringLiteral("/api/v1/jobs/%1").arg(id)).json);
        QTest::qWait(300); // time enough for a word of the sign after the job's end
        const bool shown = std::any_of(events.heard.begin(), events.heard.end(), [&](const QJsonObject& m) {
            return m["type"] == "shown" && m["sign"] == "a" && m["shown"]["job"] == id;
        });
        QCOMPARE(shown, !cancel);
    }

    // With tokens a WebSocket listens once its first message shows one of read scope: a wrong one, or none within
    // 10 s, closes it with 1008. One that listens is never closed for being idle, and counts as a connection.
    void eventsTokenAndIdleLimit()
    {
        QVERIFY(config(R"({"signs": [{"id": "a", "port": "%1", "dy2": "01"}], "limits": {"connections": 3}})"));
        const QByteArray read = addToken("read");
        const HttpHeaders send{{"Authorization", "Bearer " + addToken("send")}};
        QVERIFY(read.startsWith("tivor_") && send[0].second.startsWith("Bearer tivor_") &&
                startServer({"--config", path("server.json")}));
        const QDeadlineTimer idleLimit(9500);
        Events wrong(base), reader(base), silent(base);
        for (const Events* events : {&wrong, &reader, &silent})
            QTRY_COMPARE_WITH_TIMEOUT(events->socket.state(), QAbstractSocket::ConnectedState, 5000);
        QCOMPARE(call("GET", "/healthz").status, 503);
        wrong.socket.sendTextMessage(R"({"token": "tivor_AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"})");
        reader.socket.sendTextMessage("{\"token\": \"" + read + "\"}");
        QTRY_COMPARE_WITH_TIMEOUT(wrong.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(reader.said("ready"), 5000);
        QVERIFY(!wrong.said("ready"));
        // The server may see the wrong one's end after the next connection: until then it is refused.
        QCOMPARE(untilServed("GET", "/api/v1/signs", {}, send), 200);
        QTRY_COMPARE_WITH_TIMEOUT(silent.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated, 15000);
        QVERIFY2(idleLimit.hasExpired(), qPrintable(QString::number(idleLimit.remainingTime())));
        QTest::qWait(1500); // past the idle limit of a connection
        QCOMPARE(reader.socket.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(untilServed("POST", "/api/v1/signs/a/show?wait=10", R"({"text": "HOLA"})", send), 200);
        QTRY_VERIFY_WITH_TIMEOUT(reader.said("shown"), 5000);
        QVERIFY(!silent.said("job"));
    }

    // The cases added after the first check: their answers too are as the description says.
    void laterAnswersMatchTheDescription() { everyAnswerMatchesTheDescription(); }

    // With a certificate only HTTPS is served: a show over it reaches the sign and is heard over wss://, the limits
    // still hold on the decrypted request, and a plain request gets no HTTP answer.
    void tlsServesOnlyHttps()
    {
        QVERIFY(makeCertificate("cert") && serve(R"({"signs": [{"id": "a", "port": "%1", "dy2": "01"}],
            "tls": {"certificate": "cert.pem", "key": "cert.key"}})"));
        QVERIFY2(base.startsWith("https://127.0.0.1:"), qPrintable(base));
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        QVERIFY(trusting.addCaCertificates(path("cert.pem")));
        QSslConfiguration::setDefaultConfiguration(trusting);
        QCOMPARE(call("GET", "/healthz").json["status"].toString(), "ok");
        Events events(base); // wss://, on the decrypted socket
        QTRY_VERIFY_WITH_TIMEOUT(events.said("ready"), 5000);
        const Answer job = call("POST", "/api/v1/signs/a/show?wait=10", R"({"text": "HOLA", "effect": "Estatico"})");
        QCOMPARE(job.json["state"].toString(), "done");
        QCOMPARE(pty->settled(), dumped("1,0,0,\"HOLA\"\r\n"));
        const int id = job.json["id"].toInt();
        QTRY_VERIFY_WITH_TIMEOUT(!events.job(id).isEmpty() && events.job(id).last() == job.json, 5000);
        QCOMPARE(call("GET", "/api/v1/signs", {}, {}, {{"X", QByteArray(9000, 'a')}}).status, 431);
        const auto plain = connectRaw();
        QVERIFY(plain && plain->write("GET /healthz HTTP/1.1\r\nHost: a\r\n\r\n") > 0);
        const QByteArray got = untilClosed(*plain);
        QVERIFY2(!got.contains("HTTP/") && !got.contains("ok"), got.toHex().constData());
        QCOMPARE(plain->state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
