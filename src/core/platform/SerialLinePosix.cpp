// The serial line on POSIX systems: QSerialPort opens the device and sets the line; bytes go straight to
// its descriptor, since QSerialPort's write and flush cost several times the system's own write.
#include "core/platform/SerialLine.h"

#include <QSerialPort>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace platform
{
namespace
{
QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::FlowControl flowOf(int flow)
{
    switch (flow) {
    case 0:
        return QSerialPort::NoFlowControl;
    case 1:
        return QSerialPort::SoftwareControl;
    default:
        return QSerialPort::HardwareControl;
    }
}

// Writes every byte to `fd`, an open non-blocking device.
DeviceWrite writeToDevice(int fd, const char* data, qsizetype size, int stallMs, QString* error)
{
    while (size > 0) {
        // The write comes first: a device with room (nearly always) costs one call per byte. Only a full
        // one is waited for; a hung-up one makes the write itself fail.
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n > 0) {
            data += n;
            size -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            *error = qt_error_string(errno);
            return DeviceWrite::Failed;
        }
        pollfd pfd{fd, POLLOUT, 0};
        int r;
        while ((r = ::poll(&pfd, 1, stallMs)) < 0 && errno == EINTR) {
        }
        if (r == 0)
            return DeviceWrite::Stalled;
    }
    return DeviceWrite::Written;
}
} // namespace

struct SerialLine::Device
{
    QSerialPort port;
    QString error;
    std::function<void(const QString&)> failed;
};

SerialLine::SerialLine() : m_device(std::make_unique<Device>())
{
    // Errors that surface while events run (not inside a write) close the line on the spot: after a
    // hang-up QSerialPort would otherwise report the same error without end.
    QObject::connect(
        &m_device->port, &QSerialPort::errorOccurred, &m_device->port, [this](QSerialPort::SerialPortError e) {
            if ((e != QSerialPort::ResourceError && e != QSerialPort::WriteError) || !m_device->port.isOpen())
                return;
            const QString reason = m_device->port.errorString();
            close();
            if (m_device->failed)
                m_device->failed(reason);
        });
}

SerialLine::~SerialLine() = default;

SerialLine::OpenFault SerialLine::open(const QString& device)
{
    m_device->port.setPortName(device);
    // Write-only: a vanished device raises nothing while the line is idle (there is no read notifier).
    if (m_device->port.open(QIODevice::WriteOnly)) {
        m_device->error.clear();
        return OpenFault::None;
    }
    m_device->error = m_device->port.errorString();
    const bool denied = m_device->port.error() == QSerialPort::PermissionError;
    m_device->port.clearError();
    return denied ? OpenFault::Denied : OpenFault::Other;
}

bool SerialLine::isOpen() const
{
    return m_device->port.isOpen();
}

bool SerialLine::apply(const LineSettings& s)
{
    QSerialPort& port = m_device->port;
    // A closed port keeps them for its open.
    if (!port.setBaudRate(s.baud) || !port.setParity(parityOf(s.parity)) ||
        !port.setDataBits(QSerialPort::DataBits(s.dataBits)) ||
        !port.setStopBits(s.stopBits == 3 ? QSerialPort::OneAndHalfStop : QSerialPort::StopBits(s.stopBits))) {
        m_device->error = port.errorString();
        return false;
    }
    port.setFlowControl(flowOf(s.flow));
    return true;
}

SerialLine::ModemResult SerialLine::setModemLine(bool rts, bool on)
{
    QSerialPort& port = m_device->port;
    if (rts ? port.setRequestToSend(on) : port.setDataTerminalReady(on))
        return ModemResult::Set;
    // Pseudo-terminals have no modem lines, and RTS belongs to the handshake when that is on.
    const bool unsupported = port.error() == QSerialPort::UnsupportedOperationError;
    m_device->error = port.errorString();
    port.clearError();
    return unsupported ? ModemResult::Unsupported : ModemResult::Failed;
}

DeviceWrite SerialLine::write(const char* data, qsizetype size, int stallMs)
{
    return writeToDevice(int(m_device->port.handle()), data, size, stallMs, &m_device->error);
}

DeviceWrite SerialLine::drain(int)
{
    // Every byte went to the descriptor itself: QSerialPort holds nothing.
    return DeviceWrite::Written;
}

WriteTarget SerialLine::batchTarget() const
{
    // QSerialPort opens the device non-blocking.
    return isOpen() ? WriteTarget{qintptr(m_device->port.handle())} : WriteTarget{};
}

void SerialLine::close()
{
    if (m_device->port.isOpen())
        m_device->port.close();
}

QString SerialLine::errorText() const
{
    return m_device->error;
}

void SerialLine::onFailure(std::function<void(const QString&)> handler)
{
    m_device->failed = std::move(handler);
}
} // namespace platform
