// A name is checked before any path is made of it, and a path is followed before it is used.
#include "MessageStore.h"

#include "core/files/FileIO.h"
#include "core/files/MessageFile.h"
#include "core/platform/FileNode.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

namespace
{
constexpr qsizetype MaxNameLength = 64;

QString displayName(const QString& name)
{
    return name + QStringLiteral(".mnm");
}

// The texts tivor-cli gives for a file it cannot read, named by the message's file.
BodyFault readFault(const QString& name, const FileFailure& failure)
{
    const QString file = displayName(name);
    switch (failure.kind) {
    case FileFailure::Missing:
        return {404, QStringLiteral("no hay ningun mensaje '%1'").arg(name)};
    case FileFailure::TooLarge:
        return {422, QStringLiteral("%1: demasiado grande (mas de %2 MB)").arg(file).arg(MaxReadBytes >> 20)};
    case FileFailure::Open:
        return {500, QStringLiteral("%1: no se pudo abrir (%2)").arg(file, failure.reason)};
    default:
        return {500, QStringLiteral("%1: no se pudo leer (%2)").arg(file, failure.reason)};
    }
}

// Reserved by Windows in every folder and with any extension: such a file could not be copied there.
bool isDeviceName(const QString& name)
{
    static const QRegularExpression devices(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return devices.match(name).hasMatch();
}
} // namespace

QString MessageStore::nameFault(const QString& name)
{
    if (name.isEmpty() || name.size() > MaxNameLength)
        return QStringLiteral("el nombre debe tener de 1 a %1 caracteres").arg(MaxNameLength);
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            QStringLiteral("/\\<>:\"|?*").contains(c))
            return QStringLiteral("el nombre no puede llevar '/', '\\', '<', '>', ':', '\"', '|', '?', '*' ni "
                                  "caracteres de control");
    if (name.startsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')) ||
        name.startsWith(QLatin1Char(' ')))
        return QStringLiteral("el nombre no puede empezar con '.' ni empezar o terminar con un blanco o un '.'");
    if (isDeviceName(name))
        return QStringLiteral("'%1' es el nombre de un dispositivo").arg(name);
    return QString();
}

QString MessageStore::pathOf(const QString& name) const
{
    return QDir(m_folder).filePath(displayName(name));
}

BodyFault MessageStore::check(const QString& name, bool mustExist) const
{
    if (const QString fault = nameFault(name); !fault.isEmpty())
        return {400, QStringLiteral("'%1': %2").arg(name, fault)};
    const QFileInfo file(pathOf(name));
    if (!file.exists() && !file.isSymLink())
        return mustExist ? BodyFault{404, QStringLiteral("no hay ningun mensaje '%1'").arg(name)} : BodyFault{};
    const QString folder = QFileInfo(m_folder).canonicalFilePath();
    const QString target = file.canonicalFilePath();
    if (target.isEmpty() || folder.isEmpty() || QFileInfo(target).absolutePath() != folder)
        return {403, QStringLiteral("%1: lleva fuera de la carpeta de mensajes").arg(displayName(name))};
    if (!file.isFile())
        return {409, QStringLiteral("%1: es %2, no un archivo comun")
                         .arg(displayName(name), platform::specialFileKind(file.filePath()))};
    return {};
}

QJsonArray MessageStore::list() const
{
    QJsonArray names;
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*.mnm")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString name = file.completeBaseName();
        if (check(name, true).status)
            continue;
        names.append(QJsonObject{{QStringLiteral("name"), name},
                                 {QStringLiteral("size"), file.size()},
                                 {QStringLiteral("modified"), file.lastModified().toUTC().toString(Qt::ISODate)}});
    }
    return names;
}

BodyFault MessageStore::read(const QString& name, QByteArray* bytes) const
{
    if (const BodyFault fault = check(name, true); fault.status)
        return fault;
    if (FileFailure failure; !readWholeFile(pathOf(name), bytes, &failure))
        return readFault(name, failure);
    return {};
}

BodyFault MessageStore::load(const QString& name, Message* message) const
{
    if (const BodyFault fault = check(name, true); fault.status)
        return fault;
    FileFailure failure;
    switch (loadMessage(pathOf(name), *message, &failure)) {
    case MessageLoad::Pages:
    case MessageLoad::Empty:
        return {};
    case MessageLoad::Unreadable:
    case MessageLoad::TooLarge:
        return readFault(name, failure);
    case MessageLoad::FirstPageCodes:
        return {422, QStringLiteral("%1: no es un archivo de mensajes valido (la pagina 1 tiene un efecto o una pausa "
                                    "fuera de las listas)")
                         .arg(displayName(name))};
    case MessageLoad::Broken:
        break;
    }
    return {422, QStringLiteral("%1: no es un archivo de mensajes valido").arg(displayName(name))};
}

BodyFault MessageStore::write(const QString& name, const QByteArray& bytes, bool* created) const
{
    if (const BodyFault fault = check(name, false); fault.status)
        return fault;
    if (!QDir().mkpath(m_folder))
        return {500, QStringLiteral("%1: no se pudo crear la carpeta de mensajes").arg(m_folder)};
    *created = !QFileInfo::exists(pathOf(name));
    if (FileFailure failure; !writeFileAtomically(pathOf(name), bytes, &failure))
        return {500, QStringLiteral("%1: no se pudo escribir (%2); el archivo anterior queda como estaba")
                         .arg(displayName(name), failure.reason)};
    return {};
}

BodyFault MessageStore::remove(const QString& name) const
{
    if (const BodyFault fault = check(name, true); fault.status)
        return fault;
    if (!QFile::remove(pathOf(name)))
        return {500, QStringLiteral("%1: no se pudo borrar").arg(displayName(name))};
    return {};
}
