// The per-user settings store: text values by section and key, for one application or in one file of its own.
#pragma once

#include <QString>

namespace platform
{
// A value that says where the settings are; whoever reads or writes settings is handed one.
class SettingsStore
{
public:
    // The user's own store for `appName`: the registry on Windows, ~/.config/APP/APP.conf elsewhere.
    static SettingsStore forUser(const QString& appName);
    // An INI file at `path` instead of the user's store (tests, benchmarks, the screenshot tool).
    static SettingsStore inFile(const QString& path);

    // The stored text, or `defaultValue` when the key does not exist or the store cannot be read (nothing is
    // written).
    QString GetSetting(const QString& section, const QString& key, const QString& defaultValue) const;
    // Creates or replaces the value; false when the store could not be written, or cannot be read (then it is
    // left as it is: a FIFO or a device there is never replaced).
    bool SaveSetting(const QString& section, const QString& key, const QString& value) const;
    // Where the store keeps its values (for messages and the README).
    QString location() const;
    // Why the store's file is there but cannot be read (a folder, no permission, a link cycle, a FIFO), or
    // empty when it can be read or does not exist yet. Looked at without waiting on the file.
    QString readProblem() const;

private:
    SettingsStore(QString appName, QString file);
    // The file QSettings uses, found without opening QSettings: it would read the file, and wait on a FIFO.
    QString storeFile() const;

    QString m_appName; // the user's store for this application, when m_file is empty
    QString m_file;
};
} // namespace platform
