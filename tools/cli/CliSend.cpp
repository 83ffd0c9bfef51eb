// The shared sending part of "send" and "clock".
#include "CliSend.h"

#include "Cli.h"
#include "link/SerialLink.h"
#include "link/SignProtocol.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "platform/MSComm.h"
#include "settings/RegSett.h"

#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace cli
{
namespace
{
// Runs in the signal handler: the sending loop reads TxCancel after every byte's wait (the wait resumes
// its sleep after the interruption), exactly as it reads a click on "Cancelar". A bool store is a single
// plain store, and the loop reads the flag again after each call into the system, so it cannot miss it.
extern "C" void onCancelSignal(int)
{
    Module1::TxCancel = true;
}

// SIGINT and SIGTERM cancel while this lives; a second signal of the same kind ends the program at once
// (the handler resets itself), for a port that no longer takes even the terminator.
class CancelOnSignals
{
public:
    CancelOnSignals()
    {
        struct sigaction action = {};
        action.sa_handler = onCancelSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~CancelOnSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }

private:
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};

QString minutesAndSeconds(qint64 ms)
{
    const qint64 seconds = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// One line on the terminal, redrawn in place: bar, percent, bytes, time left by the delays in force.
class ProgressBar
{
public:
    explicit ProgressBar(bool enabled) : m_enabled(enabled) { m_clock.start(); }

    void show()
    {
        using namespace Module1;
        if (!m_enabled)
            return;
        // Bytes go out every few milliseconds; redraw when the percent moves, or ten times a second.
        if (TxPercent == m_lastPercent && m_clock.elapsed() - m_lastDraw < 100 && TxPos != TxLength)
            return;
        m_lastPercent = TxPercent;
        m_lastDraw = m_clock.elapsed();
        const qint64 leftMs = estimatedSendMs(TxLength, TxDelayStart, TxDelayChar) -
                              estimatedSendMs(TxPos - 1, TxDelayStart, TxDelayChar);
        constexpr int width = 30;
        const int filled = TxPercent * width / 100;
        const QString line = QStringLiteral("\r[%1%2] %3% %4/%5 bytes, quedan %6 ")
                                 .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')))
                                 .arg(TxPercent, 3)
                                 .arg(TxPos)
                                 .arg(TxLength)
                                 .arg(minutesAndSeconds(leftMs));
        const QByteArray bytes = line.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
        m_drawn = true;
    }

    // Ends the line so that what follows starts on its own.
    void finish()
    {
        if (m_drawn)
            std::fputc('\n', stderr);
        m_drawn = false;
    }

private:
    bool m_enabled;
    bool m_drawn = false;
    int m_lastPercent = -1;
    qint64 m_lastDraw = 0;
    QElapsedTimer m_clock;
};

// A delay typed on the command line must be one of its list. A stored one outside it (Opciones stores what
// was typed) is taken as the window takes it: the delay in force stays, in this fresh run the default one.
int checkDelay(const QString& value, const QStringList& accepted, const QString& option, const QString& stored,
               double inForce)
{
    if (accepted.contains(value))
        return -1;
    const QString listed = accepted.join(QStringLiteral(", "));
    if (stored.isEmpty())
        return fail(StatusUsage,
                    QStringLiteral("%1 '%2' no es una demora aceptada; use una de: %3").arg(option, value, listed));
    // A warning, not a failure: the status fail() returns is not used.
    fail(StatusOk, QStringLiteral("aviso: el valor guardado %1 '%2' no es una demora aceptada; se envia con %3 ms")
                       .arg(stored, value)
                       .arg(qRound(inForce * 1000)));
    return -1;
}

const QCommandLineOption portOption({QStringLiteral("p"), QStringLiteral("port")},
                                    QStringLiteral("Puerto serie: numero N (/dev/ttyS<N-1>) o ruta del dispositivo"),
                                    QStringLiteral("PUERTO"));
const QCommandLineOption baudOption({QStringLiteral("b"), QStringLiteral("baud")},
                                    QStringLiteral("Velocidad en baudios (8 bits, sin paridad, 1 bit de parada)"),
                                    QStringLiteral("BAUDIOS"));
const QCommandLineOption dy1Option(QStringLiteral("dy1"),
                                   QStringLiteral("Demora tras cada uno de los 5 primeros bytes, ms (10 ... 500)"),
                                   QStringLiteral("MS"));
const QCommandLineOption dy2Option(QStringLiteral("dy2"),
                                   QStringLiteral("Demora tras cada byte siguiente, ms (01 ... 90)"),
                                   QStringLiteral("MS"));
} // namespace

QList<QCommandLineOption> portOptions()
{
    return {portOption, baudOption, dy1Option, dy2Option};
}

int applyPortOptions(const QCommandLineParser& parser)
{
    using namespace Module1;
    LoadRegSett();
    bool storedDY1 = true;
    bool storedDY2 = true;
    if (parser.isSet(portOption)) {
        ComPort = parser.value(portOption);
        if (ComPort.isEmpty())
            return fail(StatusUsage, QStringLiteral("--port vacio: indique un numero de puerto o un dispositivo"));
    }
    if (parser.isSet(baudOption)) {
        ComBaud = parser.value(baudOption);
        bool number = false;
        const int baud = ComBaud.toInt(&number);
        if (!number || baud <= 0 || ComBaud.startsWith(QLatin1Char('+')))
            return fail(StatusUsage, QStringLiteral("--baud '%1' no es una velocidad valida").arg(ComBaud));
    }
    if (parser.isSet(dy1Option)) {
        DY1 = parser.value(dy1Option);
        storedDY1 = false;
    }
    if (parser.isSet(dy2Option)) {
        DY2 = parser.value(dy2Option);
        storedDY2 = false;
    }
    if (const int status = checkDelay(DY1, signproto::DelayStartList, QStringLiteral("--dy1"),
                                      storedDY1 ? QStringLiteral("DY1") : QString(), TxDelayStart);
        status >= 0)
        return status;
    if (const int status = checkDelay(DY2, signproto::DelayCharList, QStringLiteral("--dy2"),
                                      storedDY2 ? QStringLiteral("DY2") : QString(), TxDelayChar);
        status >= 0)
        return status;
    return -1;
}

int sendBuilt(const QString& what)
{
    using namespace Module1;
    // Installed before the port is opened, so a Ctrl-C while it opens is not lost.
    TxCancel = false;
    CancelOnSignals cancelOnSignals;

    MSComm port;
    QString reason;
    // Messages name the device the port text stands for ("2" is /dev/ttyS1).
    QString device = MSComm::deviceNameFor(ComPort);
    if (device.isEmpty())
        device = ComPort;
    if (!openComPort(port, nullptr, &reason))
        return fail(StatusPort, QStringLiteral("%1: no se pudo abrir el puerto serie (%2)").arg(device, reason));
    if (TxCancel)
        return fail(StatusCancelled, QStringLiteral("%1 cancelado antes de enviar: no se envio nada").arg(what));

    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    const TxOutcome outcome = sendPaced(port, [&bar] { bar.show(); });
    bar.finish();

    switch (outcome) {
    case TxOutcome::Completed:
        return StatusOk;
    case TxOutcome::Cancelled: {
        const int sent = TxPos;
        if (!sendTerminator(port))
            return fail(StatusCancelled,
                        QStringLiteral("Mensaje Cancelado... %1 de %2 bytes enviados; el fin 01 01 no se pudo "
                                       "escribir (%3)")
                            .arg(sent)
                            .arg(TxLength)
                            .arg(port.errorText()));
        return fail(StatusCancelled, QStringLiteral("Mensaje Cancelado... %1 de %2 bytes enviados, y el fin 01 01")
                                         .arg(sent)
                                         .arg(TxLength));
    }
    case TxOutcome::Failed:
    case TxOutcome::Busy:
        break;
    }
    return fail(StatusTransmission, QStringLiteral("%1: Error #22, No se envio el Mensaje: %2 de %3 bytes enviados (%4)")
                                        .arg(device)
                                        .arg(std::max(0, TxPos - 1))
                                        .arg(TxLength)
                                        .arg(port.errorText()));
}
} // namespace cli
