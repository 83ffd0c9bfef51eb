// The main window's status line: three panels, the typed messages in panel 3 with their prefixes, and
// Timer1, which clears them.
#pragma once

#include <QObject>
#include <QTimer>

class Prompter;
namespace platform
{
class Clock;
}
class QLabel;
class QStatusBar;

// Who speaks in panel 3, by the prefix it shows: the program ("PGM: "), the port ("COM: "), an error ("ERR: ").
// Any other value shows no prefix.
enum class MsgKind : quint8 {
    Program = 0,
    Port = 1,
    Error = 3,
};

class StatusLine : public QObject
{
    Q_OBJECT
public:
    // Beeps through `prompter`; waits on `clock`.
    StatusLine(QStatusBar* bar, Prompter& prompter, const platform::Clock& clock);

    // Panel 3: the message after its kind's prefix, shown for a moment; TypeErr beeps twice first.
    void TypeMsg(MsgKind tipo, const QString& men);
    void TypeErr(const QString& menerr);
    void BorrMsg();
    void setStatusPanel(int panel /*1..3*/, const QString& text);
    QString statusPanel(int panel) const;

    QTimer Timer1;
    void Timer1_Timer();

private:
    Prompter& m_prompter;
    const platform::Clock& m_clock;
    QLabel* m_panels[3] = {};
};
