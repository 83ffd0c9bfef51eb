// The options dialog: serial port, baud rate, RTS/CTS and the two transmission delays.
#pragma once

#include "core/settings/LineSettings.h"

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
    // Shows `line` in its fields.
    explicit frmOpciones(const LineSettings& line, QWidget* parent = nullptr);
    ~frmOpciones() override;

    // What "Aceptar" took from the fields; the settings it was opened with until then.
    const LineSettings& chosen() const { return m_line; }

private:
    void Form_Load();
    void cmdOK_Click();
    void Command2_Click();

    std::unique_ptr<Ui::frmOpciones> m_ui;
    LineSettings m_line;
};

// Shows the dialog modally with `line`. When it was accepted, `line` becomes what was chosen, is stored in
// `store`, and a store that could not be written is reported through `prompter`; the caller then re-opens the
// port. True when it was accepted.
bool showOptionsDialog(QWidget* parent, LineSettings& line, const platform::SettingsStore& store, Prompter& prompter);
