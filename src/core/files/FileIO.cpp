// The one whole-file reader and the one atomic writer, and the reasons they give for a failure.
#include "core/files/FileIO.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// `systemError` is errno right after the failed call: after a short write Qt has no text of its own and says
// "Unknown error", where the system's reason (File too large, No space left on device) is the useful one.
QString reasonOf(const QFileDevice& file, int systemError)
{
    QString text = file.errorString();
    if (systemError != 0 && (text.isEmpty() || text == QLatin1String("Unknown error")))
        text = QString::fromLocal8Bit(std::strerror(systemError));
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("sin permiso");
    case QFileDevice::ResourceError:
        return QStringLiteral("sin espacio o recursos (%1)").arg(text);
    default:
        return text;
    }
}

bool fail(FileFailure* failure, FileFailure::Kind kind, const QString& reason)
{
    if (failure)
        *failure = {kind, reason};
    return false;
}

// What a node that is neither a file nor a folder is, for the reason given when it is refused.
QString specialKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("una FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("un dispositivo");
    if (S_ISSOCK(mode))
        return QStringLiteral("un socket");
    return QStringLiteral("un archivo especial");
}

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

bool readWholeFile(const QString& path, QByteArray* bytes, FileFailure* failure, qint64 maxBytes)
{
    bytes->clear();
    if (path.isEmpty())
        return fail(failure, FileFailure::Missing, QStringLiteral("sin nombre de archivo"));
    // Opened without waiting: a FIFO nobody writes to would otherwise hold the open (and the program) forever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int systemError = errno;
        if (systemError == ENOENT)
            return fail(failure, FileFailure::Missing, QStringLiteral("%1 no existe").arg(path));
        return fail(failure, FileFailure::Open, openReason(systemError));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(failure, FileFailure::Open, file.errorString());
    }
    struct stat node{};
    if (::fstat(fd, &node) != 0)
        return fail(failure, FileFailure::Open, openReason(errno));
    if (S_ISDIR(node.st_mode))
        return fail(failure, FileFailure::Folder, QStringLiteral("%1 no es un archivo").arg(path));
    QByteArray first;
    if (S_ISFIFO(node.st_mode)) {
        // A pipe with a writer gives bytes or "not yet"; one without gives the end at once: nothing will come.
        char byte = 0;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 0)
            return fail(failure, FileFailure::Open, QStringLiteral("es una FIFO sin nadie que escriba en ella"));
        if (got == 1)
            first.append(byte);
        else if (errno != EAGAIN)
            return fail(failure, FileFailure::Transfer, openReason(errno));
    }
    // From here on a read waits for the bytes as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    errno = 0;
    // A limit stops a mistaken path (a disk image, a device that never ends) from filling the memory.
    *bytes = first + (maxBytes < 0 ? file.readAll() : file.read(maxBytes + 1 - first.size()));
    if (file.error() != QFileDevice::NoError) {
        const int systemError = errno;
        bytes->clear();
        return fail(failure, FileFailure::Transfer, reasonOf(file, systemError));
    }
    if (maxBytes >= 0 && bytes->size() > maxBytes) {
        bytes->clear();
        return fail(failure, FileFailure::TooLarge, QStringLiteral("%1 tiene mas de %2 bytes").arg(path).arg(maxBytes));
    }
    return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, FileFailure* failure)
{
    const QFileInfo info(path);
    // Only a regular file (or a link to one) is replaced: renaming over a device or a pipe would put a plain
    // file in its place.
    if (path.isEmpty() || info.isDir())
        return fail(failure, FileFailure::Folder, QStringLiteral("%1 no es un archivo").arg(path));
    if (info.exists() && !info.isFile()) {
        struct stat node{};
        const QString kind = ::stat(QFile::encodeName(path).constData(), &node) == 0 ? specialKind(node.st_mode)
                                                                                   : QStringLiteral("un archivo especial");
        return fail(failure, FileFailure::NotRegular,
                    QStringLiteral("%1 es %2, no un archivo comun: no se reemplaza").arg(path, kind));
    }
    // Renaming over a read-only file would succeed in a writable folder; the user protected it, so refuse,
    // also when running as root, who may write anything but still sees the file marked read-only.
    // (The "User" bits are what access() says for us, so only the file's own mode bits count here.)
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        return fail(failure, FileFailure::ReadOnly, QStringLiteral("%1 es de solo lectura").arg(path));
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(failure, FileFailure::Open, reasonOf(file, errno));
    // QSaveFile::commit() renames even when its own final flush fails (Qt 6.4: a disk that fills up mid-write
    // left a cut file in place of the old one), so the flush is done and checked here first.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = reasonOf(file, errno);
        file.cancelWriting(); // the destructor then removes the temporary file
        return fail(failure, FileFailure::Transfer, reason);
    }
    errno = 0;
    if (!file.commit())
        return fail(failure, FileFailure::Transfer, reasonOf(file, errno));
    return true;
}

bool isSameFile(const QString& first, const QString& second)
{
    struct stat a{};
    struct stat b{};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 && ::stat(QFile::encodeName(second).constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
