// Opening a raw pseudo-terminal pair.
#include "platform/PseudoTerminal.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

bool openRawPty(int* master, int* slave, QString* slavePath, QString* error)
{
    const auto reason = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    *master = *slave = -1;
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        *error = QStringLiteral("no se puede crear un pseudo-terminal: %1").arg(reason());
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const int keep = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keep < 0) {
        *error = QStringLiteral("no se puede abrir %1: %2").arg(QFile::decodeName(name), reason());
        ::close(fd);
        return false;
    }
    termios tio{};
    if (::tcgetattr(keep, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(keep, TCSANOW, &tio);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    *master = fd;
    *slave = keep;
    *slavePath = QFile::decodeName(name);
    return true;
}

qint64 readPtyEnd(int fd, char* buf, qint64 size, QString* reason)
{
    const ssize_t n = ::read(fd, buf, size_t(size));
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    *reason = n == 0 ? QStringLiteral("fin") : QString::fromLocal8Bit(std::strerror(errno));
    return -1;
}

void closePtyEnd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
#else
bool openRawPty(int* master, int* slave, QString*, QString* error)
{
    *master = *slave = -1;
    *error = QStringLiteral("este sistema no tiene pseudo-terminales");
    return false;
}

qint64 readPtyEnd(int, char*, qint64, QString* reason)
{
    *reason = QStringLiteral("fin");
    return -1;
}

void closePtyEnd(int) {}
#endif
