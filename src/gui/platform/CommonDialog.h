// The open and save file dialogs, with one file-name field shared between all their uses, and the chooser
// behind them that a test answers with a double of its own.
#pragma once

#include <QString>

class QWidget;
class CommonDialog;

// Asks for a file: the path chosen, or "" when the operator cancels.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    // `dialog` says what to show: its filter, its flags and the file name it proposes.
    virtual QString chooseToOpen(const CommonDialog& dialog, QWidget* parent) = 0;
    virtual QString chooseToSave(const CommonDialog& dialog, QWidget* parent) = 0;
};

// Qt's file dialogs.
class DialogFileChooser final : public FileChooser
{
public:
    QString chooseToOpen(const CommonDialog& dialog, QWidget* parent) override;
    QString chooseToSave(const CommonDialog& dialog, QWidget* parent) override;
};

class CommonDialog
{
public:
    explicit CommonDialog(FileChooser& chooser) : m_chooser(&chooser) {}

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

private:
    bool accept(const QString& chosen);

    FileChooser* m_chooser;
};
