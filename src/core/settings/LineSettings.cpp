// Settings: application "Tivor", section "COM" (Port, Baud, RTS) and "PGM" (DY1, DY2).
#include "core/settings/LineSettings.h"

#include "core/protocol/SignProtocol.h"

namespace
{
const QString kApp = QStringLiteral("Tivor");
const QString kCom = QStringLiteral("COM");
const QString kPgm = QStringLiteral("PGM");
const QString kDefaultPort = QStringLiteral("2");
const QString kDefaultBaud = QStringLiteral("9600");
const QString kDefaultDY1 = QString::fromLatin1(signproto::DefaultDelayStart);
const QString kDefaultDY2 = QString::fromLatin1(signproto::DefaultDelayChar);
} // namespace

platform::SettingsStore userSettings()
{
    return platform::SettingsStore::forUser(kApp);
}

LineSettings LineSettings::defaults()
{
    return {kDefaultPort, kDefaultBaud, false, kDefaultDY1, kDefaultDY2};
}

LineSettings loadLineSettings(const platform::SettingsStore& store, QString* problem)
{
    // Not handed to the store at all: reading a FIFO there would wait for ever.
    const QString unreadable = store.readProblem();
    if (problem)
        *problem = unreadable;
    if (!unreadable.isEmpty())
        return LineSettings::defaults();
    LineSettings line;
    line.port = store.GetSetting(kCom, QStringLiteral("Port"), kDefaultPort);
    line.baud = store.GetSetting(kCom, QStringLiteral("Baud"), kDefaultBaud);
    // Only the exact text "True" is true; anything else a hand-edited store holds reads as false.
    line.rts = store.GetSetting(kCom, QStringLiteral("RTS"), QStringLiteral("False")) == QLatin1String("True");
    line.dy1 = store.GetSetting(kPgm, QStringLiteral("DY1"), kDefaultDY1);
    line.dy2 = store.GetSetting(kPgm, QStringLiteral("DY2"), kDefaultDY2);
    return line;
}

bool saveLineSettings(const platform::SettingsStore& store, const LineSettings& line)
{
    bool ok = store.SaveSetting(kCom, QStringLiteral("Port"), line.port);
    ok = store.SaveSetting(kCom, QStringLiteral("Baud"), line.baud) && ok;
    ok = store.SaveSetting(kCom, QStringLiteral("RTS"), line.rts ? QStringLiteral("True") : QStringLiteral("False")) &&
         ok;
    ok = store.SaveSetting(kPgm, QStringLiteral("DY1"), line.dy1) && ok;
    ok = store.SaveSetting(kPgm, QStringLiteral("DY2"), line.dy2) && ok;
    return ok;
}
