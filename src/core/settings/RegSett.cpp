// Settings: application "Tivor", section "COM" (Port, Baud, RTS) and "PGM" (DY1, DY2).
#include "core/settings/RegSett.h"

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

QString LoadRegSett(const platform::SettingsStore& store)
{
    using namespace Module1;
    // Not handed to the store at all: reading a FIFO there would wait for ever.
    const QString problem = store.readProblem();
    if (!problem.isEmpty()) {
        ComPort = kDefaultPort, ComBaud = kDefaultBaud, ComRTS = false, DY1 = kDefaultDY1, DY2 = kDefaultDY2;
        return problem;
    }
    ComPort = store.GetSetting(kCom, QStringLiteral("Port"), kDefaultPort);
    ComBaud = store.GetSetting(kCom, QStringLiteral("Baud"), kDefaultBaud);
    // Only the exact text "True" is true; anything else a hand-edited store holds reads as false.
    ComRTS = store.GetSetting(kCom, QStringLiteral("RTS"), QStringLiteral("False")) == QLatin1String("True");
    DY1 = store.GetSetting(kPgm, QStringLiteral("DY1"), kDefaultDY1);
    DY2 = store.GetSetting(kPgm, QStringLiteral("DY2"), kDefaultDY2);
    return QString();
}

bool SaveRegSett(const platform::SettingsStore& store)
{
    using namespace Module1;
    bool ok = store.SaveSetting(kCom, QStringLiteral("Port"), ComPort);
    ok = store.SaveSetting(kCom, QStringLiteral("Baud"), ComBaud) && ok;
    ok =
        store.SaveSetting(kCom, QStringLiteral("RTS"), ComRTS ? QStringLiteral("True") : QStringLiteral("False")) && ok;
    ok = store.SaveSetting(kPgm, QStringLiteral("DY1"), DY1) && ok;
    ok = store.SaveSetting(kPgm, QStringLiteral("DY2"), DY2) && ok;
    return ok;
}
