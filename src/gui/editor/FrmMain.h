// The main window: start-up, the status line and the page editor; its file commands are in FileCommands.
#pragma once

#include "gui/platform/CommonDialog.h"
#include "core/ports/MSComm.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>

class QCloseEvent;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QLabel;

namespace Ui
{
class FrmMain;
}

class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    Ui::FrmMain* form() const { return ui.get(); }

    // Page editor: fields to the model and back.
    void TomoActual();
    void RefMensaje();
    void RefPausa();
    // One blank page, shown, and nothing counted as modified.
    void Ini_Frame();

    // Status line, panel 3 (FrmMainStatus.cpp).
    void TypeMsg(quint8 tipo, const QString& men);
    void TypeErr(const QString& menerr);
    void BorrMsg();
    void setStatusPanel(int panel /*1..3*/, const QString& text);
    QString statusPanel(int panel) const;

    // A message is open exactly while the editor frame is shown (whether or not the window is).
    bool messageOpen() const;
    // Shows and enables the editor frame, or disables and hides it.
    void setMessageOpen(bool open);
    // Gives the text field the focus when it is enabled.
    void focusText();
    // TomoActual, then whether a message is open: what the send dialog takes before it builds.
    bool takeMessage();

    CommonDialog CommonDialog1;
    QTimer Timer1;
    // The sign's serial port, opened at start-up and after the options are accepted.
    MSComm MSComm1;

    // Start-up.
    void Form_Load();
    void InicioVar();
    void Timer1_Timer();

    // Change handlers: they run for the operator's changes and for the program's own writes.
    void cboEfe_Click();
    void cboPausa_Click();
    void optCenter_Click();
    void optLeft_Click();
    void txtMensaje_Change();

    // Page commands (FrmMainPages.cpp).
    void cmdPagFirst_Click();
    void cmdPagUp_Click();
    void cmdPagDwn_Click();
    void cmdPagLast_Click();
    void cmdGtoPag_Click();
    void cmdInsertar_Click();
    void cmdBorro_Click();

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

    // A message file named outside the open dialog (the command line, a drop), opened as "Abrir Mensaje"
    // opens it; a line on the "tivor.archivos" log says what came of it (FrmMainDesktop.cpp).
    void openMessageFile(const QString& path);

protected:
    // Form_Unload: the unsaved-changes prompt; a save the operator asked for and did not get keeps
    // the window open.
    void closeEvent(QCloseEvent* event) override;
    // A dropped .mnm file is opened, a dropped .txt file imported.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Drops, the keys of the page commands and the hint shown while no message is open (FrmMainDesktop.cpp).
    void setUpDesktop();
    void refreshHint();
    void setUpStatusBar();
    void setUpTextField();
    // The LED preview under the text: the fields as they stand, never the model.
    void refreshPreview();
    // Chooses `code` in a list whose entries are the codes 0..count-1; a code outside them gets a
    // temporary last entry that shows it, so the stored value survives until the operator picks another.
    void chooseCode(QComboBox* box, int listSize, int code);
    static int chosenCode(const QComboBox* box, int current);

    std::unique_ptr<Ui::FrmMain> ui;
    // The page text as RefMensaje last showed it.
    QString shownText;
    QLabel* panels[3] = {};
    QLabel* hint = nullptr;
};
