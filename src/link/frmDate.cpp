// The date-and-time dialog: shows the clock read on opening and sends it as the 14-byte transmission.
#include "link/frmDate.h"

#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "platform/Clock.h"
#include "platform/MSComm.h"
#include "ui_frmDate.h"

frmDate::frmDate(MSComm& port, QWidget* parent)
    : TxDialog(parent), MSComm1(port), ui(std::make_unique<Ui::frmDate>())
{
    ui->setupUi(this);
    setUpCommon(ui->StatusBar1, ui->progressBar, ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmDate::cmdOK_Click, Qt::SingleShotConnection);
    connect(ui->Command2, &QPushButton::clicked, this, &frmDate::Command2_Click);
    Form_Load();
}

frmDate::~frmDate() = default;

void frmDate::Form_Load()
{
    opened = platform::Now();
    const ClockTexts t = clockTextsOf(opened);
    ui->Label4->setText(QStringLiteral("Hora ") + t.hour + QLatin1Char(':') + t.minute + QLatin1Char(':') + t.second +
                        QStringLiteral("  Fecha ") + t.day + QLatin1Char('/') + t.month + QLatin1Char('/') + t.year);
    Module1::TxCancel = false;
    Module1::TxInProgress = false;
}

void frmDate::cmdOK_Click()
{
    Module1::TxCancel = false;
    Module1::TxInProgress = true;
    if (!buildDateTransmission(opened)) {
        endWith(QStringLiteral("Error #22, No se envio el Mensaje"));
        return;
    }
    const TxOutcome outcome = sendPaced(MSComm1, [this]() {
        showProgress(QStringLiteral("Enviando Datos al CARTEL ...") + QLatin1Char(' ') +
                     QString::number(Module1::TxPercent) + QLatin1Char('%'));
    });
    endTransmission(outcome, MSComm1);
}
