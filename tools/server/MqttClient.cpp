// libmosquitto without its own thread: its socket watched by QSocketNotifiers, its keep-alive from a QTimer. Only
// the connection itself (name lookup, TCP, TLS handshake) is made on a short-lived thread, so that a broker that
// does not answer never stops the HTTP side; the library is touched by nobody else until that thread has ended.
#include "MqttClient.h"

#include "Journal.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <thread>

namespace
{
// Seconds without traffic before the client pings the broker, and the broker gives the client up (1.5 times it).
constexpr int KeepAliveSeconds = 30;
constexpr int MaxBackoffMs = 60000;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString reasonText(int code, int savedErrno)
{
    if (code == MOSQ_ERR_ERRNO && savedErrno != 0)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    return QString::fromUtf8(mosquitto_strerror(code));
}
} // namespace

struct MqttClient::Attempt
{
    std::mutex mutex;
    bool abandoned = false; // the client went first: the thread frees the library's object
    bool posted = false;    // the outcome is on its way to the client
};

MqttClient::MqttClient(const MqttConfig& config, const QString& clientId, const QString& willTopic,
                       const QByteArray& will, QObject* parent)
    : QObject(parent), m_config(config), m_clientId(clientId)
{
    initLibrary();
    // A clean session: the broker keeps nothing for this client while it is away, so nothing it missed arrives
    // late, and nothing it was given arrives twice.
    m_mosq = mosquitto_new(clientId.toUtf8().constData(), true, this);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_will_set(m_mosq, willTopic.toUtf8().constData(), int(will.size()), will.constData(), 1, true);
    if (!m_config.user.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_config.user.toUtf8().constData(),
                                  m_config.password.isEmpty() ? nullptr : m_config.password.toUtf8().constData());
    if (m_config.tls) {
        const QByteArray ca = m_config.caFile.toLocal8Bit(), certificate = m_config.certificateFile.toLocal8Bit(),
                         key = m_config.keyFile.toLocal8Bit();
        const auto given = [](const QByteArray& file) { return file.isEmpty() ? nullptr : file.constData(); };
        // Without a file of its own the broker's certificate is checked against the system's authorities.
        mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, ca.isEmpty() ? 1 : 0);
        if (const int code = mosquitto_tls_set(m_mosq, given(ca), ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                                               given(certificate), given(key), nullptr);
            code != MOSQ_ERR_SUCCESS)
            journal(QStringLiteral("MQTT: no se pudo preparar TLS (%1)").arg(reasonText(code, errno)));
    }
    m_misc.setInterval(1000);
    connect(&m_misc, &QTimer::timeout, this, &MqttClient::misc);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::connectNow);
}

MqttClient::~MqttClient()
{
    m_read.reset();
    m_write.reset();
    if (m_attempt) {
        std::lock_guard lock(m_attempt->mutex);
        if (!m_attempt->posted) {
            m_attempt->abandoned = true;
            return;
        }
    }
    mosquitto_destroy(m_mosq);
}

void MqttClient::start()
{
    connectNow();
}

void MqttClient::connectNow()
{
    if (m_finished || m_attempt)
        return;
    m_refused.clear();
    auto attempt = std::make_shared<Attempt>();
    m_attempt = attempt;
    std::thread([attempt, mosq = m_mosq, host = m_config.host.toUtf8(), port = int(m_config.port),
                 self = QPointer<MqttClient>(this)] {
        const int code = mosquitto_connect(mosq, host.constData(), port, KeepAliveSeconds);
        const int savedErrno = errno;
        std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            mosquitto_destroy(mosq);
            return;
        }
        attempt->posted = true;
        QMetaObject::invokeMethod(
            self.data(),
            [self, code, savedErrno] {
                if (self)
                    self->attemptEnded(code, savedErrno);
            },
            Qt::QueuedConnection);
    }).detach();
}

void MqttClient::attemptEnded(int code, int savedErrno)
{
    m_attempt.reset();
    if (code != MOSQ_ERR_SUCCESS)
        return lost(reasonText(code, savedErrno));
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    m_read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    m_write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_read.get(), &QSocketNotifier::activated, this, &MqttClient::readable);
    connect(m_write.get(), &QSocketNotifier::activated, this, &MqttClient::writable);
    m_misc.start();
    check(MOSQ_ERR_SUCCESS);
}

void MqttClient::onConnect(mosquitto*, void* self, int code)
{
    auto* client = static_cast<MqttClient*>(self);
    if (code != 0) {
        client->m_refused = QString::fromUtf8(mosquitto_connack_string(code));
        return;
    }
    client->m_connected = true;
    client->m_backoffMs = 1000;
    journal(QStringLiteral("MQTT: conectado a %1:%2 como %3")
                .arg(client->m_config.host)
                .arg(client->m_config.port)
                .arg(client->m_clientId));
    emit client->connected();
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->received(QString::fromUtf8(message->topic),
                          QByteArray(static_cast<const char*>(message->payload), message->payloadlen), message->retain);
}

void MqttClient::readable()
{
    // One packet a call; the loop ends once the socket has nothing more (TLS's own buffer is the library's).
    for (int i = 0; i < 256 && m_read; ++i) {
        errno = 0;
        if (const int code = mosquitto_loop_read(m_mosq, 1); code != MOSQ_ERR_SUCCESS)
            return check(code);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
    }
    check(MOSQ_ERR_SUCCESS);
}

void MqttClient::writable()
{
    check(mosquitto_loop_write(m_mosq, 1));
}

void MqttClient::misc()
{
    check(mosquitto_loop_misc(m_mosq));
}

void MqttClient::check(int code)
{
    if (!m_read)
        return;
    if (code != MOSQ_ERR_SUCCESS)
        return lost(m_refused.isEmpty() ? reasonText(code, errno) : m_refused);
    m_write->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::lost(const QString& reason)
{
    // The notifiers may be the ones whose signal is being handled: they go later, but stop watching now, before the
    // next connection's socket may take the same descriptor on the connecting thread.
    for (std::unique_ptr<QSocketNotifier>* notifier : {&m_read, &m_write})
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->disconnect(this);
            notifier->release()->deleteLater();
        }
    m_misc.stop();
    m_connected = false;
    if (m_finished)
        return;
    journal(QStringLiteral("MQTT: sin conexion con %1:%2 (%3); se reintenta en %4 s")
                .arg(m_config.host)
                .arg(m_config.port)
                .arg(reason)
                .arg(m_backoffMs / 1000));
    m_retry.start(m_backoffMs);
    m_backoffMs = std::min(m_backoffMs * 2, MaxBackoffMs);
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain, int qos)
{
    if (!m_connected)
        return false;
    const int code = mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), int(payload.size()),
                                       payload.constData(), qos, retain);
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
    return code == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QString& pattern, int qos)
{
    if (!m_connected)
        return false;
    const int code = mosquitto_subscribe(m_mosq, nullptr, pattern.toUtf8().constData(), qos);
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
    return code == MOSQ_ERR_SUCCESS;
}

void MqttClient::finish(const QString& topic, const QByteArray& payload, int timeoutMs)
{
    m_finished = true;
    m_retry.stop();
    if (!m_connected)
        return;
    publish(topic, payload, true);
    mosquitto_disconnect(m_mosq);
    // The event loop has ended: what is left to write is written here.
    const QDeadlineTimer deadline(timeoutMs);
    while (mosquitto_want_write(m_mosq) && !deadline.hasExpired())
        if (mosquitto_loop_write(m_mosq, 1) != MOSQ_ERR_SUCCESS)
            break;
        else if (mosquitto_want_write(m_mosq))
            QThread::msleep(5);
    m_connected = false;
}
