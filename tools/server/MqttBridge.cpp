// Commands are read whole and checked before any sign is touched, as the HTTP routes read theirs; a command that
// cannot be taken is answered on its job state and nothing is sent.
#include "MqttBridge.h"

#include "HttpApi.h"
#include "Journal.h"
#include "JsonText.h"
#include "MqttDiscovery.h"
#include "SignServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>

namespace
{
// How often each idle sign's port is tried, for its connectivity state.
constexpr int ProbeIntervalMs = 30000;
// What a clean stop has to say goodbye in.
constexpr int GoodbyeMs = 2000;

QByteArray compact(const QJsonObject& json)
{
    return jsonBytes(QJsonDocument(json), QJsonDocument::Compact);
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = decoder(bytes);
    return !decoder.hasError();
}

// One sign's share of a job, as its job state says it.
QJsonObject partState(const QJsonObject& job, const QString& sign)
{
    for (const QJsonValue& part : job.value(QStringLiteral("signs")).toArray())
        if (part[QStringLiteral("sign")].toString() == sign)
            return {{QStringLiteral("id"), job.value(QStringLiteral("id"))},
                    {QStringLiteral("state"), part[QStringLiteral("state")]},
                    {QStringLiteral("sent"), part[QStringLiteral("sent")]},
                    {QStringLiteral("total"), part[QStringLiteral("total")]},
                    {QStringLiteral("error"), part[QStringLiteral("error")].toString()}};
    return {};
}

// A group's job: its state, the bytes of all its signs, the first error, and each sign's share.
QJsonObject groupState(const QJsonObject& job)
{
    int sent = 0, total = 0;
    QString error;
    const QJsonArray parts = job.value(QStringLiteral("signs")).toArray();
    for (const QJsonValue& part : parts) {
        sent += part[QStringLiteral("sent")].toInt();
        total += part[QStringLiteral("total")].toInt();
        if (error.isEmpty())
            error = part[QStringLiteral("error")].toString();
    }
    return {{QStringLiteral("id"), job.value(QStringLiteral("id"))},
            {QStringLiteral("state"), job.value(QStringLiteral("state"))},
            {QStringLiteral("sent"), sent},
            {QStringLiteral("total"), total},
            {QStringLiteral("error"), error},
            {QStringLiteral("signs"), parts}};
}

QStringList messageNames(const MessageStore& store)
{
    QStringList names;
    for (const QJsonValue& message : store.list())
        names << message[QStringLiteral("name")].toString();
    return names;
}

QString shownText(const QJsonObject& shown)
{
    QStringList texts;
    for (const QJsonValue& page : shown.value(QStringLiteral("pages")).toArray())
        // The sign pads every page to its 16 columns; a reader wants the words.
        texts << page[QStringLiteral("text")].toString().remove(QRegularExpression(QStringLiteral("\\s+$")));
    return texts.join(QLatin1Char('|'));
}
} // namespace

MqttBridge::MqttBridge(const MqttConfig& config, SignServer& server, QObject* parent)
    : QObject(parent), m_config(config), m_server(server),
      m_client(config, QStringLiteral("tivor-") + config.id, statusTopic(config), "offline")
{
    connect(&m_client, &MqttClient::connected, this, &MqttBridge::connected);
    connect(&m_client, &MqttClient::received, this, &MqttBridge::received);
    connect(&m_server, &SignServer::partStarted, this, &MqttBridge::partStarted);
    connect(&m_server, &SignServer::partFinished, this, &MqttBridge::partFinished);
    m_probe.setInterval(ProbeIntervalMs);
    connect(&m_probe, &QTimer::timeout, this, [this] {
        probe();
        if (m_config.discovery && messageNames(m_server.store()) != m_announced)
            announce();
    });
    for (const SignConfig& sign : m_server.config().signs)
        keepShown(sign.id);
}

void MqttBridge::stop()
{
    m_probe.stop();
    m_client.finish(statusTopic(m_config), "offline", GoodbyeMs);
}

// Everything is said again on every connection: a broker restarted without persistence has forgotten it.
void MqttBridge::connected()
{
    // Commands at QoS 0: at most once. A command is an action on a sign; one repeated after a lost
    // acknowledgement would be sent twice.
    m_client.subscribe(m_config.prefix + QStringLiteral("/sign/+/+/set"), 0);
    m_client.subscribe(m_config.prefix + QStringLiteral("/group/+/+/set"), 0);
    if (m_config.discovery)
        m_client.subscribe(m_config.discoveryPrefix + QStringLiteral("/status"), 0);
    m_client.publish(statusTopic(m_config), "online", true);
    for (const auto& [topic, payload] : m_states)
        m_client.publish(topic, payload, true);
    if (m_config.discovery)
        announce();
    probe();
    m_probe.start();
}

void MqttBridge::received(const QString& topic, const QByteArray& payload, bool retained)
{
    if (m_config.discovery && topic == m_config.discoveryPrefix + QStringLiteral("/status")) {
        if (payload == "online")
            announce();
        return;
    }
    // <prefix>/sign/<id>/<verb>/set or <prefix>/group/<g>/<verb>/set
    const QStringList parts = topic.mid(m_config.prefix.size() + 1).split(QLatin1Char('/'));
    if (!topic.startsWith(m_config.prefix + QLatin1Char('/')) || parts.size() != 4)
        return;
    // A retained command would be run again at every connection: commands are taken only as they are published.
    if (retained) {
        journal(QStringLiteral("MQTT: %1: orden retenida en el servidor MQTT; no se ejecuta").arg(topic));
        return;
    }
    command(topic, parts.at(0), parts.at(1), parts.at(2), payload);
}

void MqttBridge::command(const QString& topic, const QString& kind, const QString& name, const QString& verb,
                         const QByteArray& payload)
{
    std::vector<SignConfig> signs;
    for (const SignConfig& sign : m_server.config().signs)
        if (kind == QLatin1String("group") ? sign.groups.contains(name) : sign.id == name)
            signs.push_back(sign);
    // An unknown name gets no state topic of its own: the broker would keep it for good.
    if (signs.empty()) {
        journal(
            QStringLiteral("MQTT: %1: no hay ningun %2 '%3'")
                .arg(topic, kind == QLatin1String("group") ? QStringLiteral("grupo") : QStringLiteral("cartel"), name));
        return;
    }
    const QString base = kind == QLatin1String("group") ? groupTopic(m_config, name) : signTopic(m_config, name);
    const bool clock = verb == QLatin1String("clock");
    if (payload.size() > MaxBodyBytes)
        return refuse(base, QStringLiteral("el mensaje MQTT tiene %1 bytes; se admiten %2 como maximo")
                                .arg(payload.size())
                                .arg(MaxBodyBytes));
    if (!clock && !isUtf8(payload))
        return refuse(base, QStringLiteral("el mensaje MQTT no es texto UTF-8"));
    const QString asked = QStringLiteral("MQTT ") + topic;
    int job = 0;
    if (clock) {
        job = m_server.clockJob(signs, asked);
    } else {
        QByteArray body = payload;
        if (verb == QLatin1String("text"))
            body.replace('|', '\n');
        else if (verb == QLatin1String("message"))
            body = compact({{QStringLiteral("message"), QString::fromUtf8(payload.trimmed())}});
        else if (verb != QLatin1String("show"))
            return refuse(base,
                          QStringLiteral("orden desconocida '%1'; se admiten text, show, message y clock").arg(verb));
        Message message;
        if (const BodyFault fault = m_server.showMessage(body, verb == QLatin1String("text"), &message); fault.status)
            return refuse(base, fault.detail);
        job = m_server.showJob(signs, message, asked);
    }
    journal(QStringLiteral("%1: trabajo %2").arg(asked).arg(job));
    const QJsonObject state = m_server.jobAnswer(job);
    if (kind == QLatin1String("group")) {
        m_groupJobs[job] = name;
        keep(base + QStringLiteral("/job/state"), compact(groupState(state)));
    }
    for (const SignConfig& sign : signs) {
        // An idle line takes the job at once, and its start has been said already.
        QJsonObject part = partState(state, sign.id);
        if (m_startedJob[sign.id] == job)
            part.insert(QStringLiteral("state"), QStringLiteral("sending"));
        keep(signTopic(m_config, sign.id) + QStringLiteral("/job/state"), compact(part));
    }
}

void MqttBridge::refuse(const QString& base, const QString& error)
{
    journal(QStringLiteral("MQTT: %1: %2").arg(base, error));
    keep(base + QStringLiteral("/job/state"), compact({{QStringLiteral("id"), 0},
                                                       {QStringLiteral("state"), QStringLiteral("rejected")},
                                                       {QStringLiteral("sent"), 0},
                                                       {QStringLiteral("total"), 0},
                                                       {QStringLiteral("error"), error}}));
}

// A hub shows "sending" while a long message goes out, not the job before it or "queued" for minutes. The part's
// own state turns to sending on its line's thread a moment later, so it is said here.
void MqttBridge::partStarted(int job, const QString& sign)
{
    m_startedJob[sign] = job;
    QJsonObject part = partState(m_server.jobAnswer(job), sign);
    part.insert(QStringLiteral("state"), QStringLiteral("sending"));
    keep(signTopic(m_config, sign) + QStringLiteral("/job/state"), compact(part));
}

// Whoever asked for the job (HTTP, a schedule, MQTT), each sign's last job is the one that ended last.
void MqttBridge::partFinished(int job, const QString& sign)
{
    const QJsonObject state = m_server.jobAnswer(job);
    const QJsonObject part = partState(state, sign);
    keep(signTopic(m_config, sign) + QStringLiteral("/job/state"), compact(part));
    keepShown(sign);
    if (const auto group = m_groupJobs.find(job); group != m_groupJobs.end()) {
        keep(groupTopic(m_config, group->second) + QStringLiteral("/job/state"), compact(groupState(state)));
        if (m_server.jobs().job(job) && m_server.jobs().job(job)->finished())
            m_groupJobs.erase(group);
    }
    const SignConfig* config = m_server.config().sign(sign);
    if (part.value(QStringLiteral("state")).toString() == QLatin1String("done"))
        keep(signTopic(m_config, sign) + QStringLiteral("/available"), "online");
    else if (config)
        m_server.jobs().probe(*config, [self = QPointer<MqttBridge>(this), sign](const QString& reason) {
            if (self)
                self->keep(signTopic(self->m_config, sign) + QStringLiteral("/available"),
                           reason.isEmpty() ? "online" : "offline");
        });
}

void MqttBridge::announce()
{
    m_announced = messageNames(m_server.store());
    for (const SignConfig& sign : m_server.config().signs)
        for (const MqttMessage& message : discoveryMessages(m_config, sign, m_announced))
            m_client.publish(message.topic, message.payload, true);
}

// A sign that is sending is reachable; an idle one is asked in its turn on its port's queue.
void MqttBridge::probe()
{
    for (const SignConfig& sign : m_server.config().signs) {
        const QString topic = signTopic(m_config, sign.id) + QStringLiteral("/available");
        if (m_server.jobs().busy(sign))
            continue;
        m_server.jobs().probe(sign, [self = QPointer<MqttBridge>(this), topic](const QString& reason) {
            if (self)
                self->keep(topic, reason.isEmpty() ? "online" : "offline");
        });
    }
}

void MqttBridge::keep(const QString& topic, const QByteArray& payload)
{
    const auto kept = m_states.find(topic);
    if (kept != m_states.end() && kept->second == payload)
        return;
    m_states[topic] = payload;
    m_client.publish(topic, payload, true);
}

void MqttBridge::keepShown(const QString& sign)
{
    const QJsonObject shown = m_server.shown().shown(sign);
    // Nothing known is left unsaid: an empty retained payload would delete the topic.
    if (const QString text = shownText(shown); !text.isEmpty())
        keep(signTopic(m_config, sign) + QStringLiteral("/text/state"), text.toUtf8());
}
