// The file commands of the main window and the unsaved-changes prompt.
#include "gui/editor/FileCommands.h"

#include "gui/editor/FrmMain.h"
#include "core/files/MessageFile.h"
#include "core/files/TextImport.h"
#include "core/model/Module1.h"
#include "gui/platform/MsgBox.h"
#include "core/platform/Program.h"
#include "ui_FrmMain.h"

#include <QFileInfo>

using namespace Module1;

namespace FileCommands
{
namespace
{
const QString MessageFilter = QStringLiteral("Archivos de Mensajes(*.mnm)|*.mnm");
const QString TextFilter = QStringLiteral("Archivos de Texto(*.txt)|*.txt");

// One empty, unnamed page in the open editor: what New gives, and what a file that failed to load leaves.
void startEmptyMessage(FrmMain& w)
{
    w.Ini_Frame();
    MsgModified = false;
    MsgSaveAs = true;
    w.setMessageOpen(true);
    w.focusText();
    w.setStatusPanel(2, QStringLiteral("Sin Nombre"));
    MsgFileName.clear();
}

void readFailure(FrmMain& w)
{
    w.TypeErr(QStringLiteral("Error en Archivo de Mensaje"));
    startEmptyMessage(w);
}
} // namespace

SaveOutcome Grabar_Mensaje(FrmMain& w)
{
    w.TomoActual();
    const bool hasText = messageHasText();
    if (MsgFileName.isEmpty() || (MsgSaveAs && hasText)) {
        CommonDialog& dlg = w.CommonDialog1;
        dlg.Flags = CommonDialog::cdlOFNOverwritePrompt | CommonDialog::cdlOFNCreatePrompt; // 8194
        dlg.Filter = MessageFilter;
        dlg.FilterIndex = 1;
        dlg.FileName.clear();
        if (!dlg.ShowSave(&w)) {
            w.TypeErr(QStringLiteral("NO se Grabo Archivo Mensajes"));
            return SaveOutcome::Failed;
        }
        MsgFileName = dlg.FileTitle;
        MsgFilePath = dlg.FileName;
    }
    if (!hasText)
        return SaveOutcome::NoText;
    if (MsgFileName.isEmpty()) {
        w.TypeErr(QStringLiteral("No se Grabo Mensaje..."));
        return SaveOutcome::NoName;
    }
    // The new file replaces the old one only once it is complete: a failed save keeps the old file.
    if (!writeMessageFile(MsgFilePath)) {
        w.TypeErr(QStringLiteral("NO se Grabo Archivo Mensajes"));
        return SaveOutcome::Failed;
    }
    MsgModified = false;
    w.TypeMsg(0, QStringLiteral("Mensajes Grabado OK"));
    w.setStatusPanel(2, MsgFileName);
    return SaveOutcome::Written;
}

MessageLoad loadMessageFile(FrmMain& w)
{
    w.Ini_Frame();
    const MessageLoad outcome = loadMessageIntoModel(MsgFilePath);
    if (outcome == MessageLoad::Empty)
        return outcome; // one empty page, nothing reported
    if (outcome != MessageLoad::Pages) {
        readFailure(w);
        return outcome;
    }
    w.setMessageOpen(true);
    w.form()->txtGoto->clear();
    w.RefMensaje();
    MsgModified = false;
    MsgSaveAs = false;
    w.setStatusPanel(2, MsgFileName);
    w.TypeMsg(0, QStringLiteral("Mensaje cargado OK!"));
    return outcome;
}

bool openMessagePath(FrmMain& w, const QString& path, MessageLoad* outcome)
{
    if (!promptUnsavedChanges(w, true))
        return false;
    MsgFileName = QFileInfo(path).fileName();
    MsgFilePath = path;
    *outcome = loadMessageFile(w);
    return true;
}

bool promptUnsavedChanges(FrmMain& w, bool clearSaveAs)
{
    if (!MsgModified || !w.messageOpen())
        return true;
    const MsgAnswer answer = MsgBox(QStringLiteral("Hay cambios Realizados\rDesea Grabar el Mensaje?"),
                                    MsgButtons::YesNo, MsgIcon::Information, QStringLiteral("Grabar"), &w);
    if (answer != MsgAnswer::Yes)
        return true;
    if (clearSaveAs)
        MsgSaveAs = false;
    const SaveOutcome outcome = Grabar_Mensaje(w);
    // A save that was asked for and did not happen stops the command; the error is already shown.
    return outcome == SaveOutcome::Written || outcome == SaveOutcome::NoText;
}

void Nuevo_Click(FrmMain& w)
{
    if (!promptUnsavedChanges(w, false))
        return;
    startEmptyMessage(w);
}

void Cargar_Click(FrmMain& w)
{
    if (!promptUnsavedChanges(w, true))
        return;
    CommonDialog& dlg = w.CommonDialog1;
    dlg.Flags = CommonDialog::cdlOFNHideReadOnly; // 4; the file name field keeps the last path chosen
    dlg.Filter = MessageFilter;
    dlg.FilterIndex = 1;
    if (!dlg.ShowOpen(&w))
        return;
    MsgFileName = dlg.FileTitle;
    MsgFilePath = dlg.FileName;
    if (!MsgFileName.isEmpty())
        loadMessageFile(w);
}

void cerrar_Click(FrmMain& w)
{
    if (!w.messageOpen())
        return;
    if (!promptUnsavedChanges(w, true))
        return;
    MsgFileName.clear();
    w.setMessageOpen(false);
}

void save_Click(FrmMain& w)
{
    if (!MsgModified)
        return;
    MsgSaveAs = false;
    Grabar_Mensaje(w);
}

void Grabar_Click(FrmMain& w)
{
    if (!w.messageOpen())
        return;
    MsgSaveAs = true;
    Grabar_Mensaje(w);
}

void Importar_Click(FrmMain& w)
{
    if (!w.messageOpen()) {
        w.TypeMsg(3, QStringLiteral("NO hay mensaje!"));
        return;
    }
    CommonDialog& dlg = w.CommonDialog1;
    dlg.Flags = CommonDialog::cdlOFNHideReadOnly;
    dlg.Filter = TextFilter;
    dlg.FilterIndex = 1;
    // A cancelled dialog and an unreadable file both leave the message as it was.
    if (!dlg.ShowOpen(&w)) {
        w.TypeErr(QStringLiteral("NO se pudo leer Archivo"));
        return;
    }
    importTextPath(w, dlg.FileName);
}

void importTextPath(FrmMain& w, const QString& path)
{
    if (!w.messageOpen()) {
        w.TypeMsg(3, QStringLiteral("NO hay mensaje!"));
        return;
    }
    QStringList pages;
    if (!readImportFile(path, &pages)) {
        w.TypeErr(QStringLiteral("NO se pudo leer Archivo"));
        return;
    }
    w.Ini_Frame();
    putPagesIntoModel(pages);
    w.RefMensaje();
    MsgModified = true;
    MsgSaveAs = false;
    w.TypeMsg(0, QStringLiteral("Mensaje importado OK!"));
}

void salir_Click(FrmMain& w)
{
    if (!promptUnsavedChanges(w, true))
        return;
    platform::endProgram();
}

bool Form_Unload(FrmMain& w)
{
    return promptUnsavedChanges(w, true);
}
} // namespace FileCommands
