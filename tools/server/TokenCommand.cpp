// The configuration file is read and checked whole before the token is added, and replaced atomically: a
// failure leaves it as it was, and no token is shown that the server would not accept.
#include "TokenCommand.h"

#include "ServerConfig.h"
#include "Tokens.h"

#include "core/files/FileIO.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
constexpr int StatusUsage = 2;
constexpr int StatusFile = 4;

QString helpText()
{
    return QStringLiteral(
               "Uso: tivor-server token add NOMBRE --scope ALCANCE [--config ARCHIVO]\n"
               "Crea un token, lo muestra una sola vez y guarda solo su SHA-256 en la configuracion (se crea si no "
               "existe;\npor omision %1).\n"
               "ALCANCE: read (consultar), send (ademas enviar, poner la hora y cancelar trabajos) o admin (ademas "
               "guardar y\nborrar mensajes). Con tokens configurados, toda solicitud salvo /healthz lleva\n"
               "  Authorization: Bearer TOKEN\n")
        .arg(defaultConfigPath());
}

// The file as JSON, or an empty configuration when there is none yet; checked by the server's own rules.
bool readConfigObject(const QString& path, QJsonObject* root, QString* error)
{
    if (!QFileInfo::exists(path))
        return true;
    ServerConfig config;
    if (!loadServerConfig(path, &config, error))
        return false;
    QByteArray text;
    if (!readWholeFile(path, &text)) {
        *error = QStringLiteral("%1: no se pudo leer").arg(path);
        return false;
    }
    *root = QJsonDocument::fromJson(text).object();
    return true;
}

CommandOutput addToken(const QString& name, Scope scope, const QString& path)
{
    QJsonObject root;
    QString error;
    if (!readConfigObject(path, &root, &error))
        return {StatusUsage, {}, error};
    QJsonArray tokens = root.value(QStringLiteral("tokens")).toArray();
    for (const QJsonValue token : tokens)
        if (token.toObject().value(QStringLiteral("name")).toString() == name)
            return {StatusUsage, {}, QStringLiteral("%1: ya hay un token '%2'").arg(path, name)};
    const QByteArray token = newToken();
    tokens.append(QJsonObject{{QStringLiteral("name"), name},
                              {QStringLiteral("scope"), scopeName(scope)},
                              {QStringLiteral("sha256"), QString::fromLatin1(tokenHash(token).toHex())}});
    root.insert(QStringLiteral("tokens"), tokens);
    FileFailure failure;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !writeFileAtomically(path, QJsonDocument(root).toJson(QJsonDocument::Indented), &failure))
        return {StatusFile, {}, QStringLiteral("%1: no se pudo escribir (%2)").arg(path, failure.reason)};
    return {0, QString::fromLatin1(token) + QLatin1Char('\n'),
            QStringLiteral("token '%1' (%2) guardado en %3; no se vuelve a mostrar").arg(name, scopeName(scope), path)};
}
} // namespace

CommandOutput tokenCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption scope(QStringLiteral("scope"), QString(), QStringLiteral("ALCANCE"));
    const QCommandLineOption config(QStringLiteral("config"), QString(), QStringLiteral("ARCHIVO"));
    parser.addOptions({help, scope, config});
    if (!parser.parse(QStringList{QStringLiteral("tivor-server")} + arguments))
        return {StatusUsage, {}, QStringLiteral("token: %1").arg(parser.errorText())};
    if (parser.isSet(help))
        return {0, helpText(), {}};
    const QStringList words = parser.positionalArguments(); // "token", "add", NAME
    if (words.size() != 3 || words.at(1) != QLatin1String("add"))
        return {StatusUsage, {}, QStringLiteral("token: use tivor-server token add NOMBRE --scope ALCANCE")};
    if (!isConfigName(words.at(2)))
        return {StatusUsage, {}, QStringLiteral("token: '%1' %2").arg(words.at(2), configNameRule())};
    Scope chosen = Scope::Read;
    if (!parseScope(parser.value(scope), &chosen))
        return {StatusUsage, {}, QStringLiteral("token: --scope debe ser uno de: %1").arg(scopeNamesText())};
    return addToken(words.at(2), chosen, parser.isSet(config) ? parser.value(config) : defaultConfigPath());
}
