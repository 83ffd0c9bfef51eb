// The configuration file: read whole, every value checked, the first fault named by its place.
#include "ServerConfig.h"

#include "JsonText.h"
#include "TlsFiles.h"

#include "core/files/FileIO.h"
#include "core/ports/SignPort.h"
#include "core/protocol/SignProtocol.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <set>

namespace
{
QString typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("un texto");
    case QJsonValue::Double:
        return QStringLiteral("un numero");
    case QJsonValue::Bool:
        return QStringLiteral("un valor logico");
    case QJsonValue::Array:
        return QStringLiteral("una lista");
    case QJsonValue::Object:
        return QStringLiteral("un objeto");
    default:
        return QStringLiteral("null");
    }
}

// Line and column of a byte offset, for a file that is not JSON.
QString lineAndColumn(const QByteArray& text, int offset)
{
    const QByteArray before = text.left(offset);
    const int line = int(before.count('\n')) + 1;
    const int column = int(offset - (before.lastIndexOf('\n') + 1)) + 1;
    return QStringLiteral("linea %1, columna %2").arg(line).arg(column);
}

// Checks one file's values, keeping the first fault with its place.
class ConfigReader
{
public:
    explicit ConfigReader(const QString& file) : m_file(file) {}
    const QString& error() const { return m_error; }
    // Where the file's relative paths start.
    QDir folder() const { return QFileInfo(m_file).absoluteDir(); }

    bool fail(const QString& place, const QString& reason)
    {
        m_error = QStringLiteral("%1: %2: %3").arg(m_file, place, reason);
        return false;
    }
    bool onlyKeys(const QJsonObject& object, const QString& place, const QStringList& known)
    {
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!known.contains(it.key()))
                return fail(place + it.key(),
                            QStringLiteral("clave desconocida; se admiten: %1").arg(known.join(QStringLiteral(", "))));
        return true;
    }
    bool text(const QJsonObject& object, const QString& key, const QString& place, QString* out)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return true;
        if (!value.isString())
            return fail(place + key, QStringLiteral("debe ser un texto, no %1").arg(typeName(value)));
        *out = value.toString();
        return true;
    }
    bool delay(const QJsonObject& object, const QString& key, const QString& place, const QStringList& list,
               QString* out)
    {
        if (!text(object, key, place, out))
            return false;
        if (!list.contains(*out))
            return fail(place + key, QStringLiteral("'%1' no es una demora aceptada; use una de: %2")
                                         .arg(*out, list.join(QStringLiteral(", "))));
        return true;
    }
    bool baud(const QJsonObject& object, const QString& place, QString* out)
    {
        const QJsonValue value = object.value(QStringLiteral("baud"));
        if (value.isUndefined())
            return true;
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number != double(qint64(number)) || number <= 0 || number > 4000000)
            return fail(place + QStringLiteral("baud"), QStringLiteral("debe ser una velocidad en baudios (un numero "
                                                                       "entero positivo)"));
        *out = QString::number(qint64(number));
        return true;
    }
    bool groups(const QJsonObject& object, const QString& place, QStringList* out)
    {
        const QJsonValue value = object.value(QStringLiteral("groups"));
        if (value.isUndefined())
            return true;
        if (!value.isArray())
            return fail(place + QStringLiteral("groups"), QStringLiteral("debe ser una lista de nombres"));
        const QJsonArray list = value.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (!isConfigName(list.at(i).toString()))
                return fail(QStringLiteral("%1groups[%2]").arg(place).arg(i), nameRule());
            *out << list.at(i).toString();
        }
        return true;
    }
    static QString nameRule() { return configNameRule(); }

private:
    QString m_file;
    QString m_error;
};

bool readSign(ConfigReader& reader, const QJsonValue& value, const QString& place, SignConfig* sign)
{
    if (!value.isObject())
        return reader.fail(place, QStringLiteral("debe ser un objeto, no %1").arg(typeName(value)));
    const QJsonObject object = value.toObject();
    const QString at = place + QLatin1Char('.');
    sign->line = LineSettings::defaults();
    if (!reader.onlyKeys(object, at, {"id", "name", "port", "baud", "dy1", "dy2", "groups"}) ||
        !reader.text(object, QStringLiteral("id"), at, &sign->id) ||
        !reader.text(object, QStringLiteral("name"), at, &sign->name) ||
        !reader.text(object, QStringLiteral("port"), at, &sign->line.port) ||
        !reader.baud(object, at, &sign->line.baud) ||
        !reader.delay(object, QStringLiteral("dy1"), at, signproto::DelayStartList, &sign->line.dy1) ||
        !reader.delay(object, QStringLiteral("dy2"), at, signproto::DelayCharList, &sign->line.dy2) ||
        !reader.groups(object, at, &sign->groups))
        return false;
    if (!isConfigName(sign->id))
        return reader.fail(at + QStringLiteral("id"), ConfigReader::nameRule());
    if (!object.contains(QStringLiteral("port")))
        return reader.fail(at + QStringLiteral("port"), QStringLiteral("falta el puerto del cartel"));
    if (const QString fault = SignPort::textFault(sign->line.port); !fault.isEmpty() || sign->line.port.isEmpty())
        return reader.fail(at + QStringLiteral("port"), fault.isEmpty() ? QStringLiteral("puerto vacio") : fault);
    if (sign->name.isEmpty())
        sign->name = sign->id;
    return true;
}

// Without "signs" the server serves the desktop's sign, as without a file.
bool readSigns(ConfigReader& reader, const QJsonObject& root, ServerConfig* config)
{
    const QJsonValue signs = root.value(QStringLiteral("signs"));
    if (signs.isUndefined())
        return true;
    if (!signs.isArray() || signs.toArray().isEmpty())
        return reader.fail(QStringLiteral("signs"), QStringLiteral("debe ser una lista de uno o mas carteles"));
    std::set<QString> ids;
    const QJsonArray list = signs.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString place = QStringLiteral("signs[%1]").arg(i);
        SignConfig sign;
        if (!readSign(reader, list.at(i), place, &sign))
            return false;
        if (!ids.insert(sign.id).second)
            return reader.fail(place + QStringLiteral(".id"), QStringLiteral("'%1' ya es otro cartel").arg(sign.id));
        config->signs.push_back(sign);
    }
    return true;
}

bool readToken(ConfigReader& reader, const QJsonValue& value, const QString& place, StoredToken* token)
{
    const QJsonObject object = value.toObject();
    const QString at = place + QLatin1Char('.');
    QString scope, hash;
    if (!value.isObject())
        return reader.fail(place, QStringLiteral("debe ser un objeto, no %1").arg(typeName(value)));
    if (!reader.onlyKeys(object, at, {"name", "scope", "sha256"}) ||
        !reader.text(object, QStringLiteral("name"), at, &token->name) ||
        !reader.text(object, QStringLiteral("scope"), at, &scope) ||
        !reader.text(object, QStringLiteral("sha256"), at, &hash))
        return false;
    if (!isConfigName(token->name))
        return reader.fail(at + QStringLiteral("name"), configNameRule());
    if (!parseScope(scope, &token->scope))
        return reader.fail(at + QStringLiteral("scope"), QStringLiteral("debe ser uno de: %1").arg(scopeNamesText()));
    token->sha256 = QByteArray::fromHex(hash.toLatin1());
    if (hash.size() != 64 || token->sha256.toHex() != hash.toLower().toLatin1())
        return reader.fail(at + QStringLiteral("sha256"), QStringLiteral("debe ser un SHA-256 en 64 cifras "
                                                                         "hexadecimales (tivor-server token add)"));
    return true;
}

bool readTokens(ConfigReader& reader, const QJsonObject& root, ServerConfig* config)
{
    const QJsonValue tokens = root.value(QStringLiteral("tokens"));
    if (tokens.isUndefined())
        return true;
    if (!tokens.isArray())
        return reader.fail(QStringLiteral("tokens"), QStringLiteral("debe ser una lista de tokens"));
    const QJsonArray list = tokens.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString place = QStringLiteral("tokens[%1]").arg(i);
        StoredToken token;
        if (!readToken(reader, list.at(i), place, &token))
            return false;
        for (const StoredToken& other : config->tokens)
            if (other.name == token.name)
                return reader.fail(place + QStringLiteral(".name"),
                                   QStringLiteral("'%1' ya es otro token").arg(token.name));
        config->tokens.push_back(token);
    }
    return true;
}

bool readCount(ConfigReader& reader, const QJsonObject& object, const QString& key, int most, int* out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return true;
    const double number = value.toDouble(0);
    if (!value.isDouble() || number != double(int(number)) || number < 1 || number > most)
        return reader.fail(QStringLiteral("limits.") + key,
                           QStringLiteral("debe ser un numero entero de 1 a %1").arg(most));
    *out = int(number);
    return true;
}

bool readLimits(ConfigReader& reader, const QJsonObject& root, ServerLimits* limits)
{
    const QJsonValue value = root.value(QStringLiteral("limits"));
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return reader.fail(QStringLiteral("limits"), QStringLiteral("debe ser un objeto"));
    const QJsonObject object = value.toObject();
    return reader.onlyKeys(object, QStringLiteral("limits."), {"connections", "requestsPerMinute"}) &&
           readCount(reader, object, QStringLiteral("connections"), 10000, &limits->connections) &&
           readCount(reader, object, QStringLiteral("requestsPerMinute"), 1000000, &limits->requestsPerMinute);
}

bool readTls(ConfigReader& reader, const QJsonObject& root, QSslConfiguration* tls)
{
    const QJsonValue value = root.value(QStringLiteral("tls"));
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return reader.fail(QStringLiteral("tls"), QStringLiteral("debe ser un objeto: {\"certificate\": ARCHIVO, "
                                                                 "\"key\": ARCHIVO}"));
    const QJsonObject object = value.toObject();
    QString files[2];
    const QString keys[2] = {QStringLiteral("certificate"), QStringLiteral("key")};
    if (!reader.onlyKeys(object, QStringLiteral("tls."), {keys[0], keys[1]}))
        return false;
    for (int i = 0; i < 2; ++i) {
        if (!reader.text(object, keys[i], QStringLiteral("tls."), &files[i]))
            return false;
        if (files[i].isEmpty())
            return reader.fail(QStringLiteral("tls.") + keys[i], QStringLiteral("falta el archivo PEM"));
        files[i] = reader.folder().absoluteFilePath(files[i]);
    }
    QString place, reason;
    if (!loadTlsFiles(files[0], files[1], tls, &place, &reason))
        return reader.fail(QStringLiteral("tls.") + place, reason);
    return true;
}

// The broker's certificate authority, and the client's own certificate and key when the broker asks for one.
bool readMqttTls(ConfigReader& reader, const QJsonObject& mqtt, MqttConfig* config)
{
    const QJsonValue value = mqtt.value(QStringLiteral("tls"));
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return reader.fail(QStringLiteral("mqtt.tls"), QStringLiteral("debe ser un objeto: {\"ca\": ARCHIVO, "
                                                                      "\"certificate\": ARCHIVO, \"key\": ARCHIVO}"));
    const QJsonObject object = value.toObject();
    const QString at = QStringLiteral("mqtt.tls.");
    if (!reader.onlyKeys(object, at, {"ca", "certificate", "key"}) ||
        !reader.text(object, QStringLiteral("ca"), at, &config->caFile) ||
        !reader.text(object, QStringLiteral("certificate"), at, &config->certificateFile) ||
        !reader.text(object, QStringLiteral("key"), at, &config->keyFile))
        return false;
    if (config->certificateFile.isEmpty() != config->keyFile.isEmpty())
        return reader.fail(at + (config->keyFile.isEmpty() ? QStringLiteral("key") : QStringLiteral("certificate")),
                           QStringLiteral("el certificado del cliente y su clave van juntos"));
    for (QString* file : {&config->caFile, &config->certificateFile, &config->keyFile}) {
        if (file->isEmpty())
            continue;
        *file = reader.folder().absoluteFilePath(*file);
        if (!QFileInfo(*file).isReadable())
            return reader.fail(at + (file == &config->caFile    ? QStringLiteral("ca")
                                     : file == &config->keyFile ? QStringLiteral("key")
                                                                : QStringLiteral("certificate")),
                               QStringLiteral("no se puede leer %1").arg(*file));
    }
    config->tls = true;
    return true;
}

// "discovery": true or false, or the discovery prefix itself (Home Assistant's is "homeassistant").
bool readDiscovery(ConfigReader& reader, const QJsonObject& mqtt, MqttConfig* config)
{
    const QJsonValue value = mqtt.value(QStringLiteral("discovery"));
    if (value.isBool())
        config->discovery = value.toBool();
    else if (value.isString() && !value.toString().isEmpty() && !value.toString().contains(QLatin1Char('#')) &&
             !value.toString().contains(QLatin1Char('+')))
        config->discoveryPrefix = value.toString();
    else if (!value.isUndefined())
        return reader.fail(QStringLiteral("mqtt.discovery"),
                           QStringLiteral("debe ser true, false o el prefijo de descubrimiento (\"homeassistant\")"));
    return true;
}

bool readMqtt(ConfigReader& reader, const QJsonObject& root, MqttConfig* config)
{
    const QJsonValue value = root.value(QStringLiteral("mqtt"));
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return reader.fail(QStringLiteral("mqtt"), QStringLiteral("debe ser un objeto"));
    const QJsonObject object = value.toObject();
    const QString at = QStringLiteral("mqtt.");
    QString broker, reason;
    if (!reader.onlyKeys(object, at, {"broker", "user", "password", "tls", "prefix", "id", "discovery"}) ||
        !reader.text(object, QStringLiteral("broker"), at, &broker) ||
        !reader.text(object, QStringLiteral("user"), at, &config->user) ||
        !reader.text(object, QStringLiteral("password"), at, &config->password) ||
        !reader.text(object, QStringLiteral("prefix"), at, &config->prefix) ||
        !reader.text(object, QStringLiteral("id"), at, &config->id) || !readMqttTls(reader, object, config) ||
        !readDiscovery(reader, object, config))
        return false;
    if (!parseBroker(broker, config, &reason))
        return reader.fail(at + QStringLiteral("broker"), reason);
    if (!config->password.isEmpty() && config->user.isEmpty())
        return reader.fail(at + QStringLiteral("user"), QStringLiteral("una contrasena va con su usuario"));
    if (config->prefix.contains(QLatin1Char('#')) || config->prefix.contains(QLatin1Char('+')) ||
        config->prefix.endsWith(QLatin1Char('/')))
        return reader.fail(at + QStringLiteral("prefix"),
                           QStringLiteral("un prefijo no lleva '#' ni '+' ni termina en '/'"));
    if (!config->id.isEmpty() && !isConfigName(config->id))
        return reader.fail(at + QStringLiteral("id"), configNameRule());
    return true;
}

bool readConfig(ConfigReader& reader, const QJsonObject& root, ServerConfig* config)
{
    if (!reader.onlyKeys(root, QString(), {"listen", "signs", "messages", "tokens", "limits", "tls", "mqtt"}))
        return false;
    QString listen;
    QString reason;
    if (!reader.text(root, QStringLiteral("listen"), QString(), &listen) ||
        !reader.text(root, QStringLiteral("messages"), QString(), &config->messages))
        return false;
    if (!listen.isEmpty() && !parseListen(listen, &config->listen, &reason))
        return reader.fail(QStringLiteral("listen"), reason);
    return readSigns(reader, root, config) && readTokens(reader, root, config) &&
           readLimits(reader, root, &config->limits) && readTls(reader, root, &config->tls) &&
           readMqtt(reader, root, &config->mqtt);
}
} // namespace

const SignConfig* ServerConfig::sign(const QString& id) const
{
    for (const SignConfig& s : signs)
        if (s.id == id)
            return &s;
    return nullptr;
}

QString defaultConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tivor/tivor-server.json");
}

QString dataFolder()
{
    // systemd may list several folders; the first is the unit's own.
    const QString given = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    return given.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) : given;
}

QString defaultMessagesFolder()
{
    return dataFolder() + QStringLiteral("/mensajes");
}

QString statePath()
{
    return dataFolder() + QStringLiteral("/estado.json");
}

QString schedulesPath()
{
    return dataFolder() + QStringLiteral("/horarios.json");
}

ServerConfig desktopConfig(const LineSettings& desktop)
{
    ServerConfig config;
    config.signs.push_back({QStringLiteral("cartel"), QStringLiteral("Cartel"), desktop, {}});
    config.messages = defaultMessagesFolder();
    return config;
}

bool loadServerConfig(const QString& path, ServerConfig* config, QString* error)
{
    ConfigReader reader(path);
    QByteArray text;
    FileFailure failure;
    if (!readWholeFile(path, &text, &failure)) {
        *error = QStringLiteral("%1: no se pudo leer (%2)")
                     .arg(path, failure.kind == FileFailure::Missing ? QStringLiteral("no existe") : failure.reason);
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError)
        reader.fail(lineAndColumn(text, parse.offset),
                    QStringLiteral("no es JSON valido (%1)").arg(jsonErrorText(parse)));
    else if (!document.isObject())
        reader.fail(QStringLiteral("linea 1"), QStringLiteral("debe ser un objeto JSON"));
    else if (readConfig(reader, document.object(), config)) {
        config->file = path;
        // A relative folder is the file's neighbour, wherever the server was started from.
        config->messages = config->messages.isEmpty()
                               ? defaultMessagesFolder()
                               : QDir(QFileInfo(path).absolutePath()).absoluteFilePath(config->messages);
        return true;
    }
    *error = reader.error();
    return false;
}

bool parseListen(const QString& text, ListenAddress* listen, QString* reason)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool number = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&number);
    QString host = colon < 0 ? QString() : text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        host.clear(); // an IPv6 address goes in brackets, so that its port can be told from it
    const QHostAddress address =
        host == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(host);
    if (address.isNull() || !number || port > 65535) {
        *reason = QStringLiteral("'%1' no es una direccion de escucha; use EQUIPO:PUERTO (127.0.0.1:8470, [::1]:8470)")
                      .arg(text);
        return false;
    }
    *listen = {address, quint16(port)};
    return true;
}

bool parseBroker(const QString& text, MqttConfig* mqtt, QString* reason)
{
    // The last colon parts off the port unless it belongs to a bare IPv6 address.
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    const bool bracketed = text.startsWith(QLatin1Char('['));
    const bool hasPort = colon > 0 && (bracketed ? text.at(colon - 1) == QLatin1Char(']') : text.count(u':') == 1);
    QString host = hasPort ? text.left(colon) : text;
    bool number = true;
    const uint port = hasPort ? text.mid(colon + 1).toUInt(&number) : 0;
    if (bracketed && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    const bool hostOk = !host.isEmpty() && (name.match(host).hasMatch() || !QHostAddress(host).isNull());
    if (!hostOk || !number || port > 65535 || (hasPort && port == 0)) {
        *reason =
            QStringLiteral("'%1' no es un servidor MQTT; use EQUIPO:PUERTO (mqtt.ejemplo.org:8883, 127.0.0.1:1883)")
                .arg(text);
        return false;
    }
    mqtt->host = host;
    mqtt->port = quint16(port);
    return true;
}

bool completeMqtt(MqttConfig* mqtt, QString* reason)
{
    if (mqtt->port == 0)
        mqtt->port = mqtt->tls ? 8883 : 1883;
    if (mqtt->id.isEmpty()) {
        // A host name may hold what a topic and an id may not; what is left of it names the server.
        mqtt->id = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
        mqtt->id.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("-"));
    }
    if (!isConfigName(mqtt->id)) {
        *reason = QStringLiteral("mqtt.id: '%1': %2").arg(mqtt->id, configNameRule());
        return false;
    }
    if (mqtt->prefix.isEmpty())
        mqtt->prefix = QStringLiteral("tivor/") + mqtt->id;
    return true;
}

QString listenFault(const ListenAddress& listen, bool tokens)
{
    if (tokens || listen.host.isLoopback())
        return QString();
    return QStringLiteral("sin tokens configurados solo se atiende a esta maquina: escuche en 127.0.0.1 o [::1], "
                          "o cree un token (tivor-server token add NOMBRE --scope send)");
}

bool isConfigName(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_.-]{0,63}$"));
    return pattern.match(text).hasMatch();
}

QString configNameRule()
{
    return QStringLiteral("debe ser un nombre de 1 a 64 letras, cifras, '-', '_' o '.' (sin acentos), que no empiece "
                          "con signo");
}
