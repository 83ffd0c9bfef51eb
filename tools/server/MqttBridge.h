// The signs and groups on an MQTT broker: commands taken from "<prefix>/.../set" into the same job queues as the
// HTTP API, retained states of what each sign shows, its last job and its port, and Home Assistant's discovery.
#pragma once

#include "MqttClient.h"
#include "ServerConfig.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <map>

class SignServer;

class MqttBridge : public QObject
{
    Q_OBJECT
public:
    // `config` complete (its id and prefix filled in); `server` outlives the bridge.
    MqttBridge(const MqttConfig& config, SignServer& server, QObject* parent = nullptr);

    void start() { m_client.start(); }
    // "offline" on the server's status, then a clean goodbye to the broker.
    void stop();

private:
    void connected();
    void received(const QString& topic, const QByteArray& payload, bool retained);
    void command(const QString& topic, const QString& kind, const QString& name, const QString& verb,
                 const QByteArray& payload);
    // Answers on the job state of `base` instead of sending anything.
    void refuse(const QString& base, const QString& error);
    void partStarted(int job, const QString& sign);
    void partFinished(int job, const QString& sign);
    void announce();
    void probe();
    // A retained state, kept to be published again after a reconnection (a broker restarted without its
    // persistence has lost it).
    void keep(const QString& topic, const QByteArray& payload);
    void keepShown(const QString& sign);

    MqttConfig m_config;
    SignServer& m_server;
    MqttClient m_client;
    QTimer m_probe;
    std::map<QString, QByteArray> m_states; // topic -> retained payload
    std::map<int, QString> m_groupJobs;     // a job asked for through a group's topic -> that group
    std::map<QString, int> m_startedJob;    // sign -> the last job whose part there has started
    QStringList m_announced;                // the stored messages the select was last announced with
};
