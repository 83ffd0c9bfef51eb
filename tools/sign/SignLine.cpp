// The pseudo-terminal and the serial device, read without blocking and stamped with the time of arrival.
#include "SignLine.h"

#include "SignDecoder.h"

#include "core/ports/NetAddress.h"
#include "platform/PseudoTerminal.h"

#include <QHostInfo>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <utility>

SignLine::SignLine(QObject* parent) : QObject(parent)
{
    m_clock.start();
}

SignLine::~SignLine()
{
    m_notifier.reset();
    closePtyEnd(m_slave);
    closePtyEnd(m_master);
}

bool SignLine::openPty(QString* error)
{
    // Raw from the start: no line editing, no echo, no newline translation of what Tivor writes.
    if (!openRawPty(&m_master, &m_slave, &m_devicePath, error))
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignLine::readPty);
    return true;
}

void SignLine::readPty()
{
    char buf[4096];
    QString reason;
    for (;;) {
        const qint64 n = readPtyEnd(m_master, buf, sizeof buf, &reason);
        if (n > 0) {
            emit bytesRead(QByteArray(buf, int(n)), nowMs());
            continue;
        }
        if (n == 0)
            return;
        // Cannot happen while we hold the other end; never spin on it if it does.
        m_notifier->setEnabled(false);
        emit failed(QStringLiteral("lectura del pseudo-terminal: %1").arg(reason));
        return;
    }
}

bool SignLine::openSerial(const QString& device, int baud, QString* error)
{
    m_serial = new QSerialPort(device, this);
    m_serial->setBaudRate(baud);
    m_serial->setDataBits(QSerialPort::Data8);
    m_serial->setParity(QSerialPort::NoParity);
    m_serial->setStopBits(QSerialPort::OneStop);
    m_serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_serial->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no se puede abrir %1: %2").arg(device, m_serial->errorString());
        return false;
    }
    m_devicePath = device;
    connect(m_serial, &QSerialPort::readyRead, this, [this] { emit bytesRead(m_serial->readAll(), nowMs()); });
    connect(m_serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError)
            return;
        const QString reason = m_serial->errorString();
        m_serial->close(); // a vanished device would otherwise report the same error endlessly
        emit failed(QStringLiteral("puerto %1: %2").arg(m_devicePath, reason));
    });
    return true;
}

bool SignLine::listenTcp(const QString& address, QString* error)
{
    const std::optional<NetAddress> at = NetAddress::parse(address);
    if (!at || at->rfc2217) {
        *error = QStringLiteral("direccion no valida para --listen: %1 (se espera tcp://EQUIPO:PUERTO)").arg(address);
        return false;
    }
    QHostAddress ip(at->host);
    if (ip.isNull())
        ip = QHostInfo::fromName(at->host).addresses().value(0);
    m_server = new QTcpServer(this);
    if (ip.isNull() || !m_server->listen(ip, at->port)) {
        *error = QStringLiteral("no se puede escuchar en %1: %2")
                     .arg(address, ip.isNull() ? QStringLiteral("no se encuentra el equipo") : m_server->errorString());
        return false;
    }
    const QString shownHost = ip.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + at->host + u']' : at->host;
    m_devicePath = QStringLiteral("tcp://%1:%2").arg(shownHost).arg(m_server->serverPort());
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            // A sender that connected and went quiet would hold the sign for ever; past the silence the
            // sign allows inside a transmission it is not sending anything any more.
            if (m_client && nowMs() - m_clientHeardMs > sign::Decoder::SilenceLimitMs)
                dropSender();
            if (m_client) {
                s->abort();
                continue;
            }
            takeSender(s);
        }
    });
    return true;
}

void SignLine::takeSender(QTcpSocket* s)
{
    m_client = s;
    m_clientHeardMs = nowMs();
    connect(s, &QTcpSocket::readyRead, this, [this, s] {
        m_clientHeardMs = nowMs();
        emit bytesRead(s->readAll(), m_clientHeardMs);
    });
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (s != m_client)
            return;
        if (s->bytesAvailable() > 0)
            emit bytesRead(s->readAll(), nowMs());
        m_client = nullptr;
        emit senderGone(nowMs());
    });
}

void SignLine::dropSender()
{
    QTcpSocket* s = std::exchange(m_client, nullptr);
    s->disconnect(this);
    s->abort();
    s->deleteLater();
    emit senderGone(nowMs());
}
