// QSerialPort behind the serial-port control: port text to device, line settings, flushed writes.
#include "core/ports/MSComm.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif


namespace
{
// A closed-down port keeps the reason of its failure; a later write must not replace it by "not open".
const QString kNotOpen = QStringLiteral("El puerto no esta abierto");

bool isFatalWriteError(QSerialPort::SerialPortError e)
{
    return e == QSerialPort::ResourceError || e == QSerialPort::WriteError;
}

QString permissionHint(const QString& device)
{
#ifdef Q_OS_LINUX
    // A device the user may not open (not a lock held by another program) means a missing group.
    if (!device.isEmpty() && QFileInfo::exists(device) &&
        ::access(QFile::encodeName(device).constData(), W_OK) != 0 && errno == EACCES)
        return QStringLiteral("\nEn Linux el usuario debe pertenecer al grupo \"dialout\" para usar el puerto "
                              "(sudo usermod -aG dialout $USER, y luego cerrar e iniciar la sesion).");
#else
    Q_UNUSED(device);
#endif
    return QString();
}

#ifdef Q_OS_LINUX
// The process that holds the lock on this device, from the kernel's list of locks; 0 when none is listed.
// The list names the device by file system and inode, so any link to it finds the same holder.
qint64 lockHolder(const QString& device)
{
    struct stat st = {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !locks.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QStringLiteral("%1:%2:%3")
                               .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(quint64(st.st_ino))
                               .toLatin1();
    // "1: FLOCK  ADVISORY  WRITE 1234 00:1a:3 0 EOF"; waiting requests have "->" as their second field.
    // The list reports no size: read to its end, not to the size.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6 && f[1] == "FLOCK" && f[5] == key)
            return f[4].toLongLong();
    }
    return 0;
}
#endif

QString inUseReason(const QString& device)
{
    qint64 pid = 0;
#ifdef Q_OS_LINUX
    pid = lockHolder(device);
#endif
    if (pid <= 0)
        return device + QStringLiteral(": el puerto esta en uso por otro programa");
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
    return device + QStringLiteral(": el puerto esta en uso por el proceso %1").arg(pid) +
           (name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name));
}
} // namespace

MSComm::MSComm()
    : m_port(std::make_unique<QSerialPort>())
{
    // Errors that surface while events run (not inside Output) close the port on the spot: after a
    // hang-up QSerialPort would otherwise report the same error without end.
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError e) {
                         if (isFatalWriteError(e) && m_port->isOpen()) {
                             m_error = m_port->errorString();
                             closePort();
                         }
                     });
}

MSComm::~MSComm()
{
    closePort();
}

bool MSComm::PortOpen() const
{
    return m_net ? m_net->isOpen() : m_port->isOpen();
}

bool MSComm::isPortNumber(const QString& port)
{
    const QString t = port.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString MSComm::deviceNameFor(const QString& port)
{
    if (!isPortNumber(port))
        return port;
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    if (!ok || n < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

QString MSComm::deviceName() const
{
    return deviceNameFor(m_commPort);
}

void MSComm::setCommPort(const QString& port)
{
    m_commPort = port;
}

bool MSComm::setSettings(const QString& settings)
{
    const QStringList parts = settings.split(u',');
    if (parts.size() != 4)
        return fail(QStringLiteral("Parametros de linea no validos: \"%1\"").arg(settings));

    const QString baudText = parts[0].trimmed();
    bool ok = !baudText.isEmpty();
    for (QChar c : baudText)
        ok = ok && c >= u'0' && c <= u'9';
    const qint64 baud = ok ? baudText.toLongLong(&ok) : 0;
    if (!ok || baud < 1 || baud > 0x7fffffff)
        return fail(QStringLiteral("Velocidad no valida: \"%1\"").arg(parts[0]));

    QSerialPort::Parity parity;
    const QString p = parts[1].trimmed().toUpper();
    if (p == u"N")
        parity = QSerialPort::NoParity;
    else if (p == u"E")
        parity = QSerialPort::EvenParity;
    else if (p == u"O")
        parity = QSerialPort::OddParity;
    else if (p == u"M")
        parity = QSerialPort::MarkParity;
    else if (p == u"S")
        parity = QSerialPort::SpaceParity;
    else
        return fail(QStringLiteral("Paridad no valida: \"%1\"").arg(parts[1]));

    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return fail(QStringLiteral("Bits de datos no validos: \"%1\"").arg(parts[2]));

    QSerialPort::StopBits stop;
    const QString s = parts[3].trimmed();
    if (s == u"1")
        stop = QSerialPort::OneStop;
    else if (s == u"1.5")
        stop = QSerialPort::OneAndHalfStop;
    else if (s == u"2")
        stop = QSerialPort::TwoStop;
    else
        return fail(QStringLiteral("Bits de parada no validos: \"%1\"").arg(parts[3]));

    m_line.baud = qint32(baud);
    m_line.parity = p[0].toLatin1();
    m_line.dataBits = data;
    m_line.stopBits = stop == QSerialPort::OneAndHalfStop ? 3 : int(stop);
    // Applied at once on an open port, otherwise when it opens.
    if (m_net && m_net->isOpen() && !m_net->setLine(m_line))
        return fail(m_net->errorText());
    if (!m_port->setBaudRate(qint32(baud)) || !m_port->setParity(parity) ||
        !m_port->setDataBits(QSerialPort::DataBits(data)) || !m_port->setStopBits(stop))
        return fail(m_port->errorString());
    m_settings = settings;
    return true;
}

void MSComm::setHandshaking(int mode)
{
    m_line.flow = std::min(mode, 2);
    switch (mode) {
    case 0: m_port->setFlowControl(QSerialPort::NoFlowControl); break;
    case 1: m_port->setFlowControl(QSerialPort::SoftwareControl); break;
    default: m_port->setFlowControl(QSerialPort::HardwareControl); break;
    }
}

bool MSComm::setPortOpen(bool open)
{
    if (!open) {
        closePort();
        m_error.clear();
        return true;
    }
    if (PortOpen())
        return true;
    if (NetLink::isNetPort(m_commPort)) {
        closePort();
        m_net = std::make_unique<NetLink>();
        if (!m_net->open(m_commPort, m_line)) {
            m_error = m_net->errorText();
            m_net.reset();
            return false;
        }
        m_error.clear();
        return true;
    }
    const QString device = deviceName();
    if (device.isEmpty()) {
        m_error = QStringLiteral("No existe el puerto \"%1\"").arg(m_commPort);
        return false;
    }
    closePort(); // a lock left from a port the system closed by itself would refuse this very open
    if (!lockDevice(device))
        return false;
    m_port->setPortName(device);
    // Write-only: with no read notifier a vanished device raises nothing while the port is idle.
    if (!m_port->open(QIODevice::WriteOnly)) {
        closePort();
        m_error = device + QStringLiteral(": ") + m_port->errorString();
        if (m_port->error() == QSerialPort::PermissionError)
            m_error += permissionHint(device);
        m_port->clearError();
        return false;
    }
    m_error.clear();
    return true;
}

bool MSComm::setRTSEnable(bool on)
{
    if (!PortOpen())
        return fail(kNotOpen);
    if (m_net)
        return m_net->setModemLine(true, on) || fail(m_net->errorText());
    if (m_port->setRequestToSend(on))
        return true;
    // Pseudo-terminals have no modem lines, and RTS belongs to the handshake when that is on.
    const bool unsupported = m_port->error() == QSerialPort::UnsupportedOperationError;
    const QString reason = m_port->errorString();
    m_port->clearError();
    return unsupported || fail(reason);
}

bool MSComm::setDTREnable(bool on)
{
    if (!PortOpen())
        return fail(kNotOpen);
    if (m_net)
        return m_net->setModemLine(false, on) || fail(m_net->errorText());
    if (m_port->setDataTerminalReady(on))
        return true;
    const bool unsupported = m_port->error() == QSerialPort::UnsupportedOperationError;
    const QString reason = m_port->errorString();
    m_port->clearError();
    return unsupported || fail(reason);
}

// QSerialPort's own lock file is kept per port name, so a link and the device path it points to would
// both open, and the exclusive mode it sets does not hold for root: two senders would mix their bytes
// on one sign. A lock on the device itself (flock: per device, whatever the name, root included) is
// taken before QSerialPort touches the line, so a refused sender never changes the other's settings.
bool MSComm::lockDevice(const QString& device)
{
#ifdef Q_OS_UNIX
    // Non-blocking: a serial line without carrier would otherwise hold the open itself.
    m_lockFd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_lockFd < 0) {
        // Busy: another holder's exclusive mode (when not root). Anything else QSerialPort's open reports.
        return errno != EBUSY || fail(inUseReason(device));
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(m_lockFd);
        m_lockFd = -1;
        // Another error (a file system without locks) leaves only QSerialPort's own lock.
        return !busy || fail(inUseReason(device));
    }
#else
    Q_UNUSED(device);
#endif
    return true;
}

void MSComm::closePort()
{
    m_net.reset();
    if (m_port->isOpen())
        m_port->close();
#ifdef Q_OS_UNIX
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
#endif
}

bool MSComm::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

// Waits until the device takes bytes again (a slow line whose system buffer is full); a device that
// stays full for outputStallMs counts as failed.
bool MSComm::waitWritable()
{
#ifdef Q_OS_UNIX
    pollfd pfd{int(m_port->handle()), POLLOUT, 0};
    for (;;) {
        const int r = ::poll(&pfd, 1, platform::testing::outputStallMs);
        if (r > 0)
            return true; // writable, or hung up: the write itself then reports the error
        if (r == 0)
            return false;
        if (errno != EINTR)
            return true;
    }
#else
    return true;
#endif
}

bool MSComm::Output(const QByteArray& bytes)
{
    if (m_net) {
        // A connection that dropped while idle still holds its reason: the write gives it.
        platform::testing::outputCalls += m_net->isOpen();
        if (m_net->write(bytes))
            return true;
        m_error = m_net->errorText();
        closePort();
        return false;
    }
    if (!m_port->isOpen())
        return fail(m_error.isEmpty() ? kNotOpen : m_error);
    ++platform::testing::outputCalls;

    // The error handler may already have closed the port inside flush(), keeping the system's reason.
    auto closeWith = [this](const QString& reason) {
        if (m_port->isOpen()) {
            m_error = reason;
            closePort();
        }
        return false;
    };
    if (!waitWritable())
        return closeWith(QStringLiteral("El puerto no acepta datos (tiempo agotado)"));
    if (m_port->write(bytes) != bytes.size())
        return closeWith(m_port->errorString());
    // write() only fills QSerialPort's buffer; without flush nothing leaves before the event loop runs.
    while (m_port->isOpen() && m_port->bytesToWrite() > 0) {
        if (!m_port->flush())
            return closeWith(m_port->errorString());
        if (m_port->bytesToWrite() > 0 && !waitWritable())
            return closeWith(QStringLiteral("El puerto no acepta datos (tiempo agotado)"));
    }
    return m_port->isOpen();
}
