// The send dialog: the open message to the sign, or to "Salida.txt".
#pragma once

#include "link/TxDialog.h"

#include <memory>

class FrmMain;

namespace Ui
{
class frmSend;
}

class frmSend : public TxDialog
{
    Q_OBJECT
public:
    explicit frmSend(FrmMain& owner);
    ~frmSend() override;

    void cmdOK_Click();

private:
    void Form_Load();
    // "Tiempo estimado de envio" for the message as it stands, before "Enviar".
    void showEstimate();

    FrmMain& main;
    std::unique_ptr<Ui::frmSend> ui;
};
