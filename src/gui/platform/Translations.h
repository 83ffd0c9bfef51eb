// Qt's own texts (Yes/No buttons, file dialogs) in Spanish, like the rest of the program.
#pragma once

class QCoreApplication;

namespace platform
{
// Loads Qt's Spanish catalogue when the system has it; false when it does not (Qt stays in English).
bool installSpanishQtTexts(QCoreApplication& app);
} // namespace platform
