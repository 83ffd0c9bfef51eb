// Inicio_COMM: the port opened from the settings, or the one "Error #03" box.
#include "gui/dialogs/InicioComm.h"

#include "core/link/SerialLink.h"
#include "gui/platform/MsgBox.h"

void Inicio_COMM(MSComm& MSComm1, const LineSettings& line, Prompter& prompter, QWidget* parent,
                 const std::function<void(const QString&)>& setPanel1)
{
    QString panel;
    QString reason;
    if (!openComPort(MSComm1, line, &panel, &reason)) {
        prompter.MsgBox(QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie") + QChar(13) +
                            QStringLiteral("El puerto ya esta usandose "),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Puerto Serie"), parent, reason);
        return;
    }
    if (setPanel1)
        setPanel1(panel);
}
