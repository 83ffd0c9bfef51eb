// The send dialog: checks there is a message, builds it, sends it paced or writes "Salida.txt".
#include "gui/dialogs/frmSend.h"

#include "core/files/OutputFile.h"
#include "core/link/PacedSend.h"
#include "core/link/Transmission.h"
#include "core/model/Module1.h"
#include "core/ports/MSComm.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/RegSett.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmSend.h"

#include <QDir>
#include <QFileInfo>

namespace
{
// A stored delay outside its list is not looked up (Opciones stores what was typed): the line says which
// delay is in force instead.
QString unlistedDelays()
{
    using namespace Module1;
    QString notes;
    const auto note = [&notes](const char* name, const QString& text, const QStringList& list, double inForce) {
        if (const DelayLookUp delay = lookUpDelay(text, list, inForce); !delay.listed)
            notes += QStringLiteral("\n%1 \"%2\" no esta en la lista: se usa %3 ms")
                         .arg(QLatin1String(name), text)
                         .arg(qRound(delay.seconds * 1000));
    };
    note("DY1", DY1, signproto::DelayStartList, TxDelayStart);
    note("DY2", DY2, signproto::DelayCharList, TxDelayChar);
    return notes;
}
} // namespace

frmSend::frmSend(MSComm& port, ShownMessage shownMessage, QWidget* parent)
    : TxDialog(parent), MSComm1(port), shownMessage(std::move(shownMessage)), ui(std::make_unique<Ui::frmSend>())
{
    ui->setupUi(this);
    platform::keepOnScreen(this);
    setUpCommon(ui->StatusBar1, ui->progressBar, ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmSend::cmdOK_Click, Qt::SingleShotConnection);
    connect(ui->Command2, &QPushButton::clicked, this, &frmSend::Command2_Click);
    connect(ui->chkFile, &QCheckBox::toggled, this, &frmSend::showEstimate);
    showEstimate();
    // Return and Space send; on the check box Space would turn the file output on unseen.
    ui->cmdOK->setFocus();
}

frmSend::~frmSend() = default;

void frmSend::showEstimate()
{
    using namespace Module1;
    // Opening the dialog takes nothing into the model and builds nothing to send: "Enviar" does that.
    QString shown;
    const std::optional<MessagePages> pages = shownMessage();
    if (pages && pages->hasText()) {
        const int length = int(messageTransmission(*pages).size());
        const qint64 ms = estimatedSendMs(length, lookUpDelay(DY1, signproto::DelayStartList, TxDelayStart).seconds,
                                          lookUpDelay(DY2, signproto::DelayCharList, TxDelayChar).seconds);
        const QString time =
            ms < 60000 ? QString::number(ms / 1000.0, 'f', 1).replace(u'.', u',') + QStringLiteral(" s")
                       : QStringLiteral("%1 min %2 s").arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
        shown =
            ui->chkFile->isChecked()
                ? QStringLiteral("Al archivo: %1 bytes, sin esperas").arg(length)
                : QStringLiteral("Tiempo estimado de envio: %1 (%2 bytes)").arg(time).arg(length) + unlistedDelays();
    }
    ui->lblEstimado->setText(shown);
    ui->lblEstimado->setVisible(!shown.isEmpty());
}

void frmSend::cmdOK_Click()
{
    const std::optional<MessagePages> pages = shownMessage();
    if (!pages || !pages->hasText()) {
        endWith(QStringLiteral("Error #21, No Hay mensaje cargado"));
        return;
    }

    beginTransmission();
    const QByteArray bytes = messageTransmission(*pages);
    // The message stays in the model as it was sent: the page being typed taken, the short texts padded to
    // the sign's line. A save after a send writes them so.
    storeInModel(paddedPages(*pages));

    if (ui->chkFile->isChecked()) {
        const QString path = writeSalida(bytes);
        if (path.isEmpty()) {
            endWith(notSentText());
            return;
        }
        // The program's folder could not take it: say where it went instead, not only in the tooltip.
        const QString folder = QFileInfo(path).absolutePath();
        showPanel1(folder == QDir(Module1::AppFolder).absolutePath()
                       ? QStringLiteral("Archivo 'salida.txt' grabado OK!")
                       : QStringLiteral("Archivo 'salida.txt' grabado OK en %1").arg(QDir::toNativeSeparators(folder)),
                   path);
        closeAfterOneSecond();
        return;
    }

    reopenIfClosed(MSComm1);
    const TxOutcome outcome = sendPaced(MSComm1, bytes, [](const PacedSend& send) {
        return QStringLiteral("Enviando ...") + QLatin1Char(' ') + QString::number(send.percent()) +
               QStringLiteral("% [") + QString::number(send.length()) + QLatin1Char(']');
    });
    endTransmission(outcome, MSComm1);
}
