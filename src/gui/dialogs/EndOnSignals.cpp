// Ending signals in the window.
#include "gui/dialogs/EndOnSignals.h"

#include "core/platform/Program.h"
#include "gui/dialogs/TxDialog.h"

#include <QApplication>
#include <algorithm>

namespace
{
// A send dialog from "Enviar" until it has closed: the bytes, the terminator of a cancel, the closing wait.
bool sendInProgress()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) {
        const auto* dialog = qobject_cast<const TxDialog*>(w);
        return dialog && dialog->inTransmission();
    });
}
} // namespace

EndOnSignals::EndOnSignals(platform::ProgramStarter& programs, QObject* parent)
    : QObject(parent), m_endingSignals(m_arrived)
{
    // A send in progress has seen the signal already (platform::EndingSignals::pending): it ends as by
    // "Cancelar", and every event loop ends once its dialog has closed.
    connect(&m_endingSignals, &platform::EndingSignals::arrived, this, [&programs] {
        if (!sendInProgress())
            platform::EndingSignals::endAsReceived();
        programs.endThisProgram();
    });
}
