// The file commands of the main window and the unsaved-changes prompt.
#include "gui/editor/FileCommands.h"

#include "core/files/MessageFile.h"
#include "core/files/TextImport.h"
#include "core/model/Message.h"
#include "gui/editor/PageEditor.h"
#include "gui/platform/CommonDialog.h"
#include "gui/platform/MsgBox.h"

#include <QFileInfo>
#include <utility>

namespace FileCommands
{
namespace
{
const QString MessageFilter = QStringLiteral("Archivos de Mensajes(*.mnm)|*.mnm");
const QString TextFilter = QStringLiteral("Archivos de Texto(*.txt)|*.txt");

Report done(const QString& text, std::optional<QString> name = std::nullopt)
{
    return Report{Report::Kind::Done, text, std::move(name)};
}
Report refused(const QString& text)
{
    return Report{Report::Kind::Refused, text, std::nullopt};
}
Report failed(const QString& text, std::optional<QString> name = std::nullopt)
{
    return Report{Report::Kind::Failed, text, std::move(name)};
}

// One empty, unnamed page in the open editor: what New gives, and what a file that failed to load leaves.
void startEmptyMessage(const Tools& t)
{
    t.editor.Ini_Frame();
    t.editor.message().modified = false;
    t.file.saveAs = true;
    t.editor.setMessageOpen(true);
    t.editor.focusText();
    t.file.name.clear();
}

const QString NoName = QStringLiteral("Sin Nombre");

// The reading steps of Open, once the file name and path are set. The model is only touched once the file has
// been read: a file too large to read leaves the open message as it was.
Opened loadMessageFile(const Tools& t)
{
    FileFailure failure;
    const MessageLoad outcome = loadMessage(t.file.path, t.editor.message(), &failure);
    if (outcome == MessageLoad::TooLarge)
        return {outcome, failed(failure.reason)};
    if (outcome == MessageLoad::Empty) {
        // One empty page, as before; said in the window, not only in the log, so the operator is not left
        // wondering what opened.
        t.editor.Ini_Frame();
        return {outcome, refused(QStringLiteral("%1 no tiene paginas").arg(t.file.name))};
    }
    if (outcome != MessageLoad::Pages) {
        startEmptyMessage(t);
        return {outcome, failed(QStringLiteral("Error en Archivo de Mensaje"), NoName)};
    }
    t.editor.setMessageOpen(true);
    t.editor.clearGoto();
    t.editor.RefMensaje();
    t.editor.message().modified = false;
    t.file.saveAs = false;
    return {outcome, done(QStringLiteral("Mensaje cargado OK!"), t.file.name)};
}

// Open with the file chosen; a file too large to read leaves the name of the open message as it was too.
Opened openNamed(const Tools& t, const QString& name, const QString& path)
{
    const QString keptName = std::exchange(t.file.name, name);
    const QString keptPath = std::exchange(t.file.path, path);
    Opened opened = loadMessageFile(t);
    if (opened.load == MessageLoad::TooLarge) {
        t.file.name = keptName;
        t.file.path = keptPath;
    }
    return opened;
}
} // namespace

SaveOutcome Grabar_Mensaje(const Tools& t, Report& report)
{
    t.editor.TomoActual();
    const bool hasText = t.editor.message().hasText();
    if (t.file.name.isEmpty() || (t.file.saveAs && hasText)) {
        CommonDialog& dlg = t.dialog;
        dlg.Flags = CommonDialog::cdlOFNOverwritePrompt | CommonDialog::cdlOFNCreatePrompt; // 8194
        dlg.Filter = MessageFilter;
        dlg.FilterIndex = 1;
        dlg.FileName.clear();
        if (!dlg.ShowSave(t.window)) {
            report = failed(QStringLiteral("NO se Grabo Archivo Mensajes"));
            return SaveOutcome::Failed;
        }
        t.file.name = dlg.FileTitle;
        t.file.path = dlg.FileName;
    }
    if (!hasText)
        return SaveOutcome::NoText;
    if (t.file.name.isEmpty()) {
        report = failed(QStringLiteral("No se Grabo Mensaje..."));
        return SaveOutcome::NoName;
    }
    // The new file replaces the old one only once it is complete: a failed save keeps the old file.
    if (QString why; !writeMessageFile(t.file.path, t.editor.message(), &why)) {
        report = failed(QStringLiteral("NO se Grabo Archivo Mensajes (%1)").arg(why));
        return SaveOutcome::Failed;
    }
    t.editor.message().modified = false;
    // Characters the file has no byte for are written as "?" (and "ÿ" as "y"): say which, so the loss is not
    // silent.
    QString text;
    for (const QString& page : t.editor.message().text)
        text += page;
    const QString lost = unkeptInMessageFile(text);
    report = done(lost.isEmpty() ? QStringLiteral("Mensajes Grabado OK")
                                 : QStringLiteral("Mensajes Grabado OK; ") + unkeptCharactersText(lost),
                  t.file.name);
    return SaveOutcome::Written;
}

Prompted promptUnsavedChanges(const Tools& t, bool clearSaveAs)
{
    Prompted prompted;
    if (!t.editor.message().modified || !t.editor.messageOpen())
        return prompted;
    const MsgAnswer answer =
        t.prompter.MsgBox(QStringLiteral("Hay cambios Realizados\rDesea Grabar el Mensaje?"), MsgButtons::YesNo,
                          MsgIcon::Information, QStringLiteral("Grabar"), t.window);
    if (answer != MsgAnswer::Yes)
        return prompted;
    if (clearSaveAs)
        t.file.saveAs = false;
    const SaveOutcome outcome = Grabar_Mensaje(t, prompted.report);
    // A save that was asked for and did not happen stops the command; its report says why.
    prompted.proceed = outcome == SaveOutcome::Written || outcome == SaveOutcome::NoText;
    return prompted;
}

Report newMessage(const Tools& t)
{
    startEmptyMessage(t);
    return Report{Report::Kind::Nothing, QString(), NoName};
}

Report openChosenMessage(const Tools& t)
{
    CommonDialog& dlg = t.dialog;
    dlg.Flags = CommonDialog::cdlOFNHideReadOnly; // 4; the file name field keeps the last path chosen
    dlg.Filter = MessageFilter;
    dlg.FilterIndex = 1;
    if (!dlg.ShowOpen(t.window))
        return Report();
    if (dlg.FileTitle.isEmpty()) {
        t.file.name.clear();
        t.file.path = dlg.FileName;
        return Report();
    }
    return openNamed(t, dlg.FileTitle, dlg.FileName).report;
}

Opened openMessagePath(const Tools& t, const QString& path)
{
    return openNamed(t, QFileInfo(path).fileName(), path);
}

void closeMessage(const Tools& t)
{
    t.file.name.clear();
    t.editor.setMessageOpen(false);
}

Report save(const Tools& t)
{
    Report report;
    if (!t.editor.message().modified)
        return report;
    t.file.saveAs = false;
    Grabar_Mensaje(t, report);
    return report;
}

Report saveAs(const Tools& t)
{
    Report report;
    if (!t.editor.messageOpen())
        return report;
    t.file.saveAs = true;
    Grabar_Mensaje(t, report);
    return report;
}

Report importChosenText(const Tools& t)
{
    if (!t.editor.messageOpen())
        return refused(QStringLiteral("NO hay mensaje!"));
    CommonDialog& dlg = t.dialog;
    dlg.Flags = CommonDialog::cdlOFNHideReadOnly;
    dlg.Filter = TextFilter;
    dlg.FilterIndex = 1;
    // A cancelled dialog and an unreadable file both leave the message as it was.
    if (!dlg.ShowOpen(t.window))
        return failed(QStringLiteral("NO se pudo leer Archivo"));
    return importTextPath(t, dlg.FileName);
}

Report importTextPath(const Tools& t, const QString& path)
{
    if (!t.editor.messageOpen())
        return refused(QStringLiteral("NO hay mensaje!"));
    QStringList pages;
    ImportNotes notes;
    if (FileFailure failure; !readImportFile(path, &pages, &failure, &notes))
        return failed(failure.kind == FileFailure::TooLarge ? failure.reason
                                                            : QStringLiteral("NO se pudo leer Archivo"));
    t.editor.Ini_Frame();
    t.editor.message() = messageOfPages(pages);
    t.editor.RefMensaje();
    t.editor.message().modified = true;
    t.file.saveAs = false;
    const QString leftOut = importNotesText(notes);
    return done(QStringLiteral("Mensaje importado OK!") +
                (leftOut.isEmpty() ? QString() : QStringLiteral("; ") + leftOut));
}
} // namespace FileCommands
