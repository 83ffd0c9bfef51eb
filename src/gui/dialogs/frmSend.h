// The send dialog: the open message to the sign, or to "Salida.txt".
#pragma once

#include "core/link/Transmission.h"
#include "gui/dialogs/TxDialog.h"

#include <functional>
#include <memory>
#include <optional>

class MSComm;

namespace Ui
{
class frmSend;
}

class frmSend : public TxDialog
{
    Q_OBJECT
public:
    // The open message as the editor shows it, the page being typed included; none when no message is open.
    using ShownMessage = std::function<std::optional<MessagePages>()>;

    frmSend(MSComm& port, ShownMessage shownMessage, QWidget* parent = nullptr);
    ~frmSend() override;

    void cmdOK_Click();

private:
    // "Tiempo estimado de envio" for the message as it stands, before "Enviar".
    void showEstimate();

    MSComm& MSComm1;
    ShownMessage shownMessage;
    std::unique_ptr<Ui::frmSend> ui;
};
