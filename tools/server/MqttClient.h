// One connection to an MQTT broker, kept up by this thread's event loop. libmosquitto is seen here and nowhere else.
#pragma once

#include "ServerConfig.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QSocketNotifier;
struct mosquitto;

class MqttClient : public QObject
{
    Q_OBJECT
public:
    // `will` is published by the broker on `willTopic` (retained) when this client goes without saying goodbye.
    MqttClient(const MqttConfig& config, const QString& clientId, const QString& willTopic, const QByteArray& will,
               QObject* parent = nullptr);
    // Waits for no connection attempt: one still resolving or connecting is left to end on its own.
    ~MqttClient() override;

    // Connects now and, whenever the connection fails or is lost, again after 1 s, 2 s, 4 s... up to 60 s.
    void start();
    bool isConnected() const { return m_connected; }
    // False when not connected: what was not published is published again by whoever keeps it, once connected.
    // QoS 0 unless asked: what the server publishes is state it says again whole on every connection, so an
    // acknowledgement adds nothing, and the broker's acknowledgements held the next command behind TCP's delayed
    // ACK (40 ms a command on loopback, bench_mqtt).
    bool publish(const QString& topic, const QByteArray& payload, bool retain, int qos = 0);
    bool subscribe(const QString& pattern, int qos);
    // Publishes `payload` on `topic` (retained) and leaves the broker cleanly, within `timeoutMs`; no reconnection
    // follows.
    void finish(const QString& topic, const QByteArray& payload, int timeoutMs);

signals:
    void connected();
    void received(const QString& topic, const QByteArray& payload, bool retained);

private:
    struct Attempt;
    static void onConnect(mosquitto*, void* self, int code);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);
    void connectNow();
    void attemptEnded(int code, int savedErrno);
    void watchSocket();
    void readable();
    void writable();
    void misc();
    // After every call into the library: a failed one loses the connection, and the socket is watched for
    // writing only while the library has something to write.
    void check(int code);
    void lost(const QString& reason);

    MqttConfig m_config;
    QString m_clientId;
    mosquitto* m_mosq = nullptr;
    std::shared_ptr<Attempt> m_attempt; // a connection being made on a thread of its own
    std::unique_ptr<QSocketNotifier> m_read, m_write;
    QTimer m_misc, m_retry;
    int m_backoffMs = 1000;
    bool m_connected = false, m_finished = false;
    QString m_refused; // the broker's reason for refusing the last connection
};
