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
    clock_.start();
}

SignLine::~SignLine()
{
    notifier_.reset();
    closePtyEnd(slave_);
    closePtyEnd(master_);
}

bool SignLine::openPty(QString* error)
{
    // Raw from the start: no line editing, no echo, no newline translation of what Tivor writes.
    if (!openRawPty(&master_, &slave_, &devicePath_, error))
        return false;
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignLine::readPty);
    return true;
}

void SignLine::readPty()
{
    char buf[4096];
    QString reason;
    for (;;) {
        const qint64 n = readPtyEnd(master_, buf, sizeof buf, &reason);
        if (n > 0) {
            emit bytesRead(QByteArray(buf, int(n)), nowMs());
            continue;
        }
        if (n == 0)
            return;
        // Cannot happen while we hold the other end; never spin on it if it does.
        notifier_->setEnabled(false);
        emit failed(QStringLiteral("lectura del pseudo-terminal: %1").arg(reason));
        return;
    }
}

bool SignLine::openSerial(const QString& device, int baud, QString* error)
{
    serial_ = new QSerialPort(device, this);
    serial_->setBaudRate(baud);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial_->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no se puede abrir %1: %2").arg(device, serial_->errorString());
        return false;
    }
    devicePath_ = device;
    connect(serial_, &QSerialPort::readyRead, this, [this] { emit bytesRead(serial_->readAll(), nowMs()); });
    connect(serial_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError)
            return;
        const QString reason = serial_->errorString();
        serial_->close(); // a vanished device would otherwise report the same error endlessly
        emit failed(QStringLiteral("puerto %1: %2").arg(devicePath_, reason));
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
    server_ = new QTcpServer(this);
    if (ip.isNull() || !server_->listen(ip, at->port)) {
        *error = QStringLiteral("no se puede escuchar en %1: %2")
                     .arg(address, ip.isNull() ? QStringLiteral("no se encuentra el equipo") : server_->errorString());
        return false;
    }
    const QString shownHost = ip.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + at->host + u']' : at->host;
    devicePath_ = QStringLiteral("tcp://%1:%2").arg(shownHost).arg(server_->serverPort());
    connect(server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = server_->nextPendingConnection()) {
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            // A sender that connected and went quiet would hold the sign for ever; past the silence the
            // sign allows inside a transmission it is not sending anything any more.
            if (client_ && nowMs() - clientHeardMs_ > sign::Decoder::SilenceLimitMs)
                dropSender();
            if (client_) {
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
    client_ = s;
    clientHeardMs_ = nowMs();
    connect(s, &QTcpSocket::readyRead, this, [this, s] {
        clientHeardMs_ = nowMs();
        emit bytesRead(s->readAll(), clientHeardMs_);
    });
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (s != client_)
            return;
        if (s->bytesAvailable() > 0)
            emit bytesRead(s->readAll(), nowMs());
        client_ = nullptr;
        emit senderGone(nowMs());
    });
}

void SignLine::dropSender()
{
    QTcpSocket* s = std::exchange(client_, nullptr);
    s->disconnect(this);
    s->abort();
    s->deleteLater();
    emit senderGone(nowMs());
}
