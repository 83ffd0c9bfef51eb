// The about box.
#include "gui/help/frmAcerca.h"

#include "core/model/Message.h"
#include "core/platform/Program.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmAcerca.h"

frmAcerca::frmAcerca(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::frmAcerca>())
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    connect(m_ui->salir, &QPushButton::clicked, this, &frmAcerca::salir_Click);
    // The box is made anew for each opening, so this is the version at the moment it opens.
    m_ui->Label3->setText(versionTextFor(platform::versionMajor(), platform::versionRevision()));
}

frmAcerca::~frmAcerca() = default;

void frmAcerca::salir_Click()
{
    accept();
}
