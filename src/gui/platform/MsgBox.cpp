// QMessageBox and the beep behind the program's prompter.
#include "gui/platform/MsgBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace
{
// A Yes/No question has no Cancel: QMessageBox would take Escape and the close button for No, and a No there
// can throw work away. Both are swallowed, so only a click on Yes or No answers.
class OnlyButtonsAnswer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress)
            return static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel);
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

MsgAnswer BoxPrompter::answer(const MsgBoxContent& content, QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(content.title);
    box.setText(content.text);
    if (!content.detail.isEmpty())
        box.setDetailedText(content.detail);
    switch (content.icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    OnlyButtonsAnswer onlyButtons;
    if (content.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.installEventFilter(&onlyButtons);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (content.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return r == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void BoxPrompter::Beep()
{
    QApplication::beep();
}
