// The main window: wiring, start-up and the page editor; page commands and the status line have files of their own.
#include "gui/editor/FrmMain.h"

#include "gui/editor/FileCommands.h"
#include "core/files/MessageFile.h"
#include "gui/help/Help.h"
#include "core/link/SerialLink.h"
#include "core/protocol/SignProtocol.h"
#include "gui/dialogs/InicioComm.h"
#include "gui/dialogs/frmDate.h"
#include "gui/dialogs/frmSend.h"
#include "core/model/Module1.h"
#include "gui/platform/MsgBox.h"
#include "core/platform/Program.h"
#include "core/platform/Wait.h"
#include "core/settings/RegSett.h"
#include "gui/dialogs/frmOpciones.h"
#include "ui_FrmMain.h"

#include <QCloseEvent>
#include <QFontMetrics>

using namespace Module1;

namespace
{
constexpr int TypedTextLimit = 255;
constexpr int FieldTextLimit = 32767; // the most a line edit holds
}

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::FrmMain>())
{
    ui->setupUi(this);
    setUpStatusBar();
    setUpTextField();
    setUpDesktop();
    Timer1.setInterval(5000);

    connect(&Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);

    connect(ui->Nuevo, &QAction::triggered, this, &FrmMain::Nuevo_Click);
    connect(ui->Cargar, &QAction::triggered, this, &FrmMain::Cargar_Click);
    connect(ui->cerrar, &QAction::triggered, this, &FrmMain::cerrar_Click);
    connect(ui->Importar, &QAction::triggered, this, &FrmMain::Importar_Click);
    connect(ui->save, &QAction::triggered, this, &FrmMain::save_Click);
    connect(ui->Grabar, &QAction::triggered, this, &FrmMain::Grabar_Click);
    connect(ui->Envio, &QAction::triggered, this, &FrmMain::Envio_Click);
    connect(ui->salir, &QAction::triggered, this, &FrmMain::salir_Click);
    connect(ui->Opciones, &QAction::triggered, this, &FrmMain::Opciones_Click);
    connect(ui->Help, &QAction::triggered, this, &FrmMain::Help_Click);
    connect(ui->About, &QAction::triggered, this, &FrmMain::About_Click);

    connect(ui->cmdNew, &QToolButton::clicked, this, &FrmMain::cmdNew_Click);
    connect(ui->cmdOpen, &QToolButton::clicked, this, &FrmMain::cmdOpen_Click);
    connect(ui->cmdSave, &QToolButton::clicked, this, &FrmMain::cmdSave_Click);
    connect(ui->cmdSaveAs, &QToolButton::clicked, this, &FrmMain::cmdSaveAs_Click);
    connect(ui->cmdClose, &QToolButton::clicked, this, &FrmMain::cmdClose_Click);
    connect(ui->cmdImport, &QToolButton::clicked, this, &FrmMain::cmdImport_Click);
    connect(ui->cmdOptions, &QToolButton::clicked, this, &FrmMain::cmdOptions_Click);
    connect(ui->cmdTx, &QToolButton::clicked, this, &FrmMain::cmdTx_Click);
    connect(ui->Command1, &QToolButton::clicked, this, &FrmMain::Command1_Click);
    connect(ui->cmdAbout, &QToolButton::clicked, this, &FrmMain::cmdAbout_Click);
    connect(ui->cmdHelp, &QToolButton::clicked, this, &FrmMain::cmdHelp_Click);

    connect(ui->cmdPagDwn, &QToolButton::clicked, this, &FrmMain::cmdPagDwn_Click);
    connect(ui->cmdPagUp, &QToolButton::clicked, this, &FrmMain::cmdPagUp_Click);
    connect(ui->cmdPagLast, &QToolButton::clicked, this, &FrmMain::cmdPagLast_Click);
    connect(ui->cmdPagFirst, &QToolButton::clicked, this, &FrmMain::cmdPagFirst_Click);
    connect(ui->cmdInsertar, &QToolButton::clicked, this, &FrmMain::cmdInsertar_Click);
    connect(ui->cmdBorro, &QToolButton::clicked, this, &FrmMain::cmdBorro_Click);
    connect(ui->cmdGtoPag, &QToolButton::clicked, this, &FrmMain::cmdGtoPag_Click);
    // Enter in the page-number field jumps like the button does.
    connect(ui->txtGoto, &QLineEdit::returnPressed, this, &FrmMain::cmdGtoPag_Click);

    // These run for the program's own writes as well, which is what sets MsgModified on a refresh.
    connect(ui->cboEfe, &QComboBox::currentIndexChanged, this, &FrmMain::cboEfe_Click);
    connect(ui->cboPausa, &QComboBox::currentIndexChanged, this, &FrmMain::cboPausa_Click);
    connect(ui->txtMensaje, &QLineEdit::textChanged, this, &FrmMain::txtMensaje_Change);
    connect(ui->optCenter, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCenter_Click();
    });
    connect(ui->optLeft, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optLeft_Click();
    });
    // The preview follows every field, whoever changed it.
    connect(ui->cboEfe, &QComboBox::currentIndexChanged, this, &FrmMain::refreshPreview);
    connect(ui->cboPausa, &QComboBox::currentIndexChanged, this, &FrmMain::refreshPreview);
    connect(ui->txtMensaje, &QLineEdit::textChanged, this, &FrmMain::refreshPreview);
    // The limit is raised only to show a longer loaded text whole; whatever the operator deletes from it
    // cannot be typed back in, so typing never takes a text past 255 characters.
    connect(ui->txtMensaje, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (ui->txtMensaje->maxLength() > TypedTextLimit)
            ui->txtMensaje->setMaxLength(std::max(TypedTextLimit, static_cast<int>(text.size())));
    });
    connect(ui->optLeft, &QRadioButton::toggled, this, &FrmMain::refreshPreview);

    Timer1.start();
    Form_Load();
}

FrmMain::~FrmMain() = default;

void FrmMain::setUpTextField()
{
    // Fall back to any fixed-pitch face where Courier New is not installed.
    for (QWidget* w : {static_cast<QWidget*>(ui->txtMensaje), static_cast<QWidget*>(ui->cboEfe)}) {
        QFont f = w->font();
        f.setStyleHint(QFont::TypeWriter);
        w->setFont(f);
    }
    // Wide enough for one sign line: 16 characters of the fixed-pitch font.
    const QFontMetrics fm(ui->txtMensaje->font());
    ui->txtMensaje->setMinimumWidth(fm.horizontalAdvance(QString(signproto::LineWidth, QLatin1Char('W'))) + 16);
    ui->txtMensaje->setMinimumHeight(fm.height() + 10);
}

// ---- Start-up -------------------------------------------------------------------------------

void FrmMain::Form_Load()
{
    MsgFileName.clear();
    ui->fraMensaje->setEnabled(false);
    ui->fraMensaje->setHidden(true);
    setStatusPanel(3, QString());
    setStatusPanel(2, QString());
    setStatusPanel(1, QString());
    InicioVar();
    // Said once, before the port error that would otherwise name a default port with no explanation.
    if (const QString problem = LoadRegSett(); !problem.isEmpty())
        MsgBox(QStringLiteral("No se pudieron leer las Opciones guardadas:\r%1\rSe usan los valores por omision.")
                   .arg(problem), MsgButtons::Ok, MsgIcon::Warning, QStringLiteral("Opciones"), this);
    // A port that cannot be opened is reported by Inicio_COMM itself; the window opens anyway.
    Inicio_COMM(MSComm1, this, [this](const QString& text) { setStatusPanel(1, text); });
    setWindowTitle(QStringLiteral("Quendar - Tivor ") + VersionText);
}

void FrmMain::InicioVar()
{
    AppFolder = platform::appFolder();
    VersionText = versionTextFor(platform::versionMajor(), platform::versionRevision());
    ui->cboEfe->addItems(signproto::effectListTexts());
    ui->cboPausa->addItems(signproto::PauseList);
    Ini_Frame();
    setStatusPanel(2, QStringLiteral("Sin Nombre"));
}

void FrmMain::Ini_Frame()
{
    for (int i = 1; i <= MaxPages; ++i)
        blankPage(i);
    PageCount = 1;
    CurrentPage = 1;
    ui->txtGoto->clear();
    RefMensaje();
    MsgModified = false;
}

bool FrmMain::messageOpen() const
{
    return !ui->fraMensaje->isHidden();
}

void FrmMain::setMessageOpen(bool open)
{
    if (open) {
        ui->fraMensaje->setEnabled(true);
        ui->fraMensaje->setHidden(false);
    } else {
        ui->fraMensaje->setEnabled(false);
        ui->fraMensaje->setHidden(true);
    }
}

void FrmMain::focusText()
{
    if (ui->txtMensaje->isEnabled())
        ui->txtMensaje->setFocus();
}

// ---- Page editor: fields and model ----------------------------------------------------------

void FrmMain::chooseCode(QComboBox* box, int listSize, int code)
{
    if (code < listSize) {
        box->setCurrentIndex(code);
        if (box->count() > listSize)
            box->removeItem(listSize);
        return;
    }
    // A code from a file that the list does not hold: show it as it is, as a last entry of its own.
    const QString text = QStringLiteral("Codigo %1").arg(code);
    const bool alreadyShown = box->currentIndex() == listSize;
    const bool otherCode = alreadyShown && box->itemData(listSize).toInt() != code;
    if (box->count() > listSize) {
        box->setItemText(listSize, text);
        box->setItemData(listSize, code);
    } else {
        box->addItem(text, code);
    }
    box->setCurrentIndex(listSize);
    // Another out-of-list code in the same entry is still a change of the chosen value.
    if (otherCode)
        emit box->currentIndexChanged(listSize);
}

int FrmMain::chosenCode(const QComboBox* box, int current)
{
    const int index = box->currentIndex();
    if (index < 0)
        return current;
    const QVariant raw = box->itemData(index);
    return raw.isValid() ? raw.toInt() : index;
}

void FrmMain::TomoActual()
{
    const int p = CurrentPage;
    PageEffect[p] = static_cast<std::uint8_t>(chosenCode(ui->cboEfe, PageEffect[p]));
    PagePause[p] = static_cast<std::uint8_t>(chosenCode(ui->cboPausa, PagePause[p]));
    PageAlign[p] = ui->optLeft->isChecked() ? AlignLeft : AlignCenter;
    QString typed = ui->txtMensaje->text();
    // A loaded text longer than the field can hold comes back whole while nobody changed it.
    if (shownText.size() > FieldTextLimit && typed == shownText.left(FieldTextLimit))
        typed = shownText;
    PageText[p] = typed;
}

void FrmMain::RefMensaje()
{
    const int p = CurrentPage;
    chooseCode(ui->cboEfe, signproto::EffectCount, PageEffect[p]);
    chooseCode(ui->cboPausa, int(signproto::PauseList.size()), PagePause[p]);
    ui->cboPausa->setEnabled(signproto::takesPause(PageEffect[p]));
    if (PageAlign[p] != AlignLeft) {
        ui->txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        ui->optCenter->setChecked(true);
    } else {
        ui->txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        ui->optLeft->setChecked(true);
    }
    ui->txtPag->setText(QString::number(CurrentPage));
    ui->txtDe->setText(QString::number(PageCount));
    // The text the page holds, also over a clock placeholder that choosing the effect wrote. Typing
    // is limited to 255 characters, but a longer text from a file or an import is shown whole (up to
    // what a line edit holds) so that showing a page never cuts it.
    shownText = PageText[p];
    ui->txtMensaje->setMaxLength(qBound(TypedTextLimit, static_cast<int>(shownText.size()), FieldTextLimit));
    ui->txtMensaje->setText(shownText);
}

void FrmMain::refreshPreview()
{
    const int p = CurrentPage;
    ui->pagePreview->showPage(ui->txtMensaje->text(), chosenCode(ui->cboEfe, PageEffect[p]),
                              chosenCode(ui->cboPausa, PagePause[p]), ui->optLeft->isChecked() ? AlignLeft : AlignCenter);
}

void FrmMain::RefPausa()
{
    const int e = ui->cboEfe->currentIndex();
    if (signproto::takesPause(e)) {
        ui->cboPausa->setEnabled(true);
        ui->txtMensaje->setEnabled(true);
    } else if (signproto::isClock(e)) {
        ui->cboPausa->setEnabled(false);
        ui->txtMensaje->setText(signproto::placeholderOf(e));
        ui->txtMensaje->setEnabled(false);
    } else {
        ui->cboPausa->setEnabled(false);
        ui->txtMensaje->setEnabled(true);
    }
}

void FrmMain::cboEfe_Click()
{
    RefPausa();
    MsgModified = true;
}

void FrmMain::cboPausa_Click()
{
    MsgModified = true;
}

void FrmMain::txtMensaje_Change()
{
    MsgModified = true;
}

void FrmMain::optCenter_Click()
{
    if (!ui->fraMensaje->isEnabled())
        return;
    PageAlign[CurrentPage] = AlignCenter;
    ui->txtMensaje->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    focusText();
    MsgModified = true;
}

void FrmMain::optLeft_Click()
{
    if (!ui->fraMensaje->isEnabled())
        return;
    PageAlign[CurrentPage] = AlignLeft;
    ui->txtMensaje->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    focusText();
    MsgModified = true;
}

// ---- Menu items and tool buttons ------------------------------------------------------------

void FrmMain::Nuevo_Click() { FileCommands::Nuevo_Click(*this); }
void FrmMain::Cargar_Click() { FileCommands::Cargar_Click(*this); }
void FrmMain::cerrar_Click() { FileCommands::cerrar_Click(*this); }
void FrmMain::Importar_Click() { FileCommands::Importar_Click(*this); }
void FrmMain::save_Click() { FileCommands::save_Click(*this); }
void FrmMain::Grabar_Click() { FileCommands::Grabar_Click(*this); }
void FrmMain::salir_Click() { FileCommands::salir_Click(*this); }

// The send and options dialogs; Command1 below opens the date dialog.
bool FrmMain::takeMessage()
{
    TomoActual();
    return messageOpen();
}

void FrmMain::Envio_Click()
{
    frmSend dialog(MSComm1, [this] { return takeMessage(); }, this);
    dialog.exec();
}
void FrmMain::Opciones_Click()
{
    if (showOptionsDialog(this))
        Inicio_COMM(MSComm1, this, [this](const QString& text) { setStatusPanel(1, text); });
}

// "&Contenido" opens the help like the toolbar's button: a menu item that does nothing only confuses.
void FrmMain::Help_Click() { openHelp(this); }
void FrmMain::About_Click() { showAbout(this); }

void FrmMain::cmdNew_Click() { Nuevo_Click(); }
void FrmMain::cmdOpen_Click() { Cargar_Click(); }
void FrmMain::cmdSave_Click() { save_Click(); }
void FrmMain::cmdSaveAs_Click() { Grabar_Click(); }
void FrmMain::cmdClose_Click() { cerrar_Click(); }
void FrmMain::cmdImport_Click() { Importar_Click(); }
void FrmMain::cmdOptions_Click() { Opciones_Click(); }
void FrmMain::cmdTx_Click() { Envio_Click(); }
void FrmMain::Command1_Click()
{
    frmDate dialog(MSComm1, this);
    dialog.exec();
}
void FrmMain::cmdAbout_Click() { About_Click(); }
void FrmMain::cmdHelp_Click() { openHelp(this); }

void FrmMain::closeEvent(QCloseEvent* event)
{
    if (FileCommands::Form_Unload(*this))
        event->accept();
    else
        event->ignore();
}
