// The send dialog: checks there is a message, builds it, sends it paced or writes "Salida.txt".
#include "gui/dialogs/frmSend.h"

#include "core/files/OutputFile.h"
#include "core/link/PacedSend.h"
#include "core/protocol/SignProtocol.h"
#include "core/link/Transmission.h"
#include "core/model/Module1.h"
#include "core/ports/MSComm.h"
#include "core/settings/RegSett.h"
#include "ui_frmSend.h"

namespace
{
// A stored delay outside its list is not looked up (Opciones stores what was typed): the line says which
// delay is in force instead, as just looked up.
QString unlistedDelays()
{
    using namespace Module1;
    QString notes;
    const auto note = [&notes](const char* name, const QString& text, const QStringList& list, double seconds) {
        if (!list.contains(text))
            notes += QStringLiteral("\n%1 \"%2\" no esta en la lista: se usa %3 ms")
                         .arg(QLatin1String(name), text)
                         .arg(qRound(seconds * 1000));
    };
    note("DY1", DY1, signproto::DelayStartList, TxDelayStart);
    note("DY2", DY2, signproto::DelayCharList, TxDelayChar);
    return notes;
}
} // namespace

frmSend::frmSend(MSComm& port, TakeMessage takeMessage, QWidget* parent)
    : TxDialog(parent), MSComm1(port), takeMessage(std::move(takeMessage)), ui(std::make_unique<Ui::frmSend>())
{
    ui->setupUi(this);
    setUpCommon(ui->StatusBar1, ui->progressBar, ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmSend::cmdOK_Click, Qt::SingleShotConnection);
    connect(ui->Command2, &QPushButton::clicked, this, &frmSend::Command2_Click);
    connect(ui->chkFile, &QCheckBox::toggled, this, &frmSend::showEstimate);
    Form_Load();
    showEstimate();
    // Return and Space send; on the check box Space would turn the file output on unseen.
    ui->cmdOK->setFocus();
}

frmSend::~frmSend() = default;

void frmSend::Form_Load()
{
    Module1::TxInProgress = false;
    Module1::TxCancel = false;
}

void frmSend::showEstimate()
{
    using namespace Module1;
    // Measured with the real builder on the shared state, which is then put back exactly: opening the
    // dialog must not take the page, pad texts or change the delays in force. "Enviar" builds anew.
    QString shown;
    {
        const KeepTransmissionState keep;
        if (!transmissionRunning() && takeMessage()) {
            if (messageHasText() && buildMessageTransmission()) {
                const qint64 ms = estimatedSendMs();
                const QString time = ms < 60000 ? QString::number(ms / 1000.0, 'f', 1).replace(u'.', u',') + QStringLiteral(" s")
                                                : QStringLiteral("%1 min %2 s").arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
                shown = ui->chkFile->isChecked()
                            ? QStringLiteral("Al archivo: %1 bytes, sin esperas").arg(TxLength)
                            : QStringLiteral("Tiempo estimado de envio: %1 (%2 bytes)").arg(time).arg(TxLength) +
                                  unlistedDelays();
            }
        }
    }
    ui->lblEstimado->setText(shown);
    ui->lblEstimado->setVisible(!shown.isEmpty());
}

void frmSend::cmdOK_Click()
{
    if (!takeMessage() || !Module1::messageHasText()) {
        endWith(QStringLiteral("Error #21, No Hay mensaje cargado"));
        return;
    }

    Module1::TxCancel = false;
    Module1::TxInProgress = true;
    if (!buildMessageTransmission()) {
        endWith(QStringLiteral("Error #22, No se envio el Mensaje"));
        return;
    }

    if (ui->chkFile->isChecked()) {
        const QString path = writeSalida();
        if (path.isEmpty()) {
            endWith(QStringLiteral("Error #22, No se envio el Mensaje"));
            return;
        }
        // The file may have gone to the per-user folder: the tooltip says where it is.
        showPanel1(QStringLiteral("Archivo 'salida.txt' grabado OK!"), path);
        closeAfterOneSecond();
        return;
    }

    reopenIfClosed(MSComm1);
    const TxOutcome outcome = sendPaced(MSComm1, [this]() {
        showProgress(QStringLiteral("Enviando ...") + QLatin1Char(' ') + QString::number(Module1::TxPercent) +
                     QStringLiteral("% [") + QString::number(Module1::TxLength) + QLatin1Char(']'));
    });
    endTransmission(outcome, MSComm1);
}
