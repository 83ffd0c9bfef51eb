// The send dialog: checks there is a message, builds it, sends it paced or writes "Salida.txt".
#include "gui/dialogs/frmSend.h"

#include "core/files/OutputFile.h"
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/LineSettings.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmSend.h"

#include <QDir>
#include <QFileInfo>

namespace
{
// A stored delay outside its list is not looked up (Opciones stores what was typed): the line says which
// delay is in force instead.
QString unlistedDelays(const LineSettings& line, const SendDelays& inForce)
{
    QString notes;
    const auto note = [&notes](const char* name, const QString& text, const QStringList& list, double inForce) {
        if (const DelayLookUp delay = lookUpDelay(text, list, inForce); !delay.listed)
            notes += QStringLiteral("\n%1 \"%2\" no esta en la lista: se usa %3 ms")
                         .arg(QLatin1String(name), text)
                         .arg(qRound(delay.seconds * 1000));
    };
    note("DY1", line.dy1, signproto::DelayStartList, inForce.start);
    note("DY2", line.dy2, signproto::DelayCharList, inForce.perChar);
    return notes;
}
} // namespace

frmSend::frmSend(const TxLink& link, OpenMessage message, const QString& programFolder, QWidget* parent)
    : TxDialog(link, parent), m_openMessage(std::move(message)), m_programFolder(programFolder),
      m_ui(std::make_unique<Ui::frmSend>())
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    setUpCommon(m_ui->StatusBar1, m_ui->progressBar, m_ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmSend::cmdOK_Click, Qt::SingleShotConnection);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmSend::Command2_Click);
    connect(m_ui->chkFile, &QCheckBox::toggled, this, &frmSend::showEstimate);
    showEstimate();
    // Return and Space send; on the check box Space would turn the file output on unseen.
    m_ui->cmdOK->setFocus();
}

frmSend::~frmSend() = default;

void frmSend::showEstimate()
{
    // Opening the dialog takes nothing into the message and builds nothing to send: "Enviar" does that.
    QString shown;
    const std::optional<Message> pages = m_openMessage.shown();
    if (pages && pages->hasText()) {
        const int length = int(messageTransmission(*pages).size());
        const SendDelays delays = link().delays.peek(link().line);
        const qint64 ms = estimatedSendMs(length, delays.start, delays.perChar);
        const QString time =
            ms < 60000 ? QString::number(ms / 1000.0, 'f', 1).replace(u'.', u',') + QStringLiteral(" s")
                       : QStringLiteral("%1 min %2 s").arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
        shown = m_ui->chkFile->isChecked()
                    ? QStringLiteral("Al archivo: %1 bytes, sin esperas").arg(length)
                    : QStringLiteral("Tiempo estimado de envio: %1 (%2 bytes)").arg(time).arg(length) +
                          unlistedDelays(link().line, link().delays.current());
        if (const QString cut = bytesLeftOutText(bytesLeftOut(*pages)); !cut.isEmpty())
            shown += u'\n' + cut.left(1).toUpper() + cut.mid(1);
    }
    m_ui->lblEstimado->setText(shown);
    m_ui->lblEstimado->setVisible(!shown.isEmpty());
}

void frmSend::cmdOK_Click()
{
    const std::optional<Message> pages = m_openMessage.shown();
    if (!pages || !pages->hasText()) {
        endWith(QStringLiteral("Error #21, No Hay mensaje cargado"));
        return;
    }

    beginTransmission();
    const QByteArray bytes = messageTransmission(*pages);
    // The message stays in the editor as it was sent: the page being typed taken, the short texts padded to
    // the sign's line. A save after a send writes them so.
    m_openMessage.keepSent(paddedMessage(*pages));

    if (m_ui->chkFile->isChecked()) {
        const QString path = writeSalida(m_programFolder, bytes);
        if (path.isEmpty()) {
            endWith(notSentText());
            return;
        }
        // The program's folder could not take it: say where it went instead, not only in the tooltip.
        const QString folder = QFileInfo(path).absolutePath();
        showPanel1(folder == QDir(m_programFolder).absolutePath()
                       ? QStringLiteral("Archivo 'salida.txt' grabado OK!")
                       : QStringLiteral("Archivo 'salida.txt' grabado OK en %1").arg(QDir::toNativeSeparators(folder)),
                   path);
        closeAfterOneSecond();
        return;
    }

    reopenIfClosed();
    const TxOutcome outcome = sendPaced(bytes, [](const PacedSend& send) {
        return QStringLiteral("Enviando ...") + QLatin1Char(' ') + QString::number(send.percent()) +
               QStringLiteral("% [") + QString::number(send.length()) + QLatin1Char(']');
    });
    endTransmission(outcome);
}
