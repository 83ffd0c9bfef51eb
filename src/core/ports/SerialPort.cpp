// A serial sign: the device's hold, the line's settings and modem lines, and the texts of its failures.
#include "core/ports/SerialPort.h"

SerialPort::SerialPort(const QString& device) : m_device(device)
{
    // A device that vanishes while events run closes the line; the reason stays for the next write.
    m_line.onFailure([this](const QString& reason) {
        m_error = reason;
        m_lock.release();
    });
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::isOpen() const
{
    return m_line.isOpen();
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
    const platform::SerialLine::OpenFault fault = m_line.open(m_device);
    if (fault == platform::SerialLine::OpenFault::None) {
        m_error.clear();
        return true;
    }
    m_lock.release();
    const bool denied = fault == platform::SerialLine::OpenFault::Denied;
    m_error =
        denied && platform::deniedMeansInUse ? inUseReason() : m_device + QStringLiteral(": ") + m_line.errorText();
    // A device the user may not open (not a hold by another program) means a missing group.
    if (denied && platform::deviceAccessDenied(m_device))
        m_error += QStringLiteral("\nEn Linux el usuario debe pertenecer al grupo \"dialout\" para usar el "
                                  "puerto (sudo usermod -aG dialout $USER, y luego cerrar e iniciar la sesion).");
    return false;
}

bool SerialPort::setLine(const Line& line)
{
    return m_line.apply(line) || fail(m_line.errorText());
}

bool SerialPort::setModemLine(ModemLine which, bool on)
{
    if (!isOpen())
        return fail(notOpenText());
    return m_line.setModemLine(which == ModemLine::Rts, on) != platform::SerialLine::ModemResult::Failed ||
           fail(m_line.errorText());
}

bool SerialPort::ended(platform::DeviceWrite result)
{
    switch (result) {
    case platform::DeviceWrite::Written:
        return true;
    case platform::DeviceWrite::Stalled:
        return closeWith(stalledText());
    case platform::DeviceWrite::Failed:
        return closeWith(m_line.errorText());
    }
    return false;
}

bool SerialPort::write(const char* data, qsizetype size)
{
    if (!isOpen())
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    return ended(m_line.write(data, size, stallLimit()));
}

SignPort::Attempt SerialPort::tryWrite(const char* data, qsizetype size)
{
    if (!isOpen())
        return fail(m_error.isEmpty() ? notOpenText() : m_error), Attempt::Failed;
    // A stall limit of nothing: one write, and no wait for room.
    switch (m_line.write(data, size, 0)) {
    case platform::DeviceWrite::Written:
        return Attempt::Taken;
    case platform::DeviceWrite::Stalled:
        return Attempt::NoRoom;
    case platform::DeviceWrite::Failed:
        break;
    }
    return closeWith(m_line.errorText()), Attempt::Failed;
}

platform::WriteTarget SerialPort::batchTarget() const
{
    return m_line.batchTarget();
}

bool SerialPort::drain()
{
    if (!isOpen())
        return fail(m_error.isEmpty() ? notOpenText() : m_error);
    return ended(m_line.drain(stallLimit()));
}

void SerialPort::close()
{
    m_line.close();
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
    if (m_line.isOpen()) {
        m_error = reason;
        m_line.close();
        m_lock.release();
    }
    return false;
}
