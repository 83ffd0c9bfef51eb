// tivor-server: the signs on the network through an HTTP API, without a display.
#include "Journal.h"
#include "ServerConfig.h"
#include "SignServer.h"
#include "TokenCommand.h"
#include "platform/ServiceNotify.h"
#ifdef TIVOR_HAVE_MQTT
#include "MqttBridge.h"
#endif

#include "core/platform/EndingSignals.h"
#include "core/platform/Program.h"
#include "core/platform/Terminal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace
{
// Distinct statuses so that a service manager's log tells what stopped it.
enum Status {
    StatusOk = 0,
    StatusUsage = 2,  // an option or the configuration is not accepted
    StatusListen = 3, // the address cannot be listened on
};

int fail(int status, const QString& message)
{
    const QByteArray line = platform::standardStreamText(QStringLiteral("tivor-server: %1\n").arg(message));
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    return status;
}

QString description()
{
    return QStringLiteral(
               "Atiende una API HTTP (JSON, bajo /api/v1) para cargar mensajes en los carteles.\n\n"
               "Sin configuracion atiende un cartel, 'cartel', con el puerto, la velocidad y las demoras de las\n"
               "opciones de Tivor. La configuracion (JSON) se lee de --config o, si existe, de\n  %1\n"
               "Ejemplo:\n"
               "  {\"listen\": \"127.0.0.1:8470\",\n"
               "   \"signs\": [{\"id\": \"entrada\", \"name\": \"Entrada\", \"port\": \"/dev/ttyUSB0\", \"baud\": "
               "9600,\n"
               "               \"dy1\": \"200\", \"dy2\": \"05\", \"groups\": [\"planta-baja\"]}],\n"
               "   \"messages\": \"mensajes\",\n"
               "   \"limits\": {\"connections\": 64, \"requestsPerMinute\": 600}}\n"
               "'messages' es la carpeta de los mensajes guardados (relativa al archivo; por omision\n  %2).\n"
               "Con \"tls\": {\"certificate\": \"servidor.pem\", \"key\": \"servidor.key\"} (PEM, relativos al\n"
               "archivo: el certificado con su cadena detras, la clave privada sin contrasena) solo se atiende\n"
               "HTTPS; un certificado o una clave que no sirven se rechazan al arrancar. Sin tokens solo se\n"
               "escucha en esta maquina, tambien con TLS.\n"
               "Lo que muestra cada cartel (el ultimo envio que le llego entero) se guarda en\n  %3\n"
               "Los horarios (PUT /api/v1/schedules/ID: 'cron' de cinco campos o 'at' ISO 8601, 'zone' IANA,\n"
               "'action' show o clock sobre 'signs' y 'groups', 'misfire' skip o run-once) y su ultima vez se\n"
               "guardan en\n  %4\n"
               "La carpeta de datos es $STATE_DIRECTORY cuando systemd la da (/var/lib/tivor para el servicio).\n"
               "Sin 'signs', el cartel de las opciones de Tivor. Los tokens se agregan con\n"
               "  tivor-server token add NOMBRE --scope read|send|admin [--config ARCHIVO]\n"
               "que muestra el token una sola vez y guarda solo su SHA-256. Sin tokens solo se escucha en 127.0.0.1\n"
               "o [::1]; con tokens, toda solicitud salvo /healthz lleva 'Authorization: Bearer TOKEN'.\n"
               "Limites: cuerpo de 64 KB, encabezados de 8 KB, 10 s para recibir una solicitud y para una conexion\n"
               "inactiva, 'connections' conexiones a la vez, 'requestsPerMinute' solicitudes por minuto por cliente.\n"
               "No lo exponga directamente a Internet: use un proxy inverso.\n"
               "Como servicio (paquete Debian): systemctl enable --now tivor-server, con la configuracion en\n"
               "/etc/tivor/tivor-server.json y los datos en /var/lib/tivor. Avisa a systemd cuando escucha y a la\n"
               "mitad de WatchdogSec; anota cada solicitud y cada trabajo en la salida de error (journalctl -u\n"
               "tivor-server). SIGTERM termina los envios en curso con el fin 01 01 antes de salir.\n"
               "MQTT: con \"mqtt\": {\"broker\": \"EQUIPO:PUERTO\", \"user\": \"sitio1\", \"password\": \"...\",\n"
               "   \"tls\": {\"ca\": \"ca.pem\", \"certificate\": \"cliente.pem\", \"key\": \"cliente.key\"},\n"
               "   \"id\": \"sitio1\", \"prefix\": \"tivor/sitio1\", \"discovery\": true}\n"
               "(o --mqtt EQUIPO:PUERTO, sin archivo) cada cartel atiende bajo PREFIJO/sign/ID/ y cada grupo bajo\n"
               "PREFIJO/group/G/: text/set (texto, '|' entre paginas), show/set (JSON como POST /show),\n"
               "message/set (un mensaje guardado), clock/set (la hora); publica retenidos text/state, job/state y\n"
               "available, y PREFIJO/status (online; offline al irse). 'id' es el de este servidor (por omision el\n"
               "nombre del equipo) y 'prefix' por omision tivor/ID. Con 'discovery' (por omision true; o el\n"
               "prefijo, \"homeassistant\") cada cartel aparece en Home Assistant como un dispositivo. 'tls' sin\n"
               "\"ca\" usa las autoridades del sistema; los archivos son relativos al archivo de configuracion.\n"
               "La API se describe en /api/v1/openapi.json. Estados de salida: 2 opciones o configuracion,\n"
               "3 no se pudo escuchar, 4 no se pudo escribir la configuracion (token add).")
        .arg(defaultConfigPath(), defaultMessagesFolder(), statePath(), schedulesPath());
}

// Qt's own help is in English; the program speaks Spanish without accents.
QString helpText(const QList<QCommandLineOption>& options)
{
    QString text = QStringLiteral("Uso: tivor-server [opciones]\n%1\n\nOpciones:\n").arg(description());
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        const QString value = option.valueName().isEmpty() ? QString() : QStringLiteral(" ") + option.valueName();
        text +=
            QStringLiteral("  %1  %2\n").arg(names.join(QStringLiteral(", ")) + value, -26).arg(option.description());
    }
    return text;
}

int printOut(const QString& text)
{
    const QByteArray bytes = platform::standardStreamText(text);
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return std::fflush(stdout) == 0 && written ? StatusOk : StatusUsage;
}

// The configuration given, else the default file when there is one, else the desktop's settings.
int loadConfig(const QString& given, ServerConfig* config)
{
    const QString path = given.isEmpty() && QFileInfo::exists(defaultConfigPath()) ? defaultConfigPath() : given;
    QString error;
    if (!path.isEmpty() && !loadServerConfig(path, config, &error))
        return fail(StatusUsage, error);
    if (!config->signs.empty())
        return -1;
    QString problem;
    config->signs = desktopConfig(loadLineSettings(userSettings(), &problem)).signs;
    if (config->messages.isEmpty())
        config->messages = defaultMessagesFolder();
    if (!problem.isEmpty())
        fail(StatusOk, QStringLiteral("no se pudieron leer las opciones guardadas (%1); se usan los valores por "
                                      "omision")
                           .arg(problem));
    return -1;
}

QString urlOf(const QHostAddress& host, quint16 port, bool tls)
{
    const QString text = host.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]").arg(host.toString())
                                                                          : host.toString();
    return QStringLiteral("%1://%2:%3").arg(tls ? QStringLiteral("https") : QStringLiteral("http"), text).arg(port);
}

// "token ...": its own command, which never serves.
int runTokenCommand(const QStringList& arguments)
{
    const CommandOutput output = tokenCommand(arguments);
    if (!output.error.isEmpty())
        fail(output.status, output.error);
    return output.out.isEmpty() ? output.status : std::max(output.status, printOut(output.out));
}

// Listens where the configuration and --listen say, within its limits; null after saying why not.
ConnectionGuard* listenFor(const ServerConfig& config, const QCommandLineParser& parser,
                           const QCommandLineOption& listenOption, int* status)
{
    // Named where it was given: the option as typed, or the file's place.
    if (const QString fault = listenFault(config.listen, !config.tokens.empty()); !fault.isEmpty()) {
        *status = fail(StatusUsage, parser.isSet(listenOption)
                                        ? QStringLiteral("--listen %1: %2").arg(parser.value(listenOption), fault)
                                        : QStringLiteral("%1: listen: %2").arg(config.file, fault));
        return nullptr;
    }
    auto listening = std::make_unique<ConnectionGuard>(config.limits, config.tls);
    if (!listening->listen(config.listen.host, config.listen.port)) {
        *status = fail(StatusListen, QStringLiteral("no se pudo escuchar en %1 (%2)")
                                         .arg(urlOf(config.listen.host, config.listen.port, !config.tls.isNull()),
                                              listening->errorString()));
        return nullptr;
    }
    fail(StatusOk, QStringLiteral("escuchando en %1 (carteles: %2)")
                       .arg(urlOf(listening->serverAddress(), listening->serverPort(), !config.tls.isNull()))
                       .arg(qsizetype(config.signs.size())));
    return listening.release();
}
// Serves until a stop request (SIGTERM from the service manager, Ctrl-C) ends the event loop; the jobs then end as
// Ctrl-C ends a send, with the terminator on every line, before the server exits.
int serveUntilStopped(QCoreApplication& app, ServerConfig config, ConnectionGuard* listening)
{
    SignServer server(std::move(config));
    server.serve(listening);
#ifdef TIVOR_HAVE_MQTT
    std::unique_ptr<MqttBridge> mqtt;
    if (server.config().mqtt.enabled()) {
        mqtt = std::make_unique<MqttBridge>(server.config().mqtt, server);
        mqtt->start();
    }
#endif
    std::atomic<bool> stopRequested = false;
    const platform::EndingSignals endingSignals(stopRequested);
    QObject::connect(&endingSignals, &platform::EndingSignals::arrived, &app, &QCoreApplication::quit);
    platform::ServiceNotify service;
    service.ready();
    const int status = app.exec();
    service.stopping();
#ifdef TIVOR_HAVE_MQTT
    // Said before the lines are stopped, so that a hub sees the server go at once.
    if (mqtt)
        mqtt->stop();
#endif
    server.stop();
    journal(QStringLiteral("detenido"));
    return status;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tivor"));
    QCoreApplication::setApplicationName(QStringLiteral("tivor-server"));
    QCoreApplication::setApplicationVersion(platform::versionString());
    if (const QStringList arguments = QCoreApplication::arguments().mid(1);
        !arguments.isEmpty() && arguments.first() == QLatin1String("token"))
        return runTokenCommand(arguments);

    QCommandLineParser parser;
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Muestra esta ayuda"));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Muestra la version"));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Direccion y puerto de escucha (por omision 127.0.0.1:8470)"),
                                          QStringLiteral("EQUIPO:PUERTO"));
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("Archivo de configuracion (JSON)"),
                                          QStringLiteral("ARCHIVO"));
    const QCommandLineOption mqttOption(QStringLiteral("mqtt"),
                                        QStringLiteral("Servidor MQTT (broker), sobre el de la configuracion"),
                                        QStringLiteral("EQUIPO:PUERTO"));
    const QList<QCommandLineOption> options{listenOption, configOption, mqttOption, helpOption, versionOption};
    parser.addOptions(options);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(StatusUsage, parser.errorText());
    if (parser.isSet(helpOption))
        return printOut(helpText(options));
    if (parser.isSet(versionOption))
        return printOut(QStringLiteral("tivor-server %1\n").arg(platform::versionString()));
    if (!parser.positionalArguments().isEmpty())
        return fail(StatusUsage, QStringLiteral("argumento de mas: '%1'").arg(parser.positionalArguments().first()));

    ServerConfig config;
    if (const int status = loadConfig(parser.value(configOption), &config); status >= 0)
        return status;
    QString reason;
    if (parser.isSet(listenOption) && !parseListen(parser.value(listenOption), &config.listen, &reason))
        return fail(StatusUsage, QStringLiteral("--listen: %1").arg(reason));
    if (parser.isSet(mqttOption) && !parseBroker(parser.value(mqttOption), &config.mqtt, &reason))
        return fail(StatusUsage, QStringLiteral("--mqtt: %1").arg(reason));
    if (config.mqtt.enabled()) {
#ifdef TIVOR_HAVE_MQTT
        if (!completeMqtt(&config.mqtt, &reason))
            return fail(StatusUsage, reason);
#else
        return fail(StatusUsage, QStringLiteral("este tivor-server se construyo sin MQTT (falta libmosquitto)"));
#endif
    }
    int status = StatusOk;
    ConnectionGuard* listening = listenFor(config, parser, listenOption, &status);
    if (!listening)
        return status;
    return serveUntilStopped(app, std::move(config), listening);
}
