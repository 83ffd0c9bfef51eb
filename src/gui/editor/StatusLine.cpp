// The main window's status line: three panels, the typed messages with their prefixes, and their clearing.
#include "gui/editor/StatusLine.h"

#include "core/platform/Clock.h"
#include "gui/platform/MsgBox.h"

#include <QLabel>
#include <QStatusBar>

StatusLine::StatusLine(QStatusBar* bar, Prompter& prompter, const platform::Clock& clock)
    : QObject(bar), m_prompter(prompter), m_clock(clock)
{
    static const int widths[3] = {130, 170, 0};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        if (widths[i] > 0)
            label->setMinimumWidth(widths[i]);
        bar->addPermanentWidget(label, widths[i] > 0 ? 0 : 1);
        m_panels[i] = label;
    }
    Timer1.setInterval(5000);
    connect(&Timer1, &QTimer::timeout, this, &StatusLine::Timer1_Timer);
}

void StatusLine::Timer1_Timer()
{
    if (!statusPanel(3).isEmpty())
        BorrMsg();
    Timer1.stop();
}

void StatusLine::TypeMsg(MsgKind tipo, const QString& men)
{
    QString prefix;
    switch (tipo) {
    case MsgKind::Program:
        prefix = QStringLiteral("PGM: ");
        break;
    case MsgKind::Port:
        prefix = QStringLiteral("COM: ");
        break;
    case MsgKind::Error:
        prefix = QStringLiteral("ERR: ");
        break;
    }
    setStatusPanel(3, prefix + men);
    // Lets the operator see the message; a timer tick due meanwhile runs here and may clear it.
    m_clock.pause(0.5);
    Timer1.stop();
    Timer1.start();
}

void StatusLine::TypeErr(const QString& menerr)
{
    m_prompter.Beep();
    m_prompter.Beep();
    TypeMsg(MsgKind::Error, menerr);
}

void StatusLine::BorrMsg()
{
    setStatusPanel(3, QString());
}

void StatusLine::setStatusPanel(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 3) {
        m_panels[panel - 1]->setText(text);
        // Panel 3 changes while a command is still running: show it before the command goes on.
        m_panels[panel - 1]->repaint();
    }
}

QString StatusLine::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_panels[panel - 1]->text() : QString();
}
