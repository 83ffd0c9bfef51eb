// What tivor-server serves: its signs and where it listens, from a JSON file or from the desktop's settings.
#pragma once

#include "ConnectionGuard.h"
#include "Tokens.h"

#include "core/settings/LineSettings.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <vector>

struct SignConfig
{
    QString id;        // in the API's paths
    QString name;      // for people
    LineSettings line; // port text as tivor-cli takes it, baud rate, DY1, DY2
    QStringList groups;
};

struct ListenAddress
{
    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = 8470;
};

// The broker the server talks to through MQTT; no host, no MQTT.
struct MqttConfig
{
    QString host;
    quint16 port = 1883;
    QString user, password;
    bool tls = false;
    QString caFile;                   // empty with tls: the system's certificate authorities
    QString certificateFile, keyFile; // the client's own, both or neither
    QString id;                       // this server among others on one broker; the host name when not given
    QString prefix;                   // tivor/<id> when not given
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    bool enabled() const { return !host.isEmpty(); }
};

struct ServerConfig
{
    QString file; // where it was read from; empty for the desktop's settings
    ListenAddress listen;
    std::vector<SignConfig> signs;
    QString messages; // the folder of the stored messages
    std::vector<StoredToken> tokens;
    ServerLimits limits;
    QSslConfiguration tls; // the certificate and key "tls" names; null for plain HTTP
    MqttConfig mqtt;

    const SignConfig* sign(const QString& id) const;
};

// Where the configuration is looked for when none is given: beside the desktop's settings.
QString defaultConfigPath();

// The server's data folder: systemd's STATE_DIRECTORY for the service (/var/lib/tivor), else under
// XDG_DATA_HOME.
QString dataFolder();

// Where the stored messages are kept when the configuration does not say: a "mensajes" folder in the data folder.
QString defaultMessagesFolder();

// What each sign is believed to show, beside the messages: "estado.json" in the data folder.
QString statePath();

// The schedules and each one's last run, beside the state: "horarios.json" in the data folder.
QString schedulesPath();

// No file: one sign, "cartel", on the desktop's port with its line settings and delays.
ServerConfig desktopConfig(const LineSettings& desktop);

// Reads and checks the whole file; false with "FILE: place: reason" in `error`.
bool loadServerConfig(const QString& path, ServerConfig* config, QString* error);

// "HOST:PORT": an IPv4 address, an IPv6 one in brackets, or "localhost"; false with the reason.
bool parseListen(const QString& text, ListenAddress* listen, QString* reason);

// "HOST:PORT" or "HOST" (the port then 1883, 8883 with TLS) of an MQTT broker; false with the reason.
bool parseBroker(const QString& text, MqttConfig* mqtt, QString* reason);

// The id and prefix not given, from the host name; an id that is not a config name is refused.
bool completeMqtt(MqttConfig* mqtt, QString* reason);

// Why the server may not listen there: without tokens only this machine may be served. Empty when it may.
QString listenFault(const ListenAddress& listen, bool tokens);

// What ids, groups and token names may be: they go into paths and onto command lines as they are.
bool isConfigName(const QString& text);
QString configNameRule();
