// The status panel, progress bar, endings and cancel rules of the two send dialogs.
#include "gui/dialogs/TxDialog.h"

#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/platform/Clock.h"
#include "core/platform/EndingSignals.h"
#include "core/ports/MSComm.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QStatusBar>

TxDialog::TxDialog(const TxLink& link, QWidget* parent) : QDialog(parent), m_link(link) {}

void TxDialog::setUpCommon(QStatusBar* statusBar, QProgressBar* progress, QLabel* picture)
{
    m_panel1 = new QLabel(statusBar);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    statusBar->addWidget(m_panel1, 1);
    m_bar = progress;
    m_bar->setValue(0);
    const QPixmap icon(QStringLiteral(":/tivor/tivor.png"));
    if (!icon.isNull())
        picture->setPixmap(icon.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QString TxDialog::panel1ToolTip() const
{
    return m_panel1->toolTip();
}

void TxDialog::showPanel1(const QString& text, const QString& toolTip)
{
    m_panel1->setText(text);
    m_panel1->setToolTip(toolTip);
    // The closing wait sleeps before it lets the window paint: paint the outcome now, or it only
    // flashes up as the dialog closes.
    m_panel1->repaint();
    emit panel1Changed(text);
}

void TxDialog::showProgress(const QString& text, int percent)
{
    // QProgressBar paints itself at once when its value moves, while the text would wait for the event
    // pass after the byte's whole delay: the two would show different percentages all that time. So the
    // text is painted with the bar, only when the percentage moves (at most a hundred times a send);
    // between those, the event pass paints it, as painting every byte would eat into short delays.
    const bool moved = m_bar->value() != percent;
    m_bar->setValue(percent);
    m_panel1->setText(text);
    m_panel1->setToolTip(QString());
    if (moved)
        m_panel1->repaint();
    emit panel1Changed(text);
}

void TxDialog::reopenIfClosed()
{
    // The port failed at start-up or closed after a failure (the sign restarted, the adapter plugged in
    // again): tried once more with the current settings, quietly; if it still fails the send ends with
    // Error #22 like any send to a closed port.
    if (!m_link.port.PortOpen())
        openComPort(m_link.port, m_link.line);
}

void TxDialog::closeAfterOneSecond()
{
    m_link.clock.pause(1);
    QDialog::done(QDialog::Accepted);
}

void TxDialog::endWith(const QString& text)
{
    showPanel1(text);
    closeAfterOneSecond();
}

void TxDialog::endTransmission(TxOutcome outcome)
{
    switch (outcome) {
    case TxOutcome::Completed:
        endWith(QStringLiteral("Mensaje enviado OK!"));
        return;
    case TxOutcome::Cancelled:
        // The text first, then the terminator at once, directly behind the last byte sent.
        showPanel1(QStringLiteral("Mensaje Cancelado..."));
        sendTerminator(m_link.port);
        closeAfterOneSecond();
        return;
    case TxOutcome::Failed:
    case TxOutcome::Busy:
        break;
    }
    endWith(notSentText());
}

TxOutcome TxDialog::sendPaced(const QByteArray& bytes, const std::function<QString(const PacedSend&)>& progressText)
{
    const SendDelays delays = m_link.delays.take(m_link.line);
    PacedSend send(bytes, delays.start, delays.perChar, &m_cancel);
    send.alsoCancelWhen([] { return platform::EndingSignals::pending(); });
    send.onProgress([&](const PacedLine&) { showProgress(progressText(send), send.percent()); });
    return send.run(m_link.port);
}

void TxDialog::Command2_Click()
{
    if (m_inTransmission)
        m_cancel = true;
    else
        QDialog::reject();
}

void TxDialog::reject()
{
    Command2_Click();
}
