// What "send" and "clock" share: port and delay options over the stored settings, the paced sending with
// its progress bar, and SIGINT/SIGTERM taken as "Cancelar".
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

namespace cli
{
// --port, --baud, --dy1, --dy2.
QList<QCommandLineOption> portOptions();

// Loads the stored settings (LoadRegSett), then puts the options given over them. A delay option must be
// one of its list, exactly as written there ("05", not "5"); a stored delay outside its list is warned
// about and the delay in force is used. Returns -1 when the settings are usable, else reports and returns
// StatusUsage.
int applyPortOptions(const QCommandLineParser& parser);

// Opens the port of the settings and sends TxBuffer as built: progress bar on a terminal, SIGINT and
// SIGTERM cancel after the byte in hand and then write the terminator. `what` names the transmission in
// messages. Returns the exit status.
int sendBuilt(const QString& what);
} // namespace cli
