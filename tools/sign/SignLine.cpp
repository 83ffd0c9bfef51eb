// The pseudo-terminal and the serial device, read without blocking and stamped with the time of arrival.
#include "SignLine.h"

#include <QSerialPort>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{
QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }
} // namespace

SignLine::SignLine(QObject* parent) : QObject(parent) { clock_.start(); }

SignLine::~SignLine()
{
    notifier_.reset();
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool SignLine::openPty(QString* error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        *error = QStringLiteral("no se puede crear un pseudo-terminal: %1").arg(lastError());
        return false;
    }
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        *error = QStringLiteral("no se puede abrir %1: %2").arg(QString::fromLocal8Bit(name), lastError());
        return false;
    }
    // Raw from the start: no line editing, no echo, no newline translation of what Tivor writes.
    termios tio;
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    devicePath_ = QString::fromLocal8Bit(name);
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignLine::readPty);
    return true;
}

void SignLine::readPty()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            emit bytesRead(QByteArray(buf, int(n)), nowMs());
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // Cannot happen while we hold the other end; never spin on it if it does.
        notifier_->setEnabled(false);
        emit failed(QStringLiteral("lectura del pseudo-terminal: %1").arg(n == 0 ? QStringLiteral("fin") : lastError()));
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
