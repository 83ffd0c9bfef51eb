// Paced sending over a pseudo-terminal, timed on the receiving side: total time against the nominal
// time of the delays, the gaps between bytes, and the time from a cancel click to the terminator.
// With --port PORT it sends the 64-page message to that port once instead and prints the sender's side,
// for a receiver timed elsewhere (a COM port that Wine maps to a pseudo-terminal read on the Linux side).
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/model/Message.h"
#include "core/ports/MSComm.h"
#include "core/protocol/MessageBuilder.h"
#include "core/settings/LineSettings.h"
#ifdef Q_OS_WIN
// No pseudo-terminals on Windows: the receiving end is a TCP receiver on the loopback interface, reached
// through the same paced sending.
#include "LoopbackSink.h"
namespace testpty
{
using benchsink::nowNs;
using Pty = benchsink::LoopbackSink;
} // namespace testpty
#else
#include "support/Pty.h"
#include <sched.h>
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>

namespace
{
QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?\n");
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

bool openLine(testpty::Pty& pty, MSComm& port)
{
    QString error;
    if (!pty.ok() || !openComPort(port, pty.slavePath(), QStringLiteral("9600"), nullptr, &error)) {
        std::printf("cannot open the pseudo-terminal: %s\n", qPrintable(error + pty.error()));
        return false;
    }
    return true;
}

void sixtyFourPages(Message& m)
{
    for (int p = 1; p <= MaxPages; ++p) {
        m.text[p] = QStringLiteral("Pagina %1").arg(p);
        m.effect[p] = quint8(1 + p % 10);
        m.pause[p] = quint8(p % 9);
        m.align[p] = quint8(p % 2 ? 0 : 2);
    }
}

// The message with these delays.
PacedSend builtSend(const Message& message, const QString& dy1, const QString& dy2)
{
    const SendDelays delays = DelaysInForce().take({QString(), QString(), false, dy1, dy2});
    return PacedSend(messageTransmission(message), delays.start, delays.perChar);
}

qint64 nominalMsOf(const PacedSend& send)
{
    return estimatedSendMs(send.length(), send.delayStart(), send.delayChar());
}

// Shortest gap between the sender's writes, by the delay in force before each.
void reportSenderGaps(const std::vector<qint64>& sent, const PacedSend& send)
{
    std::map<int, std::vector<double>> gaps;
    for (size_t i = 1; i < sent.size(); ++i)
        gaps[qRound((i <= 5 ? send.delayStart() : send.delayChar()) * 1000)].push_back((sent[i] - sent[i - 1]) / 1e6);
    for (const auto& [delay, g] : gaps)
        std::printf("  sent gaps after %3d ms delay (%4zu): median %7.3f  min %7.3f  max %7.3f ms\n", delay, g.size(),
                    percentile(g, 0.5), *std::min_element(g.begin(), g.end()), *std::max_element(g.begin(), g.end()));
}

// The 64-page message to a port named as the options name it, once; the receiving side is timed by
// whoever reads that port. Exit status 0 when every byte went.
int sendToPort(const QString& portText, const QString& dy1, const QString& dy2)
{
    Message message;
    sixtyFourPages(message);
    PacedSend send = builtSend(message, dy1, dy2);
    MSComm port;
    QString error;
    if (!openComPort(port, portText, QStringLiteral("9600"), nullptr, &error)) {
        std::printf("cannot open %s: %s\n", qPrintable(portText), qPrintable(error));
        return 1;
    }
    std::vector<qint64> sent;
    sent.reserve(size_t(send.length()));
    QElapsedTimer t;
    t.start();
    send.onProgress([&](const PacedLine&) { sent.push_back(t.nsecsElapsed()); });
    const TxOutcome outcome = send.run(port);
    const double senderMs = t.nsecsElapsed() / 1e6;
    const qint64 nominalMs = nominalMsOf(send);
    std::printf("%s: %d bytes, DY1 %s ms, DY2 %s ms: %s\n", qPrintable(portText), send.length(), qPrintable(dy1),
                qPrintable(dy2), outcome == TxOutcome::Completed ? "completed" : "NOT completed");
    std::printf("  nominal %lld ms; sender total %.1f ms (ratio %.4f)\n", (long long)nominalMs, senderMs,
                senderMs / nominalMs);
    reportSenderGaps(sent, send);
    return outcome == TxOutcome::Completed ? 0 : 1;
}

void run(const char* name, const QString& dy1, const QString& dy2, const std::function<void(Message&)>& pages)
{
    Message message;
    pages(message);
    PacedSend send = builtSend(message, dy1, dy2);
    const int length = send.length();
    testpty::Pty pty;
    MSComm port;
    if (!openLine(pty, port))
        return;
    pty.setReaderRealtime();
    const qint64 nominalMs = nominalMsOf(send);
    // The progress call comes right before each write: its times are the sender's side of the gaps.
    std::vector<qint64> sent;
    sent.reserve(size_t(length));
    QElapsedTimer t;
    t.start();
    send.onProgress([&](const PacedLine&) { sent.push_back(testpty::nowNs()); });
    const TxOutcome outcome = send.run(port);
    const double senderMs = t.nsecsElapsed() / 1e6;
    pty.waitForBytes(length, 5000);
    const auto rx = pty.received();
    if (outcome != TxOutcome::Completed || int(rx.size()) != length) {
        std::printf("%s: not completed (%zu of %d bytes)\n", name, rx.size(), length);
        return;
    }
    // The last byte's wait is not visible on the line: the receiving span is the nominal less it.
    const double lastDelayMs = (length <= 5 ? send.delayStart() : send.delayChar()) * 1000.0;
    const double spanMs = (rx.back().ns - rx.front().ns) / 1e6;
    const double nominalSpanMs = nominalMs - lastDelayMs;
    std::printf("\n%s: %d bytes, DY1 %s ms, DY2 %s ms\n", name, length, qPrintable(dy1), qPrintable(dy2));
    std::printf("  nominal %lld ms; sender total %.1f ms (ratio %.4f)\n", (long long)nominalMs, senderMs,
                senderMs / nominalMs);
    std::printf("  receiving side first->last byte %.1f ms, nominal %.1f ms (ratio %.4f)\n", spanMs, nominalSpanMs,
                spanMs / nominalSpanMs);

    auto report = [&](const char* side, auto timeOf) {
        std::map<int, std::vector<double>> gaps; // by delay in ms
        for (int i = 1; i < int(rx.size()); ++i) {
            const int delay = qRound((i <= 5 ? send.delayStart() : send.delayChar()) * 1000);
            gaps[delay].push_back((timeOf(i) - timeOf(i - 1)) / 1e6);
        }
        for (const auto& [delay, g] : gaps) {
            const long below = std::count_if(g.begin(), g.end(), [d = delay](double x) { return x < d - 0.5; });
            std::printf("  %s gaps after %3d ms delay (%4zu): median %7.3f  p99 %7.3f  min %7.3f  max %7.3f ms; "
                        "below %.1f ms: %ld\n",
                        side, delay, g.size(), percentile(g, 0.5), percentile(g, 0.99),
                        *std::min_element(g.begin(), g.end()), *std::max_element(g.begin(), g.end()), delay - 0.5,
                        below);
        }
    };
    report("received", [&](int i) { return rx[size_t(i)].ns; });
    report("sent    ", [&](int i) { return sent[size_t(i)]; });
}

// A click on "Cancelar" arrives while paced sending sleeps; the terminator must follow within the
// delay in force plus 10 ms.
void cancelLatency(const char* name, const QString& dy1, const QString& dy2, int fromMs, int toMs, int rounds)
{
    std::vector<double> latencies;
    double delayMs = 0;
    for (int r = 0; r < rounds; ++r) {
        Message message;
        message.text[1] = QString(400, u'c');
        PacedSend send = builtSend(message, dy1, dy2);
        testpty::Pty pty;
        MSComm port;
        if (!openLine(pty, port))
            return;
        const int atMs = int(QRandomGenerator::global()->bounded(fromMs, toMs));
        const qint64 clickNs = testpty::nowNs() + qint64(atMs) * 1000000;
        pty.setReaderRealtime();
        QTimer::singleShot(atMs, [&send] { send.cancel(); });
        if (send.run(port) != TxOutcome::Cancelled) {
            std::printf("%s: round %d not cancelled\n", name, r);
            continue;
        }
        delayMs = (send.position() <= 5 ? send.delayStart() : send.delayChar()) * 1000.0;
        sendTerminator(port);
        pty.waitForBytes(send.position() + 2, 2000);
        const auto rx = pty.received();
        latencies.push_back((rx.back().ns - clickNs) / 1e6);
    }
    if (latencies.empty())
        return;
    std::printf("\ncancel %s (%zu clicks, delay in force %.0f ms): click -> terminator median %.2f  max %.2f ms "
                "(target <= %.0f ms)\n",
                name, latencies.size(), delayMs, percentile(latencies, 0.5),
                *std::max_element(latencies.begin(), latencies.end()), delayMs + 10);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--port")); at > 0 && at + 1 < args.size()) {
        const auto value = [&](const char* option, const char* fallback) {
            const qsizetype i = args.indexOf(QLatin1String(option));
            return i > 0 && i + 1 < args.size() ? args[i + 1] : QString::fromLatin1(fallback);
        };
        return sendToPort(args[at + 1], value("--dy1", "50"), value("--dy2", "05"));
    }
    // --rt: the sender at real-time priority too, to see the pacing apart from the machine's load.
#ifndef Q_OS_WIN
    if (args.contains(QStringLiteral("--rt"))) {
        sched_param param{};
        param.sched_priority = 5;
        std::printf("sender at real-time priority: %s\n",
                    sched_setscheduler(0, SCHED_FIFO, &param) == 0 ? "yes" : "refused");
    }
#else
    std::printf("receiving end: a TCP receiver on 127.0.0.1 (no pseudo-terminals here)\n");
#endif
    std::printf("load average: %s", qPrintable(QString::fromLatin1(loadAverage())));
    run("27-byte worked example (HOLA)", QStringLiteral("200"), QStringLiteral("05"), [](Message& m) {
        m.text[1] = QStringLiteral("HOLA");
        m.effect[1] = 1;
        m.pause[1] = 4;
        m.align[1] = 2;
    });
    run("64 fixed-width pages", QStringLiteral("200"), QStringLiteral("05"), sixtyFourPages);
    run("8002-byte capped stream", QStringLiteral("200"), QStringLiteral("01"), [](Message& m) {
        for (int p = 1; p <= MaxPages; ++p)
            m.text[p] = QString(200, QChar(u'a' + p % 26));
    });
    cancelLatency("during the preamble", QStringLiteral("200"), QStringLiteral("05"), 50, 950, 8);
    cancelLatency("during the body", QStringLiteral("10"), QStringLiteral("05"), 60, 1500, 20);
    return 0;
}
