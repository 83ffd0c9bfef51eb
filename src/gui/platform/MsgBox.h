// Message boxes and the system beep, answerable by tests.
#pragma once

#include <QList>
#include <QString>

class QWidget;

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { Information, Critical, Warning, Question };
enum class MsgAnswer { Ok, Yes, No };

// Shows a modal box and returns the button pressed. `detail` goes into the box's detailed text.
MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                 QWidget* parent = nullptr, const QString& detail = QString());

void Beep();

namespace platform::testing
{
struct ShownBox
{
    QString text;
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
    QString detail;
};

// While scripted, boxes are not shown: each takes the next queued answer and is recorded.
// A box with no queued answer is recorded in `unexpectedBoxes` and answered No (Ok for an Ok box).
inline bool scriptedBoxes = false;
inline QList<MsgAnswer> queuedAnswers;
inline QList<ShownBox> shownBoxes;
inline QList<ShownBox> unexpectedBoxes;
inline int beepCount = 0;
} // namespace platform::testing
