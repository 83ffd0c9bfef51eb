// The date-and-time dialog: shows the running clock and sends the moment of the click as the 14-byte
// transmission.
#include "gui/dialogs/frmDate.h"

#include "core/link/PacedSend.h"
#include "core/link/Transmission.h"
#include "core/platform/Clock.h"
#include "core/ports/MSComm.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmDate.h"

frmDate::frmDate(MSComm& port, const platform::Clock& computerClock, QWidget* parent)
    : TxDialog(parent), MSComm1(port), computerClock(computerClock), ui(std::make_unique<Ui::frmDate>())
{
    ui->setupUi(this);
    platform::keepOnScreen(this);
    setUpCommon(ui->StatusBar1, ui->progressBar, ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmDate::cmdOK_Click, Qt::SingleShotConnection);
    connect(ui->Command2, &QPushButton::clicked, this, &frmDate::Command2_Click);
    clock.setSingleShot(true);
    clock.setTimerType(Qt::PreciseTimer);
    connect(&clock, &QTimer::timeout, this, &frmDate::showNow);
    Form_Load();
}

frmDate::~frmDate() = default;

void frmDate::Form_Load()
{
    showNow();
}

void frmDate::showNow()
{
    shown = computerClock.now();
    const ClockTexts t = clockTextsOf(shown);
    ui->Label4->setText(QStringLiteral("Hora ") + t.hour + QLatin1Char(':') + t.minute + QLatin1Char(':') + t.second +
                        QStringLiteral("  Fecha ") + t.day + QLatin1Char('/') + t.month + QLatin1Char('/') + t.year);
    // Just after the next whole second, so the label turns with the computer's clock.
    clock.start(1005 - shown.time().msec());
}

void frmDate::cmdOK_Click()
{
    // The moment of the click is shown and sent; the label then stays on it while the bytes go out. The
    // preamble's waits are not added, so the time sent stays the time shown: the sign's clock starts
    // behind by those waits (a second with the default DY1).
    showNow();
    clock.stop();
    beginTransmission();
    reopenIfClosed(MSComm1);
    const TxOutcome outcome = sendPaced(MSComm1, dateTransmission(shown), [](const PacedSend& send) {
        return QStringLiteral("Enviando Datos al CARTEL ...") + QLatin1Char(' ') + QString::number(send.percent()) +
               QLatin1Char('%');
    });
    endTransmission(outcome, MSComm1);
}
