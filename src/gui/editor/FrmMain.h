// The main window: start-up, its menus and tool buttons, and the parts it is made of (the page editor, the
// status line, the desktop glue); the file commands report to it what came of them.
#pragma once

#include "core/files/MessageFile.h"
#include "core/link/SendDelays.h"
#include "core/model/Message.h"
#include "core/ports/MSComm.h"
#include "core/settings/LineSettings.h"
#include "gui/dialogs/frmSend.h"
#include "gui/help/Help.h"
#include "gui/platform/CommonDialog.h"
#include "gui/platform/Services.h"

#include <QMainWindow>
#include <memory>
#include <optional>

class PageEditor;
class StatusLine;
class WindowDesktop;
class QCloseEvent;

namespace FileCommands
{
struct Report;
struct Tools;
} // namespace FileCommands

namespace Ui
{
class FrmMain;
}

class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // Asks, chooses files, starts programs, reads the clock and keeps its settings through `services`.
    explicit FrmMain(const Services& services, QWidget* parent = nullptr);
    ~FrmMain() override;

    PageEditor& editor() { return *m_editor; }
    StatusLine& status() { return *m_status; }

    // The open message as the editor shows it, for the send dialog; none when no message is open.
    std::optional<Message> shownMessage() const;
    // The file the open message is kept in.
    const MessageFileState& messageFile() const { return m_file; }
    // The settings the port was last opened with and sends are paced with.
    const LineSettings& lineSettings() const { return m_line; }
    // The send dialogs as "Enviar Mensaje" and the clock button open them.
    std::unique_ptr<frmSend> makeSendDialog();
    std::unique_ptr<class frmDate> makeDateDialog();

    // A message file named outside the open dialog (the command line, a drop), opened as "Abrir Mensaje"
    // opens it; a line on the "tivor.archivos" log says what came of it.
    void openMessageFile(const QString& path);

    CommonDialog CommonDialog1;
    // The sign's serial port, opened at start-up and after the options are accepted.
    MSComm MSComm1;

protected:
    // Form_Unload: the unsaved-changes prompt; a save the operator asked for and did not get keeps
    // the window open.
    void closeEvent(QCloseEvent* event) override;

private:
    // Start-up.
    void Form_Load();
    void InicioVar();

    // Menu items.
    void Nuevo_Click();
    void Cargar_Click();
    void cerrar_Click();
    void Importar_Click();
    void save_Click();
    void Grabar_Click();
    void Envio_Click();
    void salir_Click();
    void Opciones_Click();
    void followPort();
    void Help_Click();
    void About_Click();
    // Tool buttons: each only calls its menu item's handler.
    void cmdNew_Click();
    void cmdOpen_Click();
    void cmdSave_Click();
    void cmdSaveAs_Click();
    void cmdClose_Click();
    void cmdImport_Click();
    void cmdOptions_Click();
    void cmdTx_Click();
    void Command1_Click();
    void cmdAbout_Click();
    void cmdHelp_Click();

    FileCommands::Tools fileTools();
    // What a file command came to, in the status line.
    void showReport(const FileCommands::Report& report);
    // The unsaved-changes prompt before a command: false when the command must stop.
    bool keepChanges(bool clearSaveAs);

    TxLink txLink();

    Services m_services;
    LineSettings m_line;
    DelaysInForce m_delays;
    MessageFileState m_file;
    HelpOpener m_help;
    std::unique_ptr<Ui::FrmMain> m_ui;
    StatusLine* m_status = nullptr;
    PageEditor* m_editor = nullptr;
    WindowDesktop* m_desktop = nullptr;
};
