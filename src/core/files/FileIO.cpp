// The one whole-file reader and the one atomic writer, and the reasons they give for a failure.
#include "core/files/FileIO.h"

#include "core/platform/FileNode.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

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

// Links that lead on to links without end (a loop): the system would not open the path, and QSaveFile, which
// stops following after a while, would put a plain file in place of the first link. 40 hops, as Linux allows.
bool endlessLinks(const QString& path)
{
    QFileInfo node(path);
    for (int hops = 0; node.isSymLink(); ++hops) {
        if (hops == 40)
            return true;
        node.setFile(node.symLinkTarget());
    }
    return false;
}
} // namespace

bool readWholeFile(const QString& path, QByteArray* bytes, FileFailure* failure)
{
    bytes->clear();
    if (path.isEmpty())
        return fail(failure, FileFailure::Missing, QStringLiteral("sin nombre de archivo"));
    QFile file;
    const platform::ReadOpening opening = platform::openForReading(path, file);
    switch (opening.result) {
    case platform::ReadOpening::Opened:
        break;
    case platform::ReadOpening::Missing:
        return fail(failure, FileFailure::Missing, QStringLiteral("%1 no existe").arg(path));
    case platform::ReadOpening::Folder:
        return fail(failure, FileFailure::Folder, QStringLiteral("%1 no es un archivo").arg(path));
    case platform::ReadOpening::Refused:
        return fail(failure, FileFailure::Open, opening.reason);
    case platform::ReadOpening::ReadError:
        return fail(failure, FileFailure::Transfer, opening.reason);
    }
    const QByteArray& first = opening.first;
    errno = 0;
    // One byte past the limit tells a file that is too large from one that just fits.
    *bytes = first + file.read(MaxReadBytes + 1 - first.size());
    if (file.error() != QFileDevice::NoError) {
        const int systemError = errno;
        bytes->clear();
        return fail(failure, FileFailure::Transfer, reasonOf(file, systemError));
    }
    if (bytes->size() > MaxReadBytes) {
        bytes->clear();
        return fail(failure, FileFailure::TooLarge,
                    QStringLiteral("%1 es demasiado grande (mas de %2 MB)").arg(path).arg(MaxReadBytes >> 20));
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
    if (info.exists() && !info.isFile())
        return fail(failure, FileFailure::NotRegular,
                    QStringLiteral("%1 es %2, no un archivo comun: no se reemplaza")
                        .arg(path, platform::specialFileKind(path)));
    // Renaming over a read-only file would succeed in a writable folder; the user protected it, so refuse,
    // also when running as root, who may write anything but still sees the file marked read-only.
    // (The "User" bits are what access() says for us, so only the file's own mode bits count here.)
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        return fail(failure, FileFailure::ReadOnly, QStringLiteral("%1 es de solo lectura").arg(path));
    if (!info.exists() && endlessLinks(path))
        return fail(failure, FileFailure::Open, QStringLiteral("los enlaces simbolicos forman un ciclo"));
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
    return platform::isSameFile(first, second);
}
