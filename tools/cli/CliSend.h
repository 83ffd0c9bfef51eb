// What "send" and "clock" share: port and delay options over the stored settings, the paced sending with
// its progress bar, and Ctrl-C and the other ending signals taken as "Cancelar".
#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <functional>

struct LineSettings;

namespace cli
{
// --port (repeatable), --ports-file, --baud, --dy1, --dy2.
QList<QCommandLineOption> portOptions();

// Loads the stored settings into `line`, then puts the options given over them. A delay option must be
// one of its list, exactly as written there ("05", not "5"); a stored delay outside its list is warned
// about and the delay in force is used. `ports` gets every --port, then every port of --ports-file, each
// once; the stored port when none is given. Returns -1 when the settings are usable, else reports and
// returns StatusUsage (StatusFile for a ports file that cannot be read or names no port).
int applyPortOptions(const QCommandLineParser& parser, QStringList* ports, LineSettings* line);

// Opens the ports, then builds the transmission with `build` (the clock is read then) and sends it with the baud
// rate and delays of `line`: progress bar on a terminal; Ctrl-C,
// SIGTERM, SIGHUP and SIGQUIT cancel after the byte in hand and then write the terminator. Several ports are sent to at
// once, each paced on its own; a failing one does not stop the others, the status is the highest of the failures (130
// cancelled, 5 transmission, 4 port) with one result line per port. `what` names the transmission in messages. Returns
// the exit status.
int sendBuilt(const QString& what, const std::function<QByteArray()>& build, const QStringList& ports,
              const LineSettings& line);
} // namespace cli
