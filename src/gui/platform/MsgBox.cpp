// QMessageBox behind the program's message-box call.
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

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title, QWidget* parent,
                 const QString& detail)
{
    using namespace platform::testing;
    if (scriptedBoxes) {
        const ShownBox box{text, title, buttons, icon, detail};
        shownBoxes.append(box);
        if (queuedAnswers.isEmpty()) {
            unexpectedBoxes.append(box);
            return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
        }
        return queuedAnswers.takeFirst();
    }

    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    OnlyButtonsAnswer onlyButtons;
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.installEventFilter(&onlyButtons);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return r == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void Beep()
{
    ++platform::testing::beepCount;
    QApplication::beep();
}
