// QSettings behind the settings store; organisation and application are both the program's title,
// so on Linux the values live in ~/.config/Tivor/Tivor.conf.
#include "core/settings/SettingsStore.h"

#include "core/files/FileIO.h"

#include <QSettings>
#include <QStandardPaths>
#include <memory>
#include <utility>

namespace platform
{
namespace
{
std::unique_ptr<QSettings> open(const QString& appName, const QString& file)
{
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appName, appName);
}
} // namespace

SettingsStore::SettingsStore(QString appName, QString file) : m_appName(std::move(appName)), m_file(std::move(file)) {}

SettingsStore SettingsStore::forUser(const QString& appName)
{
    return SettingsStore(appName, QString());
}

SettingsStore SettingsStore::inFile(const QString& path)
{
    return SettingsStore(QString(), path);
}

QString SettingsStore::storeFile() const
{
    if (!m_file.isEmpty())
        return m_file;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + m_appName +
           QLatin1Char('/') + m_appName + QStringLiteral(".conf");
}

QString SettingsStore::GetSetting(const QString& section, const QString& key, const QString& defaultValue) const
{
    // A store that cannot be read is not handed to QSettings, which would wait on a FIFO.
    if (!readProblem().isEmpty())
        return defaultValue;
    auto s = open(m_appName, m_file);
    const QString path = section + QLatin1Char('/') + key;
    if (!s->contains(path))
        return defaultValue;
    return s->value(path).toString();
}

bool SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value) const
{
    // Nor written over: QSettings would put a plain file in place of a FIFO or a device.
    if (!readProblem().isEmpty())
        return false;
    auto s = open(m_appName, m_file);
    s->setValue(section + QLatin1Char('/') + key, value);
    s->sync();
    return s->status() == QSettings::NoError;
}

QString SettingsStore::readProblem() const
{
#ifdef Q_OS_UNIX
    const QString path = storeFile();
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
    return QString();
#endif
}

QString SettingsStore::location() const
{
#ifdef Q_OS_UNIX
    return storeFile();
#else
    return open(m_appName, m_file)->fileName();
#endif
}
} // namespace platform
