// Opening the sign's serial port from the settings, and the text shown for it.
#pragma once

#include <QString>

class MSComm;

// Status panel text for a port: "COM" + port + ": " + baud for a port number, path + ": " + baud otherwise.
QString comPanelText(const QString& port, const QString& baud);

// Closes the port, configures it from ComPort and ComBaud, opens it and turns RTS and DTR off, in that
// order. On success fills `panelText`; on failure leaves the port closed and puts the system's reason in
// `error`. Shows nothing: the command-line tool uses it as it is.
bool openComPort(MSComm& MSComm1, QString* panelText = nullptr, QString* error = nullptr);
