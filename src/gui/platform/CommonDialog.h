// The open and save file dialogs, with one file-name field shared between all their uses.
#pragma once

#include <QList>
#include <QString>

class QWidget;

class CommonDialog
{
public:
    // Flag values as the callers pass them.
    static constexpr int cdlOFNOverwritePrompt = 0x2;
    static constexpr int cdlOFNHideReadOnly = 0x4;
    static constexpr int cdlOFNCreatePrompt = 0x2000;

    // "Description(*.ext)|*.ext" pairs separated by "|".
    QString Filter;
    int Flags = 0;
    int FilterIndex = 1;
    // Full path of the file chosen last, in any dialog; proposed by the next dialog unless cleared.
    QString FileName;
    // The chosen file's name without its folder.
    QString FileTitle;

    // Each returns false when the user cancels; FileName and FileTitle change only on success.
    bool ShowOpen(QWidget* parent = nullptr);
    bool ShowSave(QWidget* parent = nullptr);

    // The Qt filter string for Filter ("Archivos de Mensajes (*.mnm)").
    QString qtFilter() const;
};

namespace platform::testing
{
struct ShownDialog
{
    bool save;
    QString filter;
    int flags;
    QString proposedFileName;
};

// While scripted, dialogs are not shown: each takes the next queued path ("" cancels) and is recorded.
// A dialog with nothing queued is recorded in `unexpectedDialogs` and cancelled.
inline bool scriptedDialogs = false;
inline QList<QString> queuedFileNames;
inline QList<ShownDialog> shownDialogs;
inline QList<ShownDialog> unexpectedDialogs;
} // namespace platform::testing
