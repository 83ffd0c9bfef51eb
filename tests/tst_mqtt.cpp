// tivor-server on a real broker (Debian's mosquitto on a free loopback port), driven with mosquitto_pub and read
// with mosquitto_sub as a hub would: the bytes a command puts on a real pseudo-terminal (tivor-cli dump's), the
// retained states and Home Assistant's discovery, what a malformed command gets, the broker and the server going
// away, and two servers sharing one broker, each loading its own tivor-sign.
#include "support/CliKit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>

using namespace Qt::StringLiterals;

namespace
{
struct Published
{
    QString topic;
    QByteArray payload;
};

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// The test's programs end with it, each waited for.
void end(QProcess& process)
{
    process.kill();
    process.waitForFinished();
}
} // namespace

class TestMqtt : public CliTest
{
    Q_OBJECT
    quint16 brokerPort = 0;
    std::unique_ptr<QProcess> broker;
    std::vector<std::unique_ptr<QProcess>> servers;
    QProcess watcher; // every message on the broker from the test's start, as mosquitto_sub prints them
    QByteArray watched;

    QString brokerAddress() const { return u"127.0.0.1:"_s + QString::number(brokerPort); }

    // mosquitto on the same port each time, so that a restarted broker is the one the server knew; `settings`
    // follow its listener, their files in the test's folder. True once it takes connections.
    [[nodiscard]] bool startBroker(const QByteArray& settings = "allow_anonymous true\n")
    {
        if (!testenv::writeFile(path("mosquitto.conf"),
                                "listener " + QByteArray::number(brokerPort) + " 127.0.0.1\n" + settings))
            return false;
        broker = std::make_unique<QProcess>();
        broker->setWorkingDirectory(dir->path());
        broker->start("mosquitto", {"-c", path("mosquitto.conf")});
        const auto accepts = [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, brokerPort);
            return socket.waitForConnected(200);
        };
        return broker->waitForStarted(5000) && QTest::qWaitFor(accepts, 10000);
    }
    // A server on its own data folder; true once it listens.
    [[nodiscard]] QProcess* startServer(const QStringList& arguments, const QString& data = u"data"_s)
    {
        auto server = std::make_unique<QProcess>();
        QProcessEnvironment env = environment();
        env.insert("XDG_DATA_HOME", path(data));
        server->setProcessEnvironment(env);
        server->setReadChannel(QProcess::StandardError);
        server->start(QStringLiteral(TIVOR_SERVER_PROGRAM), QStringList{"--listen", "127.0.0.1:0"} + arguments);
        QByteArray said;
        while (!said.contains("escuchando") && server->waitForReadyRead(10000))
            said += server->readAllStandardError();
        servers.push_back(std::move(server));
        return said.contains("escuchando") ? servers.back().get() : nullptr;
    }
    // The server's configuration: its signs, then "mqtt" on the test's broker with `id` and any `more` keys.
    [[nodiscard]] QProcess* serveSigns(const QString& id, const QString& signs, const QString& data = u"data"_s,
                                       const QString& more = {})
    {
        const QString file = path(id + u".json"_s);
        const QString text = uR"({"signs": [%1], "messages": "%2", "mqtt": {"broker": "%3", "id": "%4"%5}})"_s.arg(
            signs, path("mensajes"), brokerAddress(), id, more);
        return testenv::writeFile(file, text.toUtf8()) ? startServer({"--config", file}, data) : nullptr;
    }
    QString ptySign(const QString& id) const
    {
        return uR"({"id": "%1", "port": "%2", "dy1": "10", "dy2": "01", "groups": ["planta"]})"_s.arg(id,
                                                                                                      pty->slavePath());
    }
    void publish(const QString& topic, const QByteArray& payload, bool retain = false)
    {
        QProcess pub;
        // An empty payload, which deletes a retained message, is -n: -s takes no empty input.
        pub.start("mosquitto_pub",
                  QStringList{"-p", QString::number(brokerPort), "-t", topic, payload.isEmpty() ? "-n" : "-s"} +
                      (retain ? QStringList{"-r"} : QStringList{}));
        pub.write(payload);
        pub.closeWriteChannel();
        QVERIFY(pub.waitForFinished(20000) && pub.exitCode() == 0);
    }
    // What a client that subscribes now gets of `pattern` from the broker's store: the retained messages alone.
    QList<Published> retained(const QString& pattern)
    {
        QProcess sub;
        sub.start("mosquitto_sub",
                  {"-p", QString::number(brokerPort), "-t", pattern, "--retained-only", "-W", "1", "-F", "%t\t%p"});
        sub.waitForFinished(10000);
        QList<Published> out;
        for (const QByteArray& line : sub.readAllStandardOutput().split('\n'))
            if (const QList<QByteArray> fields = line.split('\t'); fields.size() == 2)
                out.append({QString::fromUtf8(fields[0]), fields[1]});
        return out;
    }
    // Waits for the broker to keep `count` retained messages under `pattern` (by the clock: a QTRY loop counts its
    // steps, not the second each look takes).
    [[nodiscard]] bool waitRetained(const QString& pattern, qsizetype count, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return retained(pattern).size() == count; }, timeoutMs);
    }
    // The last payload seen on `topic` since the test started.
    QByteArray last(const QString& topic)
    {
        watched += watcher.readAllStandardOutput();
        QByteArray found;
        for (const QByteArray& line : watched.split('\n'))
            if (line.startsWith(topic.toUtf8() + '\t'))
                found = line.mid(topic.toUtf8().size() + 1);
        return found;
    }
    // Waits for `topic`'s last payload to hold `text`.
    [[nodiscard]] bool waitFor(const QString& topic, const QByteArray& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return last(topic).contains(text); }, timeoutMs);
    }
    // The prefix of the first server that says it is online.
    QString onlinePrefix()
    {
        static const QRegularExpression status(u"(tivor/[^/\t]+)/status\tonline"_s);
        const auto prefix = [&] {
            return status.match(QString::fromUtf8(watched += watcher.readAllStandardOutput())).captured(1);
        };
        return QTest::qWaitFor([&] { return !prefix().isEmpty(); }, 10000) ? prefix() : QString();
    }

private slots:
    void init()
    {
        CliTest::init();
        brokerPort = freePort();
        QVERIFY(startBroker());
        // The stored messages of a configured server, and of one without a configuration (its data folder's).
        for (const QString& folder : {u"mensajes"_s, u"data/Tivor/tivor-server/mensajes"_s})
            QVERIFY(QDir().mkpath(path(folder)) && QFile::copy(path("hola.mnm"), path(folder + u"/hola.mnm"_s)));
        watched.clear();
        watcher.start("mosquitto_sub", {"-p", QString::number(brokerPort), "-t", "#", "-F", "%t\t%p"});
        QVERIFY(watcher.waitForStarted(5000));
    }
    void cleanup()
    {
        for (auto& server : servers)
            end(*server);
        servers.clear();
        end(watcher);
        end(*broker);
        CliTest::cleanup();
    }

    // Each command puts on the line what tivor-cli writes for the same pages: a text as its import reads the lines
    // ('|' between them, a blank one skipped), JSON as POST /show takes it, a stored message as its file.
    void commandsSendWhatDumpWrites_data()
    {
        const testenv::Table<QString, QByteArray, QByteArray, QByteArray> row; // verb, payload, text file, .mnm
        row("text", "text", "HOLA|MUNDO", "HOLA\nMUNDO\n", "");
        row("text in UTF-8, a blank page", "text", "\u00A1A\u00F1o nuevo!||  centro",
            "\u00A1A\u00F1o nuevo!\n\n  centro\n", "");
        row("show", "show", R"({"pages": [{"text": "HOLA", "effect": "Estatico", "pause": 5, "align": "centrado"}]})",
            "", "1,4,2,\"HOLA\"\r\n");
        row("stored message", "message", "hola", "", "1,4,2,\"HOLA\"\r\n");
    }
    void commandsSendWhatDumpWrites()
    {
        const auto [verb, payload, text, file] = testenv::Table<QString, QByteArray, QByteArray, QByteArray>::fetch();
        const QByteArray expected = text.isEmpty() ? dumped(file) : importedDump(text);
        QVERIFY(!expected.isEmpty());
        // Without a configuration file: the desktop's sign, "cartel", under tivor/<host name>.
        QVERIFY(startServer({"--mqtt", brokerAddress()}));
        const QString prefix = onlinePrefix();
        QVERIFY(!prefix.isEmpty());
        publish(prefix + u"/sign/cartel/"_s + verb + u"/set"_s, payload);
        QVERIFY(waitFor(prefix + u"/sign/cartel/job/state"_s, "\"done\""));
        QCOMPARE(pty->settled(), expected);
        const QJsonObject state = json(last(prefix + u"/sign/cartel/job/state"_s));
        QCOMPARE((QList<int>{state["sent"].toInt(), state["total"].toInt()}), QList<int>(2, int(expected.size())));
        if (verb == u"text"_s)
            QVERIFY(waitFor(prefix + u"/sign/cartel/text/state"_s, QByteArray(payload).replace("||", "|")));
    }

    // Home Assistant reads the retained configs: one device per sign with its five entities, each on the topics
    // the server takes and publishes; what is deleted comes back when Home Assistant says it is online.
    void discoveryAsHomeAssistantReadsIt()
    {
        QVERIFY(serveSigns("sitio1", ptySign("entrada") + uR"(, {"id": "patio", "port": "/dev/tivor-nada"})"_s));
        QVERIFY(waitFor("tivor/sitio1/sign/patio/available", "offline"));
        QVERIFY(waitFor("tivor/sitio1/sign/entrada/available", "online"));
        const QMap<QString, QJsonObject> expected{
            {"text", {{"command_topic", "/text/set"}, {"state_topic", "/text/state"}, {"max", 255}}},
            {"select", {{"command_topic", "/message/set"}, {"options", QJsonArray{"hola"}}}},
            {"button", {{"command_topic", "/clock/set"}}},
            {"sensor", {{"state_topic", "/job/state"}, {"json_attributes_topic", "/job/state"}}},
            {"binary_sensor",
             {{"state_topic", "/available"}, {"device_class", "connectivity"}, {"payload_on", "online"}}}};
        const QList<Published> configs = retained("homeassistant/#");
        QCOMPARE(configs.size(), 10);
        QSet<QString> uniqueIds;
        for (const Published& config : configs) {
            const QStringList parts = config.topic.split(u'/');
            QCOMPARE(parts.size(), 5);
            QCOMPARE(parts[2], "tivor_sitio1");
            QVERIFY2(expected.contains(parts[1]), qPrintable(parts[1]));
            const QString sign = parts[3].section(u'_', 0, 0);
            const QJsonObject entity = json(config.payload);
            uniqueIds << entity["unique_id"].toString();
            QVERIFY(entity["unique_id"].toString().startsWith(u"tivor_sitio1_"_s + sign));
            QCOMPARE(entity["device"]["identifiers"][0].toString(), u"tivor_sitio1_"_s + sign);
            QCOMPARE(entity["availability"][0]["topic"].toString(), "tivor/sitio1/status");
            // The server's topics under the sign's (those that begin with '/'), and the entity's own values.
            for (const auto& [key, value] : expected.value(parts[1]).toVariantMap().asKeyValueRange())
                QCOMPARE(entity[key].toVariant(), value.toString().startsWith(u'/')
                                                      ? QVariant(u"tivor/sitio1/sign/"_s + sign + value.toString())
                                                      : value);
        }
        QCOMPARE(uniqueIds.size(), 10);
        QCOMPARE(retained("tivor/sitio1/status").value(0).payload, "online");
        // Home Assistant restarted with an empty broker store: its birth message brings every config back.
        const QString button = u"homeassistant/button/tivor_sitio1/entrada_hora/config"_s;
        publish(button, {}, true);
        QCOMPARE(retained("homeassistant/#").size(), 9);
        publish("homeassistant/status", "online");
        QVERIFY(waitRetained("homeassistant/#", 10, 10000));
        // A group's command goes to each of its signs and has its own job state.
        publish("tivor/sitio1/group/planta/clock/set", "PRESS");
        QVERIFY(waitFor("tivor/sitio1/group/planta/job/state", "\"done\""));
        QCOMPARE(json(last("tivor/sitio1/sign/entrada/job/state"))["state"].toString(), "done");
    }

    // Nothing reaches the line: the error is on the job state of the sign or group named.
    void malformedCommandsAreAnswered_data()
    {
        const testenv::Table<QString, QByteArray, QString> row; // topic under tivor/sitio1, payload, error
        row("not UTF-8", "sign/entrada/text/set", "HOLA \xFF\xFE", "no es texto UTF-8");
        row("10 MB", "sign/entrada/text/set", QByteArray(10 * 1024 * 1024, 'x'), "10485760 bytes");
        row("wrong JSON", "sign/entrada/show/set", "{\"pages\": [", "no es JSON valido");
        row("unknown key", "sign/entrada/show/set", R"({"text": "x", "color": 1})", "color");
        row("unknown message", "group/planta/message/set", "nada", "nada");
        row("more pages than a message", "sign/entrada/text/set", QByteArray(65 * 2, '|').replace("||", "x|"),
            "64 como maximo");
        row("unknown command", "sign/entrada/volume/set", "1", "orden desconocida 'volume'");
    }
    void malformedCommandsAreAnswered()
    {
        const auto [topic, payload, error] = testenv::Table<QString, QByteArray, QString>::fetch();
        QVERIFY(serveSigns("sitio1", ptySign("entrada")));
        QVERIFY(waitFor("tivor/sitio1/status", "online"));
        publish(u"tivor/sitio1/"_s + topic, payload);
        const QString state = u"tivor/sitio1/"_s + topic.section(u'/', 0, 1) + u"/job/state"_s;
        QVERIFY(waitFor(state, "rejected"));
        const QJsonObject answer = json(last(state));
        QVERIFY2(answer["error"].toString().contains(error), qPrintable(answer["error"].toString()));
        QCOMPARE(answer["sent"].toInt(), 0);
        QCOMPARE(pty->settled(), QByteArray());
    }

    // Two commands at once: the second waits in the sign's queue and follows the first whole. A retained command
    // runs as it is published and never again when the server reconnects.
    void commandsQueueAndRunOnce()
    {
        QStringList pages;
        for (int i = 1; i <= 40; ++i)
            pages << u"PAGINA %1"_s.arg(i);
        const QByteArray both = importedDump(pages.join(u'\n').toUtf8()) + importedDump("FIN\n");
        QVERIFY(serveSigns("sitio1", ptySign("entrada")));
        QVERIFY(waitFor("tivor/sitio1/status", "online"));
        publish("tivor/sitio1/sign/entrada/text/set", pages.join(u'|').toUtf8());
        // While a long message goes out, a hub sees it going out.
        QVERIFY(waitFor("tivor/sitio1/sign/entrada/job/state", "\"state\":\"sending\""));
        publish("tivor/sitio1/sign/entrada/text/set", "FIN", true);
        QVERIFY(waitFor("tivor/sitio1/sign/entrada/text/state", "FIN", 20000));
        QCOMPARE(pty->settled(), both);
        end(*servers.back());
        // The broker says the server is gone (its will) before the new one says it is online.
        QVERIFY(waitFor("tivor/sitio1/status", "offline"));
        QVERIFY(serveSigns("sitio1", ptySign("entrada")));
        QVERIFY(waitFor("tivor/sitio1/status", "online"));
        QTest::qWait(1000);
        QCOMPARE(pty->settled(), both);
    }

    // The broker killed and started again empty: the server reconnects and says everything again. The server
    // killed: the broker says it is offline; stopped: it says so itself.
    void brokerAndServerGoAway()
    {
        QProcess* server = serveSigns("sitio1", ptySign("entrada"));
        QVERIFY(server);
        // A command published before the server has subscribed goes nowhere.
        QVERIFY(waitFor("tivor/sitio1/status", "online"));
        publish("tivor/sitio1/sign/entrada/text/set", "ANTES");
        QVERIFY(waitFor("tivor/sitio1/sign/entrada/text/state", "ANTES"));
        end(*broker);
        QVERIFY(startBroker());
        end(watcher);
        watcher.start("mosquitto_sub", {"-p", QString::number(brokerPort), "-t", "#", "-F", "%t\t%p"});
        QVERIFY(waitRetained("tivor/sitio1/sign/entrada/text/state", 1, 15000));
        QVERIFY(waitRetained("homeassistant/#", 5, 5000));
        QCOMPARE(retained("tivor/sitio1/status").value(0).payload, "online");
        QCOMPARE(retained("tivor/sitio1/sign/entrada/job/state").size(), 1);
        QVERIFY(server->readAllStandardError().contains("se reintenta en 1 s"));
        const QByteArray before = pty->settled();
        publish("tivor/sitio1/sign/entrada/text/set", "DESPUES");
        QVERIFY(waitFor("tivor/sitio1/sign/entrada/text/state", "DESPUES"));
        QCOMPARE(pty->settled(), before + importedDump("DESPUES\n"));

        for (const int signal : {SIGKILL, SIGTERM}) {
            QVERIFY(waitFor("tivor/sitio1/status", "online", 10000));
            ::kill(pid_t(server->processId()), signal);
            QVERIFY(server->waitForFinished(10000));
            QVERIFY(waitFor("tivor/sitio1/status", "offline", 5000));
            QCOMPARE(retained("tivor/sitio1/status").value(0).payload, "offline");
            server = serveSigns("sitio1", ptySign("entrada"));
            QVERIFY(server);
        }
    }

    // Two sites on one broker, each with a sign called "entrada" on its own tivor-sign: each command reaches its
    // own sign, and no topic or unique id is shared.
    void twoServersShareOneBroker()
    {
        std::vector<std::unique_ptr<QProcess>> signs;
        for (int i = 0; i < 2; ++i) {
            signs.push_back(std::make_unique<QProcess>());
            signs.back()->start(QStringLiteral(TIVOR_SIGN_PROGRAM),
                                {"--headless", "--json", "--listen", "tcp://127.0.0.1:0"});
            QVERIFY(signs.back()->waitForReadyRead(10000));
            const QString where =
                QString::fromUtf8(signs.back()->readLine()).section(u"\"dispositivo\":\""_s, 1).section(u'"', 0, 0);
            const QString site = u"sitio%1"_s.arg(i + 1);
            QVERIFY(serveSigns(site, uR"({"id": "entrada", "port": "%1", "dy1": "10", "dy2": "01"})"_s.arg(where),
                               u"data-"_s + site));
        }
        QVERIFY(waitFor("tivor/sitio1/status", "online") && waitFor("tivor/sitio2/status", "online"));
        publish("tivor/sitio1/sign/entrada/text/set", "UNO");
        publish("tivor/sitio2/sign/entrada/text/set", "DOS");
        for (int i = 0; i < 2; ++i) {
            const QString site = u"sitio%1"_s.arg(i + 1);
            QVERIFY(waitFor(u"tivor/"_s + site + u"/sign/entrada/job/state"_s, "\"done\""));
            QByteArray out;
            QTRY_VERIFY_WITH_TIMEOUT(
                (out += signs[size_t(i)]->readAllStandardOutput()).contains("\"tipo\":\"mensaje\""), 10000);
            const QJsonObject shown = json(out.mid(out.indexOf("{\"aceptada\"")).split('\n').first());
            QCOMPARE(QByteArray::fromHex(shown["transmision_hex"].toString().toLatin1()),
                     importedDump(i == 0 ? "UNO\n" : "DOS\n"));
        }
        QSet<QString> uniqueIds;
        for (const Published& config : retained("homeassistant/#"))
            uniqueIds << json(config.payload)["unique_id"].toString();
        QCOMPARE(uniqueIds.size(), 10);
        for (auto& sign : signs)
            end(*sign);
    }

    // The README's shared broker: TLS with the site's own certificate authority, a user per site and an ACL that
    // keeps each site to its own topics. The site loads its sign through it; a wrong password is refused by the
    // broker and the server says so and tries again.
    void siteOnASharedBrokerWithTls()
    {
        const auto sh = [&](const QString& command) {
            return QProcess::execute("sh", {"-c", u"cd '%1' && "_s.arg(dir->path()) + command}) == 0;
        };
        QVERIFY(sh("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=tivor-ca -keyout ca.key -out ca.pem "
                   "2>/dev/null && openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout broker.key "
                   "-out broker.csr 2>/dev/null && printf 'subjectAltName=IP:127.0.0.1' > san.cnf && openssl x509 "
                   "-req -in broker.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile san.cnf "
                   "-out broker.pem 2>/dev/null"));
        QVERIFY(sh("mosquitto_passwd -c -b passwd sitio1 clave1 && mosquitto_passwd -b passwd homeassistant clave2"));
        QVERIFY(testenv::writeFile(path("acl"), "pattern readwrite tivor/%u/#\npattern readwrite "
                                                "homeassistant/+/tivor_%u/#\npattern read homeassistant/status\n"
                                                "user homeassistant\ntopic readwrite #\n"));
        // This broker takes the open one's port. Started as root, mosquitto would become its own user, who cannot read
        // the test's folder; started as anyone else it ignores "user".
        end(*broker);
        QVERIFY(startBroker("user root\ncafile ca.pem\ncertfile broker.pem\nkeyfile broker.key\npassword_file passwd\n"
                            "acl_file acl\n"));
        for (const QString& password : {u"mala"_s, u"clave1"_s}) {
            QProcess* server =
                serveSigns("sitio1", ptySign("entrada"), u"data"_s,
                           uR"(, "user": "sitio1", "password": "%1", "tls": {"ca": "ca.pem"})"_s.arg(password));
            QVERIFY(server);
            QByteArray said;
            QVERIFY(
                QTest::qWaitFor([&] { return (said += server->readAllStandardError()).contains("MQTT: "); }, 10000));
            if (password == u"mala"_s) {
                for (const char* text : {"sin conexion", "not authorised", "se reintenta en 1 s"})
                    QVERIFY2(said.contains(text), said.constData());
                end(*server);
                continue;
            }
            QVERIFY2(said.contains("conectado a 127.0.0.1"), said.constData());
        }
        const QString hub = u"-p %1 --cafile '%2' -u homeassistant -P clave2"_s.arg(brokerPort).arg(path("ca.pem"));
        QVERIFY(sh(u"mosquitto_pub %1 -t tivor/sitio1/sign/entrada/text/set -m 'POR TLS'"_s.arg(hub)));
        QVERIFY(pty->waitForBytes(int(importedDump("POR TLS\n").size()), 10000));
        QCOMPARE(pty->settled(), importedDump("POR TLS\n"));
    }

    // The "mqtt" block and --mqtt are checked whole at start, each fault named by its place.
    void configurationIsChecked_data()
    {
        const testenv::Table<QString, QStringList, QString> row; // "mqtt" block, more arguments, error
        row("broker", R"({"broker": "mqtt ejemplo"})", {}, "mqtt.broker: 'mqtt ejemplo' no es un servidor MQTT");
        row("port", R"({"broker": "localhost:99999"})", {}, "mqtt.broker: 'localhost:99999'");
        row("unknown key", R"({"broker": "localhost", "qos": 1})", {}, "mqtt.qos: clave desconocida");
        row("password alone", R"({"broker": "localhost", "password": "x"})", {}, "mqtt.user: una contrasena va");
        row("key alone", R"({"broker": "localhost", "tls": {"key": "k.pem"}})", {},
            "mqtt.tls.certificate: el certificado del cliente y su clave van juntos");
        row("missing CA", R"({"broker": "localhost", "tls": {"ca": "nada.pem"}})", {}, "mqtt.tls.ca: no se puede leer");
        row("id", R"({"broker": "localhost", "id": "a/b"})", {}, "mqtt.id: debe ser un nombre");
        // Not a raw string: moc 6.4 reads a '#' in one as the start of a directive and loses the class.
        row("prefix", "{\"broker\": \"localhost\", \"prefix\": \"tivor/#\"}", {}, "mqtt.prefix: un prefijo no lleva");
        row("discovery", R"({"broker": "localhost", "discovery": 1})", {}, "mqtt.discovery: debe ser true, false");
        row("--mqtt", R"({"broker": "localhost"})", {"--mqtt", "a:b:c"}, "--mqtt: 'a:b:c' no es un servidor MQTT");
    }
    void configurationIsChecked()
    {
        const auto [mqtt, arguments, error] = testenv::Table<QString, QStringList, QString>::fetch();
        QVERIFY(testenv::writeFile(path("bad.json"),
                                   uR"({"signs": [%1], "mqtt": %2})"_s.arg(ptySign("entrada"), mqtt).toUtf8()));
        QProcess server;
        server.setProcessEnvironment(environment());
        server.start(QStringLiteral(TIVOR_SERVER_PROGRAM), QStringList{"--config", path("bad.json")} + arguments);
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitCode(), 2);
        const QString said = QString::fromUtf8(server.readAllStandardError());
        QVERIFY2(said.contains(error), qPrintable(said));
    }
};

QTEST_MAIN(TestMqtt)
#include "tst_mqtt.moc"
