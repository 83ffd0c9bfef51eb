// QSerialPort behind a serial sign: the device's hold, line settings, modem lines and unbuffered writes.
#include "core/ports/SerialPort.h"

#include <QSerialPort>

namespace
{
bool isFatalWriteError(QSerialPort::SerialPortError e)
{
    return e == QSerialPort::ResourceError || e == QSerialPort::WriteError;
}

QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    case 'M': return QSerialPort::MarkParity;
    case 'S': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::FlowControl flowOf(int flow)
{
    switch (flow) {
    case 0: return QSerialPort::NoFlowControl;
    case 1: return QSerialPort::SoftwareControl;
    default: return QSerialPort::HardwareControl;
    }
}
} // namespace

SerialPort::SerialPort(const QString& device)
    : m_port(std::make_unique<QSerialPort>()), m_device(device)
{
    // Errors that surface while events run (not inside a write) close the port on the spot: after a
    // hang-up QSerialPort would otherwise report the same error without end.
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError e) {
                         if (isFatalWriteError(e))
                             closeWith(m_port->errorString());
                     });
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::isOpen() const
{
    return m_port->isOpen();
}

QString SerialPort::inUseReason() const
{
    const qint64 pid = platform::deviceHolder(m_device);
    if (pid <= 0)
        return m_device + QStringLiteral(": el puerto esta en uso por otro programa");
    const QString name = platform::processName(pid);
    return m_device + QStringLiteral(": el puerto esta en uso por el proceso %1").arg(pid) +
           (name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name));
}

bool SerialPort::open()
{
    if (isOpen())
        return true;
    if (m_lock.take(m_device) == platform::DeviceLock::Busy)
        return fail(inUseReason());
    m_port->setPortName(m_device);
    if (!m_port->open(platform::serialOpenMode())) {
        m_lock.release();
        const bool held = platform::deniedMeansInUse && m_port->error() == QSerialPort::PermissionError;
        m_error = held ? inUseReason() : m_device + QStringLiteral(": ") + m_port->errorString();
        // A device the user may not open (not a hold by another program) means a missing group.
        if (m_port->error() == QSerialPort::PermissionError && platform::deviceAccessDenied(m_device))
            m_error += QStringLiteral("\nEn Linux el usuario debe pertenecer al grupo \"dialout\" para usar el "
                                      "puerto (sudo usermod -aG dialout $USER, y luego cerrar e iniciar la sesion).");
        m_port->clearError();
        return false;
    }
    m_error.clear();
    return true;
}

bool SerialPort::setLine(const Line& line)
{
    // A closed port keeps them for its open.
    if (!m_port->setBaudRate(line.baud) || !m_port->setParity(parityOf(line.parity)) ||
        !m_port->setDataBits(QSerialPort::DataBits(line.dataBits)) ||
        !m_port->setStopBits(line.stopBits == 3 ? QSerialPort::OneAndHalfStop : QSerialPort::StopBits(line.stopBits)))
        return fail(m_port->errorString());
    m_port->setFlowControl(flowOf(line.flow));
    return true;
}

bool SerialPort::setModemLine(ModemLine which, bool on)
{
    if (!isOpen())
        return fail(notOpenText());
    if (which == ModemLine::Rts ? m_port->setRequestToSend(on) : m_port->setDataTerminalReady(on))
        return true;
    // Pseudo-terminals have no modem lines, and RTS belongs to the handshake when that is on.
    const bool unsupported = m_port->error() == QSerialPort::UnsupportedOperationError;
    const QString reason = m_port->errorString();
    m_port->clearError();
    return unsupported || fail(reason);
}

bool SerialPort::write(const char* data, qsizetype size)
{
    if (!isOpen())
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    if constexpr (platform::directDeviceWrites) {
        // QSerialPort's write and flush cost several times the system's own write for every byte.
        QString reason;
        switch (platform::writeToDevice(qintptr(m_port->handle()), data, size, platform::testing::outputStallMs, &reason)) {
        case platform::DeviceWrite::Written: return true;
        case platform::DeviceWrite::Stalled: return closeWith(stalledText());
        case platform::DeviceWrite::Failed: return closeWith(reason);
        }
    }
    return m_port->write(data, size) == size || closeWith(m_port->errorString());
}

platform::WriteTarget SerialPort::batchTarget() const
{
    // QSerialPort opens the device non-blocking.
    if (platform::directDeviceWrites && isOpen())
        return {qintptr(m_port->handle())};
    return {};
}

bool SerialPort::drain()
{
    // write() only fills QSerialPort's buffer where it writes at all; without flush nothing leaves before
    // the event loop runs. The error handler may close the port inside flush(), keeping the reason.
    while (m_port->isOpen() && m_port->bytesToWrite() > 0) {
        if (!m_port->flush())
            return closeWith(m_port->errorString());
        if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(platform::testing::outputStallMs))
            return closeWith(stalledText());
    }
    return isOpen() || fail(m_error.isEmpty() ? notOpenText() : m_error);
}

void SerialPort::close()
{
    if (m_port->isOpen())
        m_port->close();
    m_lock.release();
    m_error.clear();
}

bool SerialPort::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

// The first reason stays: a port already closed by a failure is not failed again by what follows.
bool SerialPort::closeWith(const QString& reason)
{
    if (m_port->isOpen()) {
        m_error = reason;
        m_port->close();
        m_lock.release();
    }
    return false;
}
