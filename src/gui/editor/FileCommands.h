// The file commands of the main window (New, Open, Close, Save, Save As, Import, Exit, closing the window),
// the unsaved-changes prompt and Grabar_Mensaje, which writes the message through the save dialog.
#pragma once

#include "core/files/MessageFile.h"

class QString;
class FrmMain;

namespace FileCommands
{
// What Grabar_Mensaje did, so a command that asked for the save knows whether the changes are safe.
enum class SaveOutcome {
    Written,  // the file was written, MsgModified cleared
    NoText,   // every page was empty: nothing to write, nothing reported
    NoName,   // "No se Grabo Mensaje...": no file name after the dialog
    Failed,   // "NO se Grabo Archivo Mensajes": dialog cancelled or the write failed
};

SaveOutcome Grabar_Mensaje(FrmMain& w);

// The reading steps of Open, once the open dialog has set the message file name and path.
MessageLoad loadMessageFile(FrmMain& w);

// Open and Import for a file named without their dialog (the command line, a file dropped on the window):
// the same prompt, reading and messages. Open answers false when the operator kept the current message.
bool openMessagePath(FrmMain& w, const QString& path, MessageLoad* outcome);
void importTextPath(FrmMain& w, const QString& path);

// The unsaved-changes prompt ("Grabar"). Returns false only when the operator answered Yes and the
// save did not happen: the command that asked must then stop, so the changes are not thrown away.
bool promptUnsavedChanges(FrmMain& w, bool clearSaveAs);

void Nuevo_Click(FrmMain& w);
void Cargar_Click(FrmMain& w);
void cerrar_Click(FrmMain& w);
void save_Click(FrmMain& w);
void Grabar_Click(FrmMain& w);
void Importar_Click(FrmMain& w);
void salir_Click(FrmMain& w);
// Closing the main window: false cancels the close.
bool Form_Unload(FrmMain& w);
} // namespace FileCommands
