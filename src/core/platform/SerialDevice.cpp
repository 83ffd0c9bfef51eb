// The serial device's hold and its holder: flock and /proc/locks on POSIX systems, a named semaphore on
// Windows.
#include "core/platform/SerialDevice.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <string>
#include <windows.h>
#endif

namespace platform
{
DeviceLock::~DeviceLock()
{
    release();
}

// QSerialPort's own lock file is kept per port name, so a link and the device path it points to would
// both open, and the exclusive mode it sets does not hold for root: two senders would mix their bytes on
// one sign. flock is per device, whatever the name, root included.
DeviceLock::Result DeviceLock::take(const QString& device)
{
    release();
#ifdef Q_OS_UNIX
    // Non-blocking: a serial line without carrier would otherwise hold the open itself.
    const int fd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) // busy: another holder's exclusive mode (when not root)
        return errno == EBUSY ? Busy : NotHeld;
    m_handle = fd;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        release();
        return busy ? Busy : NotHeld;
    }
    return Held;
#elif defined(Q_OS_WIN)
    // Windows refuses a second open of a COM port by itself, but Wine lets any number of programs open
    // one: a semaphore named after the port keeps two Tivors apart wherever they run. It goes with the
    // last handle to it, so a holder that dies frees the port.
    const std::wstring name = (QStringLiteral("Local\\Tivor.puerto.") + deviceIdentity(device)).toStdWString();
    const HANDLE semaphore = ::CreateSemaphoreW(nullptr, 1, 1, name.c_str());
    if (!semaphore)
        return NotHeld;
    if (::WaitForSingleObject(semaphore, 0) != WAIT_OBJECT_0) {
        ::CloseHandle(semaphore);
        return Busy;
    }
    m_handle = qintptr(semaphore);
    return Held;
#else
    Q_UNUSED(device);
    return NotHeld;
#endif
}

void DeviceLock::release()
{
    if (m_handle == -1)
        return;
#ifdef Q_OS_UNIX
    ::close(int(m_handle));
#elif defined(Q_OS_WIN)
    ::ReleaseSemaphore(HANDLE(m_handle), 1, nullptr);
    ::CloseHandle(HANDLE(m_handle));
#endif
    m_handle = -1;
}

QString deviceIdentity(const QString& device)
{
#ifdef Q_OS_WIN
    // "COM3", "com3" and "\\.\COM3" are one port: Windows names carry no case.
    QString name = device.trimmed();
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    return name.toUpper();
#elif defined(Q_OS_UNIX)
    struct stat st = {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
#else
    return device;
#endif
}

qint64 deviceHolder(const QString& device)
{
#ifdef Q_OS_LINUX
    // The list names the device by file system and inode, so any link to it finds the same holder.
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
#else
    Q_UNUSED(device);
#endif
    return 0;
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

bool deviceAccessDenied(const QString& device)
{
#ifdef Q_OS_LINUX
    return !device.isEmpty() && QFileInfo::exists(device) &&
           ::access(QFile::encodeName(device).constData(), W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

} // namespace platform
