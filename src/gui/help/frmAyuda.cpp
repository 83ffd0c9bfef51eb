// The help window.
#include "gui/help/frmAyuda.h"

#include "gui/platform/OnScreen.h"
#include "ui_frmAyuda.h"

#include <QTextCursor>
#include <QUrl>

frmAyuda::frmAyuda(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmAyuda>())
{
    ui->setupUi(this);
    platform::keepOnScreen(this);
    // A window of its own beside the main window, so the operator can read while working.
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui->cmdBuscar, &QPushButton::clicked, this, &frmAyuda::buscar);
    connect(ui->txtBuscar, &QLineEdit::returnPressed, this, &frmAyuda::buscar);
    connect(ui->cmdCerrar, &QPushButton::clicked, this, &QDialog::close);
}

frmAyuda::~frmAyuda() = default;

void frmAyuda::showDocument(const QString& path)
{
    ui->txtAyuda->setSource(QUrl::fromLocalFile(path));
}

bool frmAyuda::buscar()
{
    const QString text = ui->txtBuscar->text();
    if (text.isEmpty()) {
        ui->lblBuscar->clear();
        return false;
    }
    bool found = ui->txtAyuda->find(text);
    if (!found) {
        ui->txtAyuda->moveCursor(QTextCursor::Start);
        found = ui->txtAyuda->find(text);
    }
    ui->lblBuscar->setText(found ? QString() : QStringLiteral("No encontrado"));
    return found;
}
