// Writing "Salida.txt" whole or not at all, in the program's folder or the user's data folder.
#include "core/files/OutputFile.h"

#include "core/files/FileIO.h"

#include <QDir>
#include <QStandardPaths>

namespace
{
const QString kFileName = QStringLiteral("Salida.txt");

bool writeTo(const QString& path, const QByteArray& line, QString* error)
{
    // A failed write never leaves a cut or empty file in place of the old one.
    FileFailure failure;
    if (writeFileAtomically(path, line, &failure))
        return true;
    if (error)
        *error = path + QStringLiteral(": ") + failure.reason;
    return false;
}
} // namespace

QByteArray salidaLine(const QByteArray& transmission)
{
    QByteArray line;
    line.reserve(transmission.size() + 4);
    line += '"';
    line += transmission;
    line += '"';
    line += "\r\n";
    return line;
}

QString salidaFallbackFolder()
{
    // The user's own data folder for Tivor (~/.local/share/Tivor, %LOCALAPPDATA%\Tivor), whichever program
    // writes: the window and tivor-cli have different application names.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("Tivor"));
}

QString writeSalida(const QString& programFolder, const QByteArray& transmission, QString* error)
{
    const QByteArray line = salidaLine(transmission);
    QString firstError;
    if (!programFolder.isEmpty()) {
        const QString path = QDir(programFolder).filePath(kFileName);
        if (writeTo(path, line, &firstError))
            return path;
    }
    const QString dataDir = salidaFallbackFolder();
    if (dataDir.isEmpty() || !QDir().mkpath(dataDir)) {
        if (error)
            *error = firstError.isEmpty() ? QStringLiteral("No hay carpeta de datos del usuario") : firstError;
        return QString();
    }
    const QString path = QDir(dataDir).filePath(kFileName);
    QString secondError;
    if (writeTo(path, line, &secondError))
        return path;
    if (error)
        *error = firstError.isEmpty() ? secondError : firstError + QChar(u'\n') + secondError;
    return QString();
}
