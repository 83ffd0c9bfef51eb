// Settings: application "Tivor", section "COM" (Port, Baud, RTS) and "PGM" (DY1, DY2).
#include "core/settings/RegSett.h"

#include "core/protocol/SignProtocol.h"
#include "core/settings/SettingsStore.h"

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

QString settingsReadProblem()
{
    return platform::settingsReadProblem(kApp);
}

QString LoadRegSett()
{
    using namespace Module1;
    // Not handed to the store at all: reading a FIFO there would wait for ever.
    const QString problem = settingsReadProblem();
    if (!problem.isEmpty()) {
        ComPort = kDefaultPort, ComBaud = kDefaultBaud, ComRTS = false, DY1 = kDefaultDY1, DY2 = kDefaultDY2;
        return problem;
    }
    ComPort = platform::GetSetting(kApp, kCom, QStringLiteral("Port"), kDefaultPort);
    ComBaud = platform::GetSetting(kApp, kCom, QStringLiteral("Baud"), kDefaultBaud);
    // Only the exact text "True" is true; anything else a hand-edited store holds reads as false.
    ComRTS = platform::GetSetting(kApp, kCom, QStringLiteral("RTS"), QStringLiteral("False")) == QLatin1String("True");
    DY1 = platform::GetSetting(kApp, kPgm, QStringLiteral("DY1"), kDefaultDY1);
    DY2 = platform::GetSetting(kApp, kPgm, QStringLiteral("DY2"), kDefaultDY2);
    return QString();
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
