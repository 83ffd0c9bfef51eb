// The file commands of the main window (New, Open, Close, Save, Save As, Import), the unsaved-changes
// prompt and Grabar_Mensaje, which writes the message through the save dialog. Each step returns what
// came of it; the window shows that in its status line.
#pragma once

#include "core/files/MessageFile.h"

#include <QString>
#include <optional>

class CommonDialog;
class PageEditor;
class Prompter;
class QWidget;

namespace FileCommands
{
// What a step has to say in the status line.
struct Report
{
    enum class Kind {
        Nothing,
        Done,    // "PGM: " and the text
        Refused, // "ERR: " and the text
        Failed,  // two beeps, then "ERR: " and the text
    };
    Kind kind = Kind::Nothing;
    QString text;
    std::optional<QString> messageName; // panel 2's new text, when it changes
};

// What the file commands work with: the page editor and its message, the file that message is kept in, the file
// dialog, who asks their questions and the window they are asked over.
struct Tools
{
    PageEditor& editor;
    MessageFileState& file;
    CommonDialog& dialog;
    Prompter& prompter;
    QWidget* window;
};

// What Grabar_Mensaje did, so a command that asked for the save knows whether the changes are safe.
enum class SaveOutcome {
    Written, // the file was written, the message no longer counted as modified
    NoText,  // every page was empty: nothing to write, nothing reported
    NoName,  // "No se Grabo Mensaje...": no file name after the dialog
    Failed,  // "NO se Grabo Archivo Mensajes": dialog cancelled or the write failed
};
SaveOutcome Grabar_Mensaje(const Tools& t, Report& report);

// The unsaved-changes prompt ("Grabar"). `proceed` is false only when the operator answered Yes and the save
// did not happen: the command that asked must then stop, so the changes are not thrown away.
struct Prompted
{
    bool proceed = true;
    Report report;
};
Prompted promptUnsavedChanges(const Tools& t, bool clearSaveAs);

// The steps after the prompt.
Report newMessage(const Tools& t);
Report openChosenMessage(const Tools& t); // through the open dialog
void closeMessage(const Tools& t);
Report save(const Tools& t);             // Guardar: only a modified message
Report saveAs(const Tools& t);           // Guardar Como: only an open message
Report importChosenText(const Tools& t); // through the open dialog

// Open and Import for a file named without their dialog (the command line, a file dropped on the window):
// the same reading and messages.
struct Opened
{
    MessageLoad load = MessageLoad::Unreadable;
    Report report;
};
Opened openMessagePath(const Tools& t, const QString& path);
Report importTextPath(const Tools& t, const QString& path);
} // namespace FileCommands
