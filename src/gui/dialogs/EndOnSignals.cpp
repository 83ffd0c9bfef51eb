// Ending signals in the window.
#include "gui/dialogs/EndOnSignals.h"

#include "core/link/Transmission.h"
#include "core/platform/Program.h"
#include "gui/dialogs/TxDialog.h"

#include <QApplication>
#include <algorithm>

namespace
{
// From "Enviar" until the dialog has closed: the bytes, the terminator of a cancel, the closing wait.
bool sendDialogBusy()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return Module1::TxInProgress && std::any_of(windows.begin(), windows.end(), [](const QWidget* w) {
               return qobject_cast<const TxDialog*>(w) && w->isVisible();
           });
}
} // namespace

EndOnSignals::EndOnSignals(platform::ProgramStarter& programs, QObject* parent)
    : QObject(parent), endingSignals(Module1::TxCancel)
{
    connect(&endingSignals, &platform::EndingSignals::arrived, this, [&programs] {
        if (!sendDialogBusy())
            platform::EndingSignals::endAsReceived();
        // The handler has set TxCancel already; set again for a signal that came while "Enviar" was
        // starting the send and clearing it. Every event loop ends once the dialog has closed.
        Module1::TxCancel = true;
        programs.endThisProgram();
    });
}
