// The help window.
#include "gui/help/frmAyuda.h"

#include "gui/platform/OnScreen.h"
#include "ui_frmAyuda.h"

#include <QTextCursor>
#include <QUrl>

frmAyuda::frmAyuda(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::frmAyuda>())
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    // A window of its own beside the main window, so the operator can read while working.
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(m_ui->cmdBuscar, &QPushButton::clicked, this, &frmAyuda::buscar);
    connect(m_ui->txtBuscar, &QLineEdit::returnPressed, this, &frmAyuda::buscar);
    connect(m_ui->cmdCerrar, &QPushButton::clicked, this, &QDialog::close);
}

frmAyuda::~frmAyuda() = default;

void frmAyuda::showDocument(const QString& path)
{
    m_ui->txtAyuda->setSource(QUrl::fromLocalFile(path));
}

bool frmAyuda::buscar()
{
    const QString text = m_ui->txtBuscar->text();
    if (text.isEmpty()) {
        m_ui->lblBuscar->clear();
        return false;
    }
    bool found = m_ui->txtAyuda->find(text);
    if (!found) {
        m_ui->txtAyuda->moveCursor(QTextCursor::Start);
        found = m_ui->txtAyuda->find(text);
    }
    m_ui->lblBuscar->setText(found ? QString() : QStringLiteral("No encontrado"));
    return found;
}
