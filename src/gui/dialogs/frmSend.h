// The send dialog: the open message to the sign, or to "Salida.txt".
#pragma once

#include "gui/dialogs/TxDialog.h"

#include <functional>
#include <memory>

class MSComm;

namespace Ui
{
class frmSend;
}

class frmSend : public TxDialog
{
    Q_OBJECT
public:
    // Takes the page being edited into the model and says whether a message is open.
    using TakeMessage = std::function<bool()>;

    frmSend(MSComm& port, TakeMessage takeMessage, QWidget* parent = nullptr);
    ~frmSend() override;

    void cmdOK_Click();

private:
    void Form_Load();
    // "Tiempo estimado de envio" for the message as it stands, before "Enviar".
    void showEstimate();

    MSComm& MSComm1;
    TakeMessage takeMessage;
    std::unique_ptr<Ui::frmSend> ui;
};
