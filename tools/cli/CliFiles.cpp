// Input and output files of the subcommands.
#include "CliFiles.h"

#include "Cli.h"
#include "files/MessageFile.h"
#include "model/Module1.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli
{
namespace
{
// Far beyond any message or text a sign can take; stops a mistaken path (a disk image, a device) from
// filling the memory.
constexpr qint64 MaxInputBytes = 64 * 1024 * 1024;

// `systemError` is errno right after the failure: a failed flush leaves Qt with no text of its own.
QString reasonFor(const QFileDevice& file, int systemError = 0)
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
} // namespace

int readInputFile(const QString& path, QByteArray* bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return fail(StatusFile, QStringLiteral("%1: no existe").arg(path));
    if (info.isDir())
        return fail(StatusFile, QStringLiteral("%1: es una carpeta, no un archivo").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(StatusFile, QStringLiteral("%1: no se pudo abrir (%2)").arg(path, reasonFor(file)));
    *bytes = file.read(MaxInputBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(StatusFile, QStringLiteral("%1: no se pudo leer (%2)").arg(path, reasonFor(file)));
    if (bytes->size() > MaxInputBytes)
        return fail(StatusFile, QStringLiteral("%1: demasiado grande (mas de %2 MB)").arg(path).arg(MaxInputBytes >> 20));
    return -1;
}

int loadMessage(const QString& path)
{
    QByteArray bytes;
    if (const int status = readInputFile(path, &bytes); status >= 0)
        return status;
    QList<MessageRecord> records;
    if (!parseMessageFile(bytes, &records))
        return fail(StatusFile, QStringLiteral("%1: no es un archivo de mensajes valido").arg(path));

    // The model as a freshly opened message: every slot blank, then one page per record.
    Module1::clearModel();
    for (int i = 0; i < records.size(); ++i) {
        const int page = i + 1;
        Module1::PageText[page] = records[i].text;
        Module1::PageEffect[page] = std::uint8_t(records[i].effect);
        Module1::PagePause[page] = std::uint8_t(records[i].pause);
        Module1::PageAlign[page] = std::uint8_t(records[i].align);
    }
    Module1::PageCount = std::uint8_t(std::max<qsizetype>(1, records.size()));
    Module1::CurrentPage = 1;
    return -1;
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
    const QFileInfo info(path);
    if (info.isDir())
        return fail(StatusFile, QStringLiteral("%1: es una carpeta, no un archivo").arg(path));
    // Replacing a file marked read-only would succeed in a writable folder (and always for root); the mark
    // says the file is to be kept, as the program's own message writer respects it.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        return fail(StatusFile, QStringLiteral("%1: es de solo lectura").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(StatusFile, QStringLiteral("%1: no se pudo crear (%2)").arg(path, reasonFor(file)));
    // QSaveFile::commit() renames even when its own final flush fails (Qt 6.4), which would put a cut file in
    // place of the old one: flush and check first, so commit() only replaces the file with a complete one.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = reasonFor(file, errno);
        file.cancelWriting();
        file.commit();
        return fail(StatusFile, QStringLiteral("%1: no se pudo escribir (%2); el archivo anterior queda como estaba")
                                    .arg(path, reason));
    }
    if (!file.commit())
        return fail(StatusFile, QStringLiteral("%1: no se pudo escribir (%2); el archivo anterior queda como estaba")
                                    .arg(path, reasonFor(file)));
    return -1;
}
} // namespace cli
