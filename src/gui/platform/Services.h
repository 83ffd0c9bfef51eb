// What the window, its dialogs and its helpers reach the outside world through: main() hands in the real
// ones, a test its doubles.
#pragma once

#include "core/platform/Clock.h"
#include "core/platform/Program.h"
#include "core/settings/SettingsStore.h"
#include "gui/platform/CommonDialog.h"
#include "gui/platform/MsgBox.h"

struct Services
{
    Prompter& prompter;
    FileChooser& files;
    platform::ProgramStarter& programs;
    const platform::Clock& clock;
    platform::SettingsStore settings;
    // Where the program runs from: "Salida.txt" goes there when the folder can take it.
    QString programFolder;
};
