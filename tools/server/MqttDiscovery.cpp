// Per-entity config topics, the form every Home Assistant with MQTT text entities reads; the keys are written
// out (not abbreviated) so that a person reading the broker understands them.
#include "MqttDiscovery.h"

#include "JsonText.h"

#include "core/platform/Program.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
// Home Assistant's node and object ids take letters, digits, '_' and '-'; a config name may also hold '.'.
QString discoveryId(QString id)
{
    return id.replace(QLatin1Char('.'), QLatin1Char('_'));
}

// The longest state Home Assistant keeps, and so the longest text its text entity takes.
constexpr int MaxStateCharacters = 255;
} // namespace

QString signTopic(const MqttConfig& config, const QString& id)
{
    return QStringLiteral("%1/sign/%2").arg(config.prefix, id);
}

QString groupTopic(const MqttConfig& config, const QString& group)
{
    return QStringLiteral("%1/group/%2").arg(config.prefix, group);
}

QString statusTopic(const MqttConfig& config)
{
    return config.prefix + QStringLiteral("/status");
}

std::vector<MqttMessage> discoveryMessages(const MqttConfig& config, const SignConfig& sign,
                                           const QStringList& messages)
{
    const QString base = signTopic(config, sign.id);
    // The server's id in every unique id: several servers on one broker may each have a sign "entrada".
    const QString device = QStringLiteral("tivor_%1_%2").arg(config.id, sign.id);
    const QJsonObject deviceJson{{QStringLiteral("identifiers"), QJsonArray{device}},
                                 {QStringLiteral("name"), sign.name},
                                 {QStringLiteral("manufacturer"), QStringLiteral("Tivor")},
                                 {QStringLiteral("model"), QStringLiteral("Cartel LED")},
                                 {QStringLiteral("sw_version"), platform::versionString()}};
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("tivor-server")},
                             {QStringLiteral("sw_version"), platform::versionString()}};
    // Every entity is unavailable while the server is away; the connectivity sensor says whether the port is.
    const QJsonArray availability{QJsonObject{{QStringLiteral("topic"), statusTopic(config)}}};
    std::vector<MqttMessage> out;
    const auto entity = [&](const QString& component, const QString& object, const QString& name, QJsonObject fields) {
        fields.insert(QStringLiteral("name"), name);
        fields.insert(QStringLiteral("unique_id"), device + QLatin1Char('_') + object);
        fields.insert(QStringLiteral("device"), deviceJson);
        fields.insert(QStringLiteral("origin"), origin);
        fields.insert(QStringLiteral("availability"), availability);
        out.push_back(
            {QStringLiteral("%1/%2/tivor_%3/%4_%5/config")
                 .arg(config.discoveryPrefix, component, discoveryId(config.id), discoveryId(sign.id), object),
             jsonBytes(QJsonDocument(fields), QJsonDocument::Compact)});
    };
    entity(QStringLiteral("text"), QStringLiteral("mensaje"), QStringLiteral("Mensaje"),
           {{QStringLiteral("command_topic"), base + QStringLiteral("/text/set")},
            {QStringLiteral("state_topic"), base + QStringLiteral("/text/state")},
            // A long message's state is cut, not refused: Home Assistant drops a state over its length.
            {QStringLiteral("value_template"), QStringLiteral("{{ value[:%1] }}").arg(MaxStateCharacters)},
            {QStringLiteral("max"), MaxStateCharacters},
            {QStringLiteral("icon"), QStringLiteral("mdi:message-text")}});
    entity(QStringLiteral("select"), QStringLiteral("guardado"), QStringLiteral("Mensaje guardado"),
           {{QStringLiteral("command_topic"), base + QStringLiteral("/message/set")},
            {QStringLiteral("options"), QJsonArray::fromStringList(messages)},
            {QStringLiteral("icon"), QStringLiteral("mdi:playlist-play")}});
    if (messages.isEmpty())
        out.back().payload.clear();
    entity(QStringLiteral("button"), QStringLiteral("hora"), QStringLiteral("Poner en hora"),
           {{QStringLiteral("command_topic"), base + QStringLiteral("/clock/set")},
            {QStringLiteral("icon"), QStringLiteral("mdi:clock-outline")}});
    entity(QStringLiteral("sensor"), QStringLiteral("envio"), QStringLiteral("Ultimo envio"),
           {{QStringLiteral("state_topic"), base + QStringLiteral("/job/state")},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.state }}")},
            {QStringLiteral("json_attributes_topic"), base + QStringLiteral("/job/state")},
            {QStringLiteral("icon"), QStringLiteral("mdi:send")}});
    entity(QStringLiteral("binary_sensor"), QStringLiteral("puerto"), QStringLiteral("Puerto"),
           {{QStringLiteral("state_topic"), base + QStringLiteral("/available")},
            {QStringLiteral("device_class"), QStringLiteral("connectivity")},
            {QStringLiteral("payload_on"), QStringLiteral("online")},
            {QStringLiteral("payload_off"), QStringLiteral("offline")}});
    return out;
}
