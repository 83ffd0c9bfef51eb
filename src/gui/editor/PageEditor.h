// The page editor: the message the window shows, the fields of one of its pages, and the page commands.
#pragma once

#include "core/model/Message.h"

#include <QObject>

class Prompter;
class QComboBox;
class QWidget;

namespace Ui
{
class FrmMain;
}

class PageEditor : public QObject
{
    Q_OBJECT
public:
    // Works on the page frame of `ui`; its questions are asked of `prompter` over `window`.
    PageEditor(Ui::FrmMain& ui, Prompter& prompter, QWidget* window);

    // Fields to the model and back.
    void TomoActual();
    void RefMensaje();
    void RefPausa();
    // One blank page, shown, and nothing counted as modified.
    void Ini_Frame();
    // Empties the page-number field of "Ir a Pagina".
    void clearGoto();

    // The message the window shows and edits; what the fields show is taken into it by TomoActual.
    Message& message() { return m_message; }
    const Message& message() const { return m_message; }
    // The message with the page being typed as the fields show it; the message itself is not touched.
    Message shownMessage() const;

    // A message is open exactly while the frame is shown (whether or not the window is).
    bool messageOpen() const;
    // Shows and enables the frame, or disables and hides it.
    void setMessageOpen(bool open);
    // Gives the text field the focus when it is enabled.
    void focusText();

    // Change handlers: they run for the operator's changes and for the program's own writes.
    void cboEfe_Click();
    void cboPausa_Click();
    void optCenter_Click();
    void optLeft_Click();
    void txtMensaje_Change();

    // Page commands.
    void cmdPagFirst_Click();
    void cmdPagUp_Click();
    void cmdPagDwn_Click();
    void cmdPagLast_Click();
    void cmdGtoPag_Click();
    void cmdInsertar_Click();
    void cmdBorro_Click();

private:
    void setUpTextField();
    // The LED preview under the text: the fields as they stand, never the model.
    void refreshPreview();
    // The current page's slot as the fields show it.
    void takeFields(QString& text, std::uint8_t& effect, std::uint8_t& pause, std::uint8_t& align) const;
    // The alignment the options choose, or `stored` while neither is chosen (a code from a file that is neither).
    int shownAlign(int stored) const;

    Ui::FrmMain& m_ui;
    Prompter& m_prompter;
    QWidget* m_window;
    // The page text as RefMensaje last showed it.
    QString m_shownText;
    bool m_refreshing = false; // RefMensaje is writing the fields
    Message m_message;
    void markModified();
};
