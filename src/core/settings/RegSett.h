// The five persistent settings, held exactly as text, and their load and save.
#pragma once

#include "core/settings/SettingsStore.h"

#include <QString>

namespace Module1
{
inline QString ComPort; // port number ("2") or a device path ("/dev/ttyUSB0")
inline QString ComBaud; // baud rate as text
inline bool ComRTS = false;
inline QString DY1; // delay after each of the first five bytes, ms, as text ("200")
inline QString DY2; // delay after every later byte, ms, as text ("05")

// Set by the options dialog's "Aceptar" only.
inline bool OptionsAccepted = false;
} // namespace Module1

// The store of the user who runs the program: application "Tivor".
platform::SettingsStore userSettings();

// Reads Port, Baud, RTS, DY1, DY2 in that order; a missing key gives its default and writes nothing. When the
// store cannot be read all five are the defaults, and the reason is returned (else an empty text).
QString LoadRegSett(const platform::SettingsStore& store);
// Writes all five; false when the store could not be written.
bool SaveRegSett(const platform::SettingsStore& store);
