// The date-and-time dialog: shows the running clock and sends the moment of the click as the 14-byte
// transmission.
#include "gui/dialogs/frmDate.h"

#include "core/link/PacedSend.h"
#include "core/platform/Clock.h"
#include "core/protocol/MessageBuilder.h"
#include "gui/platform/OnScreen.h"
#include "ui_frmDate.h"

frmDate::frmDate(const TxLink& link, QWidget* parent)
    : TxDialog(link, parent), m_computerClock(link.clock), m_ui(std::make_unique<Ui::frmDate>())
{
    m_ui->setupUi(this);
    platform::keepOnScreen(this);
    setUpCommon(m_ui->StatusBar1, m_ui->progressBar, m_ui->Picture1);
    // "Enviar" works once: a second click while sending or during the closing wait does nothing.
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmDate::cmdOK_Click, Qt::SingleShotConnection);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmDate::Command2_Click);
    m_clock.setSingleShot(true);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &frmDate::showNow);
    Form_Load();
}

frmDate::~frmDate() = default;

void frmDate::Form_Load()
{
    showNow();
}

void frmDate::showNow()
{
    m_shown = m_computerClock.now();
    const ClockTexts t = clockTextsOf(m_shown);
    m_ui->Label4->setText(QStringLiteral("Hora ") + t.hour + QLatin1Char(':') + t.minute + QLatin1Char(':') + t.second +
                          QStringLiteral("  Fecha ") + t.day + QLatin1Char('/') + t.month + QLatin1Char('/') + t.year);
    // Just after the next whole second, so the label turns with the computer's clock.
    m_clock.start(1005 - m_shown.time().msec());
}

void frmDate::cmdOK_Click()
{
    // The moment of the click is shown and sent; the label then stays on it while the bytes go out. The
    // preamble's waits are not added, so the time sent stays the time shown: the sign's clock starts
    // behind by those waits (a second with the default DY1).
    showNow();
    m_clock.stop();
    beginTransmission();
    reopenIfClosed();
    const TxOutcome outcome = sendPaced(dateTransmission(m_shown), [](const PacedSend& send) {
        return QStringLiteral("Enviando Datos al CARTEL ...") + QLatin1Char(' ') + QString::number(send.percent()) +
               QLatin1Char('%');
    });
    endTransmission(outcome);
}
