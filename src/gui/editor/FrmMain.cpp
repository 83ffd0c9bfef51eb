// The main window: its parts, start-up, and the menu items and tool buttons wired to their commands.
#include "gui/editor/FrmMain.h"

#include "core/files/MessageFile.h"
#include "core/link/SerialLink.h"
#include "core/model/Message.h"
#include "core/platform/Program.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/LineSettings.h"
#include "gui/dialogs/InicioComm.h"
#include "gui/dialogs/frmDate.h"
#include "gui/dialogs/frmOpciones.h"
#include "gui/dialogs/frmSend.h"
#include "gui/editor/FileCommands.h"
#include "gui/editor/PageEditor.h"
#include "gui/editor/StatusLine.h"
#include "gui/editor/WindowDesktop.h"
#include "gui/help/Help.h"
#include "gui/platform/MsgBox.h"
#include "gui/platform/OnScreen.h"
#include "gui/preview/LedMatrix.h"
#include "gui/preview/PagePreview.h"
#include "ui_FrmMain.h"

#include <QCloseEvent>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFiles, "tivor.archivos", QtInfoMsg)

FrmMain::FrmMain(const Services& services, QWidget* parent)
    : QMainWindow(parent), CommonDialog1(services.files), m_services(services),
      m_help(services.prompter, services.programFolder), m_ui(std::make_unique<Ui::FrmMain>())
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    m_ui->pagePreview->matrix()->setComputerClock(services.clock);
    m_status = new StatusLine(m_ui->StatusBar1, services.prompter, services.clock);
    m_editor = new PageEditor(*m_ui, services.prompter, this);
    m_desktop = new WindowDesktop(
        *this, *m_ui, MSComm1,
        {[this](const QString& path) { openMessageFile(path); },
         [this](const QString& path) { showReport(FileCommands::importTextPath(fileTools(), path)); }});

    connect(m_ui->Nuevo, &QAction::triggered, this, &FrmMain::Nuevo_Click);
    connect(m_ui->Cargar, &QAction::triggered, this, &FrmMain::Cargar_Click);
    connect(m_ui->cerrar, &QAction::triggered, this, &FrmMain::cerrar_Click);
    connect(m_ui->Importar, &QAction::triggered, this, &FrmMain::Importar_Click);
    connect(m_ui->save, &QAction::triggered, this, &FrmMain::save_Click);
    connect(m_ui->Grabar, &QAction::triggered, this, &FrmMain::Grabar_Click);
    connect(m_ui->Envio, &QAction::triggered, this, &FrmMain::Envio_Click);
    connect(m_ui->salir, &QAction::triggered, this, &FrmMain::salir_Click);
    connect(m_ui->Opciones, &QAction::triggered, this, &FrmMain::Opciones_Click);
    connect(m_ui->Help, &QAction::triggered, this, &FrmMain::Help_Click);
    connect(m_ui->About, &QAction::triggered, this, &FrmMain::About_Click);

    connect(m_ui->cmdNew, &QToolButton::clicked, this, &FrmMain::cmdNew_Click);
    connect(m_ui->cmdOpen, &QToolButton::clicked, this, &FrmMain::cmdOpen_Click);
    connect(m_ui->cmdSave, &QToolButton::clicked, this, &FrmMain::cmdSave_Click);
    connect(m_ui->cmdSaveAs, &QToolButton::clicked, this, &FrmMain::cmdSaveAs_Click);
    connect(m_ui->cmdClose, &QToolButton::clicked, this, &FrmMain::cmdClose_Click);
    connect(m_ui->cmdImport, &QToolButton::clicked, this, &FrmMain::cmdImport_Click);
    connect(m_ui->cmdOptions, &QToolButton::clicked, this, &FrmMain::cmdOptions_Click);
    connect(m_ui->cmdTx, &QToolButton::clicked, this, &FrmMain::cmdTx_Click);
    connect(m_ui->Command1, &QToolButton::clicked, this, &FrmMain::Command1_Click);
    connect(m_ui->cmdAbout, &QToolButton::clicked, this, &FrmMain::cmdAbout_Click);
    connect(m_ui->cmdHelp, &QToolButton::clicked, this, &FrmMain::cmdHelp_Click);

    m_status->Timer1.start();
    Form_Load();
}

FrmMain::~FrmMain()
{
    // The parts watch the widgets, which still send events while they are torn down: they go first, while
    // the port and the form they look at are still there.
    delete m_desktop;
    delete m_editor;
}

// ---- Start-up -------------------------------------------------------------------------------

void FrmMain::Form_Load()
{
    m_file.name.clear();
    m_ui->fraMensaje->setEnabled(false);
    m_ui->fraMensaje->setHidden(true);
    m_status->setStatusPanel(3, QString());
    m_status->setStatusPanel(2, QString());
    m_status->setStatusPanel(1, QString());
    InicioVar();
    // Said once, before the port error that would otherwise name a default port with no explanation.
    QString problem;
    m_line = loadLineSettings(m_services.settings, &problem);
    if (!problem.isEmpty())
        m_services.prompter.MsgBox(
            QStringLiteral("No se pudieron leer las Opciones guardadas:\r%1\rSe usan los valores por omision.")
                .arg(problem),
            MsgButtons::Ok, MsgIcon::Warning, QStringLiteral("Opciones"), this);
    // A port that cannot be opened is reported by Inicio_COMM itself; the window opens anyway.
    Inicio_COMM(MSComm1, m_line, m_services.prompter, this,
                [this](const QString& text) { m_status->setStatusPanel(1, text); });
    setWindowTitle(QStringLiteral("Quendar - Tivor ") +
                   versionTextFor(platform::versionMajor(), platform::versionRevision()));
}

void FrmMain::InicioVar()
{
    m_ui->cboEfe->addItems(signproto::effectListTexts());
    m_ui->cboPausa->addItems(signproto::PauseList);
    m_editor->Ini_Frame();
    m_status->setStatusPanel(2, QStringLiteral("Sin Nombre"));
}

std::optional<Message> FrmMain::shownMessage() const
{
    if (!m_editor->messageOpen())
        return std::nullopt;
    return m_editor->shownMessage();
}

TxLink FrmMain::txLink()
{
    return TxLink{MSComm1, m_line, m_delays, m_services.clock};
}

std::unique_ptr<frmSend> FrmMain::makeSendDialog()
{
    frmSend::OpenMessage open{[this] { return shownMessage(); },
                              [this](const Message& sent) { m_editor->message().takePagesOf(sent); }};
    return std::make_unique<frmSend>(txLink(), std::move(open), m_services.programFolder, this);
}

std::unique_ptr<frmDate> FrmMain::makeDateDialog()
{
    return std::make_unique<frmDate>(txLink(), this);
}

// ---- File commands --------------------------------------------------------------------------

FileCommands::Tools FrmMain::fileTools()
{
    return FileCommands::Tools{*m_editor, m_file, CommonDialog1, m_services.prompter, this};
}

void FrmMain::showReport(const FileCommands::Report& report)
{
    using Kind = FileCommands::Report::Kind;
    if (report.messageName)
        m_status->setStatusPanel(2, *report.messageName);
    if (report.kind == Kind::Done)
        m_status->TypeMsg(MsgKind::Program, report.text);
    else if (report.kind == Kind::Refused)
        m_status->TypeMsg(MsgKind::Error, report.text);
    else if (report.kind == Kind::Failed)
        m_status->TypeErr(report.text);
}

bool FrmMain::keepChanges(bool clearSaveAs)
{
    const FileCommands::Prompted prompted = FileCommands::promptUnsavedChanges(fileTools(), clearSaveAs);
    showReport(prompted.report);
    return prompted.proceed;
}

void FrmMain::Nuevo_Click()
{
    if (keepChanges(false))
        showReport(FileCommands::newMessage(fileTools()));
}

void FrmMain::Cargar_Click()
{
    if (keepChanges(true))
        showReport(FileCommands::openChosenMessage(fileTools()));
}

void FrmMain::cerrar_Click()
{
    if (m_editor->messageOpen() && keepChanges(true))
        FileCommands::closeMessage(fileTools());
}

void FrmMain::Importar_Click()
{
    showReport(FileCommands::importChosenText(fileTools()));
}
void FrmMain::save_Click()
{
    showReport(FileCommands::save(fileTools()));
}
void FrmMain::Grabar_Click()
{
    showReport(FileCommands::saveAs(fileTools()));
}

void FrmMain::salir_Click()
{
    if (keepChanges(true))
        m_services.programs.endThisProgram();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    if (keepChanges(true))
        event->accept();
    else
        event->ignore();
}

void FrmMain::openMessageFile(const QString& path)
{
    if (!keepChanges(true))
        return; // the operator kept the message that was open
    const FileCommands::Opened opened = FileCommands::openMessagePath(fileTools(), path);
    showReport(opened.report);
    if (opened.load == MessageLoad::Pages)
        qCInfo(lcFiles).noquote() << path << "abierto:" << m_editor->message().count << "paginas";
    else if (opened.load == MessageLoad::Empty)
        qCInfo(lcFiles).noquote() << path << "no tiene paginas";
    else if (opened.load == MessageLoad::TooLarge)
        qCWarning(lcFiles).noquote() << opened.report.text;
    else
        qCWarning(lcFiles).noquote() << path << "no se pudo leer: Error en Archivo de Mensaje";
}

// ---- The dialogs ------------------------------------------------------------------------------

void FrmMain::Envio_Click()
{
    makeSendDialog()->exec();
    followPort();
}
void FrmMain::Opciones_Click()
{
    if (showOptionsDialog(this, m_line, m_services.settings, m_services.prompter))
        Inicio_COMM(MSComm1, m_line, m_services.prompter, this,
                    [this](const QString& text) { m_status->setStatusPanel(1, text); });
    followPort();
}
void FrmMain::Command1_Click()
{
    makeDateDialog()->exec();
    followPort();
}

// The dialogs open the port again when they find it closed, and Opciones opens another: the first panel
// and the empty window's advice say what is open now, not what was open before.
void FrmMain::followPort()
{
    if (MSComm1.PortOpen())
        m_status->setStatusPanel(1, comPanelText(m_line.port, m_line.baud));
    m_desktop->refreshHint();
}

// "&Contenido" opens the help like the toolbar's button: a menu item that does nothing only confuses.
void FrmMain::Help_Click()
{
    m_help.openHelp(this);
}
void FrmMain::About_Click()
{
    showAbout(this);
}

void FrmMain::cmdNew_Click()
{
    Nuevo_Click();
}
void FrmMain::cmdOpen_Click()
{
    Cargar_Click();
}
void FrmMain::cmdSave_Click()
{
    save_Click();
}
void FrmMain::cmdSaveAs_Click()
{
    Grabar_Click();
}
void FrmMain::cmdClose_Click()
{
    cerrar_Click();
}
void FrmMain::cmdImport_Click()
{
    Importar_Click();
}
void FrmMain::cmdOptions_Click()
{
    Opciones_Click();
}
void FrmMain::cmdTx_Click()
{
    Envio_Click();
}
void FrmMain::cmdAbout_Click()
{
    About_Click();
}
void FrmMain::cmdHelp_Click()
{
    m_help.openHelp(this);
}
