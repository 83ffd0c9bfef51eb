// Settings: application "Tivor", section "COM" (Port, Baud, RTS) and "PGM" (DY1, DY2).
#include "settings/RegSett.h"

#include "platform/SettingsStore.h"

namespace
{
const QString kApp = QStringLiteral("Tivor");
const QString kCom = QStringLiteral("COM");
const QString kPgm = QStringLiteral("PGM");
} // namespace

void LoadRegSett()
{
    using namespace Module1;
    ComPort = platform::GetSetting(kApp, kCom, QStringLiteral("Port"), QStringLiteral("2"));
    ComBaud = platform::GetSetting(kApp, kCom, QStringLiteral("Baud"), QStringLiteral("9600"));
    // Only the exact text "True" is true; anything else a hand-edited store holds reads as false.
    ComRTS = platform::GetSetting(kApp, kCom, QStringLiteral("RTS"), QStringLiteral("False")) == QLatin1String("True");
    DY1 = platform::GetSetting(kApp, kPgm, QStringLiteral("DY1"), QStringLiteral("200"));
    DY2 = platform::GetSetting(kApp, kPgm, QStringLiteral("DY2"), QStringLiteral("05"));
}

bool SaveRegSett()
{
    using namespace Module1;
    bool ok = platform::SaveSetting(kApp, kCom, QStringLiteral("Port"), ComPort);
    ok = platform::SaveSetting(kApp, kCom, QStringLiteral("Baud"), ComBaud) && ok;
    ok = platform::SaveSetting(kApp, kCom, QStringLiteral("RTS"), ComRTS ? QStringLiteral("True") : QStringLiteral("False")) && ok;
    ok = platform::SaveSetting(kApp, kPgm, QStringLiteral("DY1"), DY1) && ok;
    ok = platform::SaveSetting(kApp, kPgm, QStringLiteral("DY2"), DY2) && ok;
    return ok;
}
