// The date-and-time dialog: sets the sign's clock to the moment the dialog was opened.
#pragma once

#include "link/TxDialog.h"

#include <QDateTime>
#include <memory>

class MSComm;

namespace Ui
{
class frmDate;
}

class frmDate : public TxDialog
{
    Q_OBJECT
public:
    frmDate(MSComm& port, QWidget* parent = nullptr);
    ~frmDate() override;

    void cmdOK_Click();

private:
    void Form_Load();

    MSComm& MSComm1;
    QDateTime opened; // read once: the time sent is the time shown
    std::unique_ptr<Ui::frmDate> ui;
};
