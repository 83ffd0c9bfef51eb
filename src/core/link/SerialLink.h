// Opening the sign's port from the settings, and the text shown for it.
#pragma once

#include <QString>
#include <memory>

class MSComm;
class SignPort;
struct LineSettings;

// Status panel text for a port: "COM" + port + ": " + baud for a port number, path + ": " + baud otherwise.
QString comPanelText(const QString& port, const QString& baud);

// Closes the port, configures it from the settings' port and baud rate, opens it and turns RTS and DTR off, in
// that order. On success fills `panelText`; on failure leaves the port closed and puts the system's reason in
// `error`. Shows nothing.
bool openComPort(MSComm& MSComm1, const LineSettings& line, QString* panelText = nullptr, QString* error = nullptr);
// The same with the port text and baud rate given.
bool openComPort(MSComm& MSComm1, const QString& port, const QString& baud, QString* panelText, QString* error);

// One sign's own port, opened as the window opens its port: null, with the reason in `error`, when it
// cannot be opened. Each sign of a fleet holds one.
std::unique_ptr<SignPort> openSignPort(const QString& port, const QString& baud, QString* error);
