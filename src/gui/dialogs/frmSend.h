// The send dialog: the open message to the sign, or to "Salida.txt".
#pragma once

#include "core/model/Message.h"
#include "gui/dialogs/TxDialog.h"

#include <functional>
#include <memory>
#include <optional>

namespace Ui
{
class frmSend;
}

class frmSend : public TxDialog
{
    Q_OBJECT
public:
    // The window's message as the dialog reaches it.
    struct OpenMessage
    {
        // As the editor shows it, the page being typed included; none when no message is open.
        std::function<std::optional<Message>()> shown;
        // Takes the message as it was sent back into the editor.
        std::function<void(const Message&)> keepSent;
    };

    // Writes "Salida.txt" into `programFolder` when it can.
    frmSend(const TxLink& link, OpenMessage message, const QString& programFolder, QWidget* parent = nullptr);
    ~frmSend() override;

    void cmdOK_Click();

private:
    // "Tiempo estimado de envio" for the message as it stands, before "Enviar".
    void showEstimate();

    OpenMessage m_openMessage;
    QString m_programFolder;
    std::unique_ptr<Ui::frmSend> m_ui;
};
