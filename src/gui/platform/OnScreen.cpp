// Fitting windows to the available screen as they are shown.
#include "gui/platform/OnScreen.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace platform
{
namespace
{
void fit(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    // The frame is known once the window exists on the platform, which it does by the time it is shown.
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize size = window->size().boundedTo(room.size() - frame);
    if (size != window->size())
        window->resize(size);
    const QSize outer = size + frame;
    const QPoint at(qBound(room.left(), window->frameGeometry().left(), room.right() + 1 - outer.width()),
                    qBound(room.top(), window->frameGeometry().top(), room.bottom() + 1 - outer.height()));
    if (at != window->frameGeometry().topLeft())
        window->move(at);
}

class ScreenFit : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            fit(static_cast<QWidget*>(watched));
        return false;
    }
};
} // namespace

void keepOnScreen(QWidget* window)
{
    window->installEventFilter(new ScreenFit(window));
}
} // namespace platform
