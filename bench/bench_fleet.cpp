// Many signs at once from one sending thread: 64 pseudo-terminals (their writes batched, and one call per
// byte), and 16 TCP loopback receivers. Wall time against one sign as a ratio, the sending thread's CPU time,
// the spread of the first bytes and the shortest gap any receiver saw.
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/model/Message.h"
#include "core/platform/Wait.h"
#include "core/platform/WriteBatch.h"
#include "core/ports/SignPort.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/LineSettings.h"
#include "support/Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace
{
// The message every run sends, built once at the start.
QByteArray& builtMessage()
{
    static QByteArray bytes;
    return bytes;
}
// The delays that message goes with.
SendDelays& runDelays()
{
    static SendDelays delays;
    return delays;
}
using Received = std::vector<testpty::Received>;

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Receivers on loopback in a thread of their own with its own event loop, so that the sender's thread
// runs nothing but the sending; every read is timestamped as it arrives.
class TcpSigns
{
public:
    explicit TcpSigns(int count) : m_received(size_t(count)), m_mutexes(size_t(count))
    {
        std::promise<void> ready;
        m_thread = std::thread([this, count, &ready] {
            QEventLoop loop;
            std::vector<std::unique_ptr<QTcpServer>> servers;
            for (int i = 0; i < count; ++i) {
                servers.push_back(std::make_unique<QTcpServer>());
                QTcpServer* server = servers.back().get();
                server->listen(QHostAddress::LocalHost, 0);
                m_ports.push_back(server->serverPort());
                QObject::connect(server, &QTcpServer::newConnection, server, [this, server, i] {
                    while (QTcpSocket* socket = server->nextPendingConnection())
                        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, i] {
                            const QByteArray bytes = socket->readAll();
                            const qint64 t = testpty::nowNs();
                            std::lock_guard<std::mutex> lock(m_mutexes[size_t(i)]);
                            for (char byte : bytes)
                                m_received[size_t(i)].push_back({static_cast<unsigned char>(byte), t});
                        });
                });
            }
            QTimer stop;
            QObject::connect(&stop, &QTimer::timeout, &loop, [&] {
                if (m_stop)
                    loop.quit();
            });
            stop.start(10);
            ready.set_value();
            loop.exec();
        });
        ready.get_future().wait();
    }
    ~TcpSigns()
    {
        m_stop = true;
        m_thread.join();
    }
    QString portText(int i) const { return QStringLiteral("tcp://127.0.0.1:%1").arg(m_ports[size_t(i)]); }
    Received received(int i)
    {
        std::lock_guard<std::mutex> lock(m_mutexes[size_t(i)]);
        return m_received[size_t(i)];
    }
    void clear()
    {
        for (size_t i = 0; i < m_received.size(); ++i) {
            std::lock_guard<std::mutex> lock(m_mutexes[i]);
            m_received[i].clear();
        }
    }

private:
    std::vector<Received> m_received;
    std::vector<std::mutex> m_mutexes;
    std::vector<quint16> m_ports;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Result
{
    double wallMs = 0;
    double cpuMs = 0;
    bool complete = false;
    double senderGapMs[2] = {1e9, 1e9}; // shortest between two writes to one line: after DY1, after DY2
};

// Opens every port as tivor-cli does, each sign its own; the lines not opened are reported.
bool openAll(const QStringList& ports, std::vector<std::unique_ptr<SignPort>>& comms, std::vector<PacedLine>& lines)
{
    for (const QString& port : ports) {
        QString error;
        comms.push_back(openSignPort(port, QStringLiteral("9600"), &error));
        if (!comms.back()) {
            std::printf("  %s: not opened (%s)\n", qPrintable(port), qPrintable(error));
            return false;
        }
        lines.push_back(PacedLine{comms.back().get()});
    }
    return true;
}

// Sends to every port at once and reads back what each receiver got.
Result sendAll(const QStringList& ports, const std::function<Received(int)>& received, bool batching)
{
    Result result;
    std::vector<std::unique_ptr<SignPort>> comms;
    std::vector<PacedLine> lines;
    if (!openAll(ports, comms, lines))
        return result;
    std::vector<qint64> lastWrite(lines.size());
    QElapsedTimer wall;
    const qint64 cpu = threadCpuNs();
    wall.start();
    PacedSend send(builtMessage(), runDelays().start, runDelays().perChar);
    send.setBatching(batching);
    if (ports.size() == 1)
        result.complete = send.run(*lines[0].port) == TxOutcome::Completed;
    else {
        send.onProgress([&](const PacedLine& line) {
            // Runs right before each write: the sender's side of the gaps.
            const size_t i = size_t(&line - lines.data());
            const qint64 now = testpty::nowNs();
            if (line.sent > 0) {
                double& shortest = result.senderGapMs[line.sent <= 5 ? 0 : 1];
                shortest = std::min(shortest, (now - lastWrite[i]) / 1e6);
            }
            lastWrite[i] = now;
        });
        result.complete = send.run(lines) == TxOutcome::Completed &&
                          std::all_of(lines.begin(), lines.end(),
                                      [](const PacedLine& l) { return l.outcome == TxOutcome::Completed; });
    }
    result.wallMs = wall.nsecsElapsed() / 1e6;
    result.cpuMs = (threadCpuNs() - cpu) / 1e6;
    // Waits for the receivers to see the last bytes.
    QElapsedTimer settle;
    settle.start();
    for (int i = 0; i < int(ports.size()); ++i)
        while (int(received(i).size()) < int(builtMessage().size()) && settle.elapsed() < 3000)
            QThread::msleep(1);
    return result;
}

void report(const char* name, const QStringList& ports, const std::function<Received(int)>& received, double oneMs,
            bool batching = true)
{
    const Result r = sendAll(ports, received, batching);
    if (r.wallMs == 0)
        return;
    qint64 firstMin = std::numeric_limits<qint64>::max(), firstMax = 0;
    double minStartGap = 1e9, minCharGap = 1e9;
    int exact = 0, below = 0;
    const double startMs = runDelays().start * 1000, charMs = runDelays().perChar * 1000;
    for (int i = 0; i < int(ports.size()); ++i) {
        const Received rx = received(i);
        QByteArray bytes;
        for (const auto& b : rx)
            bytes += char(b.byte);
        exact += bytes == builtMessage();
        if (rx.empty())
            continue;
        firstMin = std::min(firstMin, rx.front().ns);
        firstMax = std::max(firstMax, rx.front().ns);
        for (size_t k = 1; k < rx.size(); ++k) {
            const double gap = (rx[k].ns - rx[k - 1].ns) / 1e6;
            const double delay = k <= 5 ? startMs : charMs;
            (k <= 5 ? minStartGap : minCharGap) = std::min(k <= 5 ? minStartGap : minCharGap, gap);
            below += gap < delay - 0.5;
        }
    }
    std::printf("\n%s: %lld signs, %d bytes each, DY1 %.0f ms, DY2 %.0f ms\n", name, (long long)ports.size(),
                int(builtMessage().size()), startMs, charMs);
    std::printf("  completed: %s; byte-exact at %d of %lld receivers\n", r.complete ? "all" : "NOT ALL", exact,
                (long long)ports.size());
    std::printf("  wall %.1f ms; one sign %.1f ms; ratio %.4f (target <= 1.02)\n", r.wallMs, oneMs, r.wallMs / oneMs);
    std::printf("  sending thread CPU %.1f ms = %.2f%% of one core (target < 5%%)\n", r.cpuMs,
                100 * r.cpuMs / r.wallMs);
    std::printf("  first bytes spread over %.3f ms\n", (firstMax - firstMin) / 1e6);
    std::printf(
        "  receivers: shortest gap after DY1 %.3f ms, after DY2 %.3f ms; gaps below the delay less 0.5 ms: %d\n",
        minStartGap, minCharGap, below);
    std::printf("  sender side, shortest gap between two writes to one line: after DY1 %.3f ms, after DY2 %.3f ms\n",
                r.senderGapMs[0], r.senderGapMs[1]);
}

// The system's own share: the same bytes on the same schedule written to the same devices by a bare loop
// (no pacing rules, no progress, no events), in batches or one call per byte. What the sending thread
// spends above this is the program's.
void reportFloor(const QStringList& ports, bool batched)
{
    std::vector<int> fds;
    for (const QString& port : ports)
        fds.push_back(::open(QFile::encodeName(port).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY));
    platform::WriteBatch batch;
    std::vector<platform::WriteBatch::Write> writes;
    QElapsedTimer wall;
    wall.start();
    qint64 dueNs = 0;
    const qint64 cpu = threadCpuNs();
    for (int k = 0; k < int(builtMessage().size()); ++k) {
        const char* byte = builtMessage().constData() + k;
        writes.clear();
        for (int fd : fds) {
            if (batched)
                writes.push_back({{fd}, byte, 1});
            else if (::write(fd, byte, 1) != 1)
                std::printf("  a bare write failed\n");
        }
        if (batched)
            batch.run(writes);
        dueNs += qRound64((k < signproto::PreambleDelayBytes ? runDelays().start : runDelays().perChar) * 1e9);
        platform::sleepUntil(wall, dueNs);
    }
    const double cpuMs = (threadCpuNs() - cpu) / 1e6, wallMs = wall.nsecsElapsed() / 1e6;
    for (int fd : fds)
        ::close(fd);
    std::printf("  the system's share, a bare loop %s: CPU %.1f ms = %.2f%% of one core over %.1f ms\n",
                batched ? "in batches" : "one call per byte", cpuMs, 100 * cpuMs / wallMs, wallMs);
}

void runConfig(const QString& dy1, const QString& dy2, int ptyCount, int tcpCount)
{
    Message message;
    message.text[1] = QString(100, u'a');
    message.text[2] = QString(100, u'b');
    builtMessage() = messageTransmission(message);
    runDelays() = DelaysInForce().take({QString(), QString(), false, dy1, dy2});

    std::vector<std::unique_ptr<testpty::Pty>> ptys;
    QStringList ptyPorts;
    for (int i = 0; i < ptyCount; ++i) {
        ptys.push_back(std::make_unique<testpty::Pty>());
        if (!ptys.back()->ok()) {
            std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(ptys.back()->error()));
            return;
        }
        ptys.back()->setReaderRealtime();
        ptyPorts << ptys.back()->slavePath();
    }
    const auto fromPty = [&](int i) { return ptys[size_t(i)]->received(); };

    // One sign, the way one port is sent to: the yardstick.
    const Result one = sendAll({ptyPorts.first()}, fromPty, true);
    if (!one.complete)
        return;
    ptys.front()->clear();
    std::printf("\none sign: %.1f ms (nominal %lld ms), sending thread CPU %.1f ms\n", one.wallMs,
                (long long)estimatedSendMs(int(builtMessage().size()), runDelays().start, runDelays().perChar),
                one.cpuMs);
    report("pseudo-terminals", ptyPorts, fromPty, one.wallMs);
    if (platform::WriteBatch().available())
        reportFloor(ptyPorts, true);
    // The same without batches, as where the system has none: what the batches save.
    for (auto& pty : ptys)
        pty->clear();
    report("pseudo-terminals, one system call per byte", ptyPorts, fromPty, one.wallMs, false);
    reportFloor(ptyPorts, false);

    TcpSigns tcp(tcpCount);
    QStringList tcpPorts;
    for (int i = 0; i < tcpCount; ++i)
        tcpPorts << tcp.portText(i);
    QString error;
    if (!openSignPort(tcpPorts.first(), QStringLiteral("9600"), &error)) {
        std::printf("\nTCP loopback: tcp:// is not available here (%s)\n", qPrintable(error));
        return;
    }
    QThread::msleep(50);
    tcp.clear();
    report(
        "TCP loopback", tcpPorts, [&](int i) { return tcp.received(i); }, one.wallMs);
    for (auto& pty : ptys)
        pty->clear();
    tcp.clear();
    report(
        "pseudo-terminals and TCP loopback together", ptyPorts + tcpPorts,
        [&](int i) { return i < ptyCount ? ptys[size_t(i)]->received() : tcp.received(i - ptyCount); }, one.wallMs);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("writes in batches (io_uring): %s\n",
                platform::WriteBatch().available() ? "available" : "not available here, one call per byte");
    QFile load(QStringLiteral("/proc/loadavg"));
    std::printf("load average: %s", load.open(QIODevice::ReadOnly) ? load.readAll().constData() : "?\n");
    runConfig(QStringLiteral("50"), QStringLiteral("05"), 64, 16);
    runConfig(QStringLiteral("10"), QStringLiteral("01"), 64, 16);
    return 0;
}
