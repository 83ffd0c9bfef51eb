// The per-user settings store: text values by application, section and key.
#pragma once

#include <QString>

namespace platform
{
// The stored text, or `defaultValue` when the key does not exist or the store cannot be read (nothing is written).
QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue);
// Creates or replaces the value; false when the store could not be written, or cannot be read (then it is left
// as it is: a FIFO or a device there is never replaced).
bool SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& value);
// Where the store keeps its values (for messages and the README).
QString settingsLocation(const QString& appName);
// Why the store's file is there but cannot be read (a folder, no permission, a link cycle, a FIFO), or empty
// when it can be read or does not exist yet. Looked at without waiting on the file.
QString settingsReadProblem(const QString& appName);
} // namespace platform

namespace platform::testing
{
// When not empty, the store is this INI file instead of the user's.
inline QString settingsFile;
}
