// The about box.
#include "gui/help/frmAcerca.h"

#include "core/model/Module1.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmAcerca.h"

frmAcerca::frmAcerca(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmAcerca>())
{
    ui->setupUi(this);
    platform::keepOnScreen(this);
    connect(ui->salir, &QPushButton::clicked, this, &frmAcerca::salir_Click);
    // The box is made anew for each opening, so this is the version at the moment it opens.
    ui->Label3->setText(Module1::VersionText);
}

frmAcerca::~frmAcerca() = default;

void frmAcerca::salir_Click()
{
    accept();
}
