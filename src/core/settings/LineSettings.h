// The five persistent settings of the sign's line, held exactly as text, and their load and save.
#pragma once

#include "core/settings/SettingsStore.h"

#include <QString>

// What the sign's line is opened and paced with: read from the store, edited by the options dialog, handed to
// the port and to each send.
struct LineSettings
{
    QString port; // port number ("2") or a device path ("/dev/ttyUSB0")
    QString baud; // baud rate as text
    bool rts = false;
    QString dy1; // delay after each of the first five bytes, ms, as text ("200")
    QString dy2; // delay after every later byte, ms, as text ("05")

    // What a store without any of the keys gives.
    static LineSettings defaults();
};

// The store of the user who runs the program: application "Tivor".
platform::SettingsStore userSettings();

// Reads Port, Baud, RTS, DY1, DY2 in that order; a missing key gives its default and writes nothing. When the
// store cannot be read all five are the defaults, and the reason goes to `problem` (else it is emptied).
LineSettings loadLineSettings(const platform::SettingsStore& store, QString* problem = nullptr);
// Writes all five; false when the store could not be written.
bool saveLineSettings(const platform::SettingsStore& store, const LineSettings& settings);
