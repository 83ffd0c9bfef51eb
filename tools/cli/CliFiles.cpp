// Input and output files of the subcommands.
#include "CliFiles.h"

#include "Cli.h"
#include "core/files/MessageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli
{
int readFailure(const QString& path, const FileFailure& failure)
{
    switch (failure.kind) {
    case FileFailure::Missing:
        return fail(StatusFile, QStringLiteral("%1: no existe").arg(path));
    case FileFailure::Folder:
        return fail(StatusFile, QStringLiteral("%1: es una carpeta, no un archivo").arg(path));
    case FileFailure::TooLarge:
        return fail(StatusFile,
                    QStringLiteral("%1: demasiado grande (mas de %2 MB)").arg(path).arg(MaxReadBytes >> 20));
    case FileFailure::Open:
        return fail(StatusFile, QStringLiteral("%1: no se pudo abrir (%2)").arg(path, failure.reason));
    default:
        return fail(StatusFile, QStringLiteral("%1: no se pudo leer (%2)").arg(path, failure.reason));
    }
}

int loadMessageFile(const QString& path, Message& message)
{
    FileFailure failure;
    switch (loadMessage(path, message, &failure)) {
    case MessageLoad::Pages:
    case MessageLoad::Empty:
        return -1;
    case MessageLoad::Unreadable:
    case MessageLoad::TooLarge:
        return readFailure(path, failure);
    case MessageLoad::FirstPageCodes:
        return fail(StatusFile, QStringLiteral("%1: no es un archivo de mensajes valido (la pagina 1 tiene un efecto "
                                               "o una pausa fuera de las listas)")
                                    .arg(path));
    case MessageLoad::Broken:
        break;
    }
    return fail(StatusFile, QStringLiteral("%1: no es un archivo de mensajes valido").arg(path));
}

int writeOutput(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty()) {
        errno = 0;
        const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
        if (std::fflush(stdout) != 0 || !written)
            return fail(StatusFile, QStringLiteral("no se pudo escribir la salida estandar (%1)")
                                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return -1;
    }
    FileFailure failure;
    if (writeFileAtomically(path, bytes, &failure))
        return -1;
    switch (failure.kind) {
    case FileFailure::Folder:
        return fail(StatusFile, QStringLiteral("%1: es una carpeta, no un archivo").arg(path));
    case FileFailure::ReadOnly:
        return fail(StatusFile, QStringLiteral("%1: es de solo lectura").arg(path));
    case FileFailure::NotRegular:
        return fail(StatusFile, failure.reason);
    case FileFailure::Open:
        return fail(StatusFile, QStringLiteral("%1: no se pudo crear (%2)").arg(path, failure.reason));
    default:
        return fail(StatusFile, QStringLiteral("%1: no se pudo escribir (%2); el archivo anterior queda como estaba")
                                    .arg(path, failure.reason));
    }
}

int refuseSameFile(const QString& input, const QString& output)
{
    if (output.isEmpty() || !isSameFile(input, output))
        return -1;
    return fail(
        StatusFile,
        QStringLiteral("%1: es el mismo archivo que %2; se perderia la entrada, no se escribe").arg(output, input));
}
} // namespace cli
