// File nodes: open(2), fstat(2) and stat(2) on POSIX; the Win32 file information on Windows.
#include "core/platform/FileNode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform
{
#ifdef Q_OS_WIN
namespace
{
// Opens the node itself (a folder too) only to ask for its identity: no read or write access is needed.
bool identityOf(const QString& path, BY_HANDLE_FILE_INFORMATION* info)
{
    const QString native = QDir::toNativeSeparators(path);
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(native.utf16()), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(handle, info) != 0;
    ::CloseHandle(handle);
    return ok;
}
} // namespace

ReadOpening openForReading(const QString& path, QFile& file)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {ReadOpening::Missing, {}, {}};
    if (info.isDir())
        return {ReadOpening::Folder, {}, {}};
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return {ReadOpening::Refused,
                file.error() == QFileDevice::PermissionsError ? QStringLiteral("sin permiso") : file.errorString(),
                {}};
    return {ReadOpening::Opened, {}, {}};
}

QString specialFileKind(const QString&)
{
    return QStringLiteral("un archivo especial");
}

bool isSameFile(const QString& first, const QString& second)
{
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return identityOf(first, &a) && identityOf(second, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
#else
namespace
{
// The reasons open() gives most often, in the program's language; the system's text for the others.
QString openReason(int systemError)
{
    switch (systemError) {
    case EACCES:
    case EPERM:
        return QStringLiteral("sin permiso");
    case ELOOP:
        return QStringLiteral("los enlaces simbolicos forman un ciclo");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case ENAMETOOLONG:
        return QStringLiteral("nombre demasiado largo");
    default:
        return QString::fromLocal8Bit(std::strerror(systemError));
    }
}
} // namespace

ReadOpening openForReading(const QString& path, QFile& file)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int systemError = errno;
        if (systemError == ENOENT)
            return {ReadOpening::Missing, {}, {}};
        return {ReadOpening::Refused, openReason(systemError), {}};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {ReadOpening::Refused, file.errorString(), {}};
    }
    struct stat node
    {
    };
    if (::fstat(fd, &node) != 0)
        return {ReadOpening::Refused, openReason(errno), {}};
    if (S_ISDIR(node.st_mode))
        return {ReadOpening::Folder, {}, {}};
    QByteArray first;
    if (S_ISFIFO(node.st_mode)) {
        // A pipe with a writer gives bytes or "not yet"; one without gives the end at once: nothing will come.
        char byte = 0;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 0)
            return {ReadOpening::Refused, QStringLiteral("es una FIFO sin nadie que escriba en ella"), {}};
        if (got == 1)
            first.append(byte);
        else if (errno != EAGAIN)
            return {ReadOpening::ReadError, openReason(errno), {}};
    }
    // From here on a read waits for the bytes as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return {ReadOpening::Opened, {}, first};
}

QString specialFileKind(const QString& path)
{
    struct stat node
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &node) != 0)
        return QStringLiteral("un archivo especial");
    if (S_ISFIFO(node.st_mode))
        return QStringLiteral("una FIFO");
    if (S_ISCHR(node.st_mode) || S_ISBLK(node.st_mode))
        return QStringLiteral("un dispositivo");
    if (S_ISSOCK(node.st_mode))
        return QStringLiteral("un socket");
    return QStringLiteral("un archivo especial");
}

bool isSameFile(const QString& first, const QString& second)
{
    struct stat a
    {
    };
    struct stat b
    {
    };
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
#endif
} // namespace platform
