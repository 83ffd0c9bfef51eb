// The options dialog: serial port, baud rate, RTS/CTS and the two transmission delays.
#pragma once

#include <QDialog>
#include <memory>

class Prompter;

namespace platform
{
class SettingsStore;
}

namespace Ui
{
class frmOpciones;
}

class frmOpciones : public QDialog
{
    Q_OBJECT
public:
    explicit frmOpciones(QWidget* parent = nullptr);
    ~frmOpciones() override;

private:
    void Form_Load();
    void cmdOK_Click();
    void Command2_Click();

    std::unique_ptr<Ui::frmOpciones> ui;
};

// Shows the dialog modally. When it was accepted, stores the settings in `store` and reports, through
// `prompter`, a store that could not be written; the caller then re-opens the port. Returns OptionsAccepted.
bool showOptionsDialog(QWidget* parent, const platform::SettingsStore& store, Prompter& prompter);
