// QSettings behind the settings store; organisation and application are both the program's title,
// so on Linux the values live in ~/.config/Tivor/Tivor.conf.
#include "platform/SettingsStore.h"

#include <QSettings>
#include <memory>

namespace
{
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
    auto s = open(appName);
    const QString path = section + QLatin1Char('/') + key;
    if (!s->contains(path))
        return defaultValue;
    return s->value(path).toString();
}

bool SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& value)
{
    auto s = open(appName);
    s->setValue(section + QLatin1Char('/') + key, value);
    s->sync();
    return s->status() == QSettings::NoError;
}

QString settingsLocation(const QString& appName)
{
    return open(appName)->fileName();
}
} // namespace platform
