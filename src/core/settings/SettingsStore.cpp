// QSettings behind the settings store; organisation and application are both the program's title,
// so on Linux the values live in ~/.config/Tivor/Tivor.conf.
#include "core/settings/SettingsStore.h"

#include "core/files/FileIO.h"

#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace
{
// The file QSettings uses, found without opening QSettings: it would read the file, and wait on a FIFO.
QString storeFile(const QString& appName)
{
    if (!platform::testing::settingsFile.isEmpty())
        return platform::testing::settingsFile;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + appName +
           QLatin1Char('/') + appName + QStringLiteral(".conf");
}

std::unique_ptr<QSettings> open(const QString& appName)
{
    if (!platform::testing::settingsFile.isEmpty())
        return std::make_unique<QSettings>(platform::testing::settingsFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appName, appName);
}
} // namespace

namespace platform
{
QString GetSetting(const QString& appName, const QString& section, const QString& key, const QString& defaultValue)
{
    // A store that cannot be read is not handed to QSettings, which would wait on a FIFO.
    if (!settingsReadProblem(appName).isEmpty())
        return defaultValue;
    auto s = open(appName);
    const QString path = section + QLatin1Char('/') + key;
    if (!s->contains(path))
        return defaultValue;
    return s->value(path).toString();
}

bool SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& value)
{
    // Nor written over: QSettings would put a plain file in place of a FIFO or a device.
    if (!settingsReadProblem(appName).isEmpty())
        return false;
    auto s = open(appName);
    s->setValue(section + QLatin1Char('/') + key, value);
    s->sync();
    return s->status() == QSettings::NoError;
}

QString settingsReadProblem(const QString& appName)
{
#ifdef Q_OS_UNIX
    const QString path = storeFile(appName);
    QByteArray bytes;
    FileFailure failure;
    // QSettings says nothing of a file it cannot read and goes on as if it were empty.
    if (readWholeFile(path, &bytes, &failure) || failure.kind == FileFailure::Missing)
        return QString();
    if (failure.kind == FileFailure::TooLarge)
        return failure.reason;
    return failure.kind == FileFailure::Folder ? QStringLiteral("%1 es una carpeta").arg(path)
                                               : QStringLiteral("%1: %2").arg(path, failure.reason);
#else
    Q_UNUSED(appName);
    return QString();
#endif
}

QString settingsLocation(const QString& appName)
{
#ifdef Q_OS_UNIX
    return storeFile(appName);
#else
    return open(appName)->fileName();
#endif
}
} // namespace platform
