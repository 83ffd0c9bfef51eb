// tivor-server as its signs and its clients meet it: the real program, its signs pseudo-terminals read here
// with every byte timestamped, asked over HTTP from this process and from a second one. Prints, each with its
// goal: a 1161-byte send's pacing against the delays' own time, alone and while GET /api/v1/signs is asked 500
// times a second; that request's latency while 64 signs load; the time from a show to its first byte on the
// line; the server's resident memory before and after 100,000 requests.
//
// The steady client is this program started again as `bench_server --load PORT RATE MS COUNT`: one keep-alive
// connection, each request at its own due time. ab (apache2-utils) and wrk 4 ask as fast as their connections
// allow, not at a fixed rate, so neither is used and nothing needs installing.
#include "core/link/SendDelays.h"
#include "core/model/Message.h"
#include "core/protocol/MessageBuilder.h"
#include "core/settings/LineSettings.h"
#include "support/Pty.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int LoadRate = 500; // requests a second from the steady client
constexpr int ShowsTimed = 50;
constexpr int MemoryRequests = 100000;
constexpr int FleetSigns = 64;
constexpr char SignsTarget[] = "/api/v1/signs";
// The sign's delays for the long send and the fleet: a fresh installation's.
constexpr char LongDy1[] = "200";
constexpr char LongDy2[] = "05";

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("?");
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void sleepUntilNs(qint64 ns)
{
    const timespec at{time_t(ns / 1000000000), long(ns % 1000000000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
}

// The 64 pages whose transmission is 1161 bytes, as the core builds it and as a show body says it.
Message longMessage()
{
    Message message;
    for (int p = 1; p <= MaxPages; ++p) {
        message.text[p] = QStringLiteral("PAGINA %1").arg(p);
        message.effect[p] = 1;
        message.align[p] = AlignCenter;
    }
    message.count = MaxPages;
    return message;
}

QByteArray longBody()
{
    QJsonArray pages;
    for (int p = 1; p <= MaxPages; ++p)
        pages.append(
            QJsonObject{{"text", QStringLiteral("PAGINA %1").arg(p)}, {"effect", "Estatico"}, {"align", "centrado"}});
    return QJsonDocument(QJsonObject{{"pages", pages}}).toJson(QJsonDocument::Compact);
}

// Milliseconds from a transmission's first byte to its last by its delays: every wait but the last byte's.
double nominalSpanMs(int length, const QString& dy1, const QString& dy2)
{
    const SendDelays delays = DelaysInForce().take({QString(), QString(), false, dy1, dy2});
    return double(estimatedSendMs(length - 1, delays.start, delays.perChar));
}

// One keep-alive HTTP/1.1 connection on a blocking socket, so that a request leaves at its due time with no
// event loop in between, and an answer is timed when its last byte is read.
class HttpConnection
{
public:
    explicit HttpConnection(quint16 port) : m_port(port) {}
    ~HttpConnection() { drop(); }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // The answer's status; 0 when none came, after one fresh connection was tried (the server may have
    // closed an idle one).
    int request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {})
    {
        QByteArray bytes = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        if (!body.isEmpty())
            bytes += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        bytes += "\r\n" + body;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if ((m_fd >= 0 || open()) && writeAll(bytes))
                if (const int status = readAnswer(); status > 0)
                    return status;
            drop();
        }
        return 0;
    }

private:
    bool open()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    void drop()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_buffer.clear();
    }
    bool writeAll(const QByteArray& bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    bool fill()
    {
        char chunk[16384];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0)
            m_buffer.append(chunk, n);
        return n > 0;
    }
    static QByteArray headerValue(const QByteArray& head, const QByteArray& name)
    {
        const qsizetype at = head.indexOf("\r\n" + name + ':');
        if (at < 0)
            return {};
        const qsizetype from = at + name.size() + 3, end = head.indexOf('\r', from);
        return head.mid(from, end < 0 ? -1 : end - from).trimmed();
    }
    int readAnswer()
    {
        qsizetype headEnd = -1;
        while ((headEnd = m_buffer.indexOf("\r\n\r\n")) < 0)
            if (!fill())
                return 0;
        const QByteArray head = m_buffer.left(headEnd).toLower();
        const int status = head.split(' ').value(1).toInt();
        const qsizetype whole = headEnd + 4 + headerValue(head, "content-length").toLongLong();
        while (m_buffer.size() < whole)
            if (!fill())
                return 0;
        m_buffer.remove(0, whole);
        if (headerValue(head, "connection") == "close")
            drop();
        return status;
    }

    quint16 m_port;
    int m_fd = -1;
    QByteArray m_buffer;
};

struct LoadFigures
{
    int requests = 0;
    int failed = 0; // answers other than 200, and no answer
    double seconds = 0;
    double p50 = 0, p99 = 0, max = 0; // ms from a request's first byte written to its answer's last read
};

// GET /api/v1/signs at fixed times `rate` a second (0: each as soon as the last is answered), for `ms` or
// `count` requests, whichever ends first. A request that falls behind leaves at once, with no catching up in
// a burst.
LoadFigures steadyLoad(HttpConnection& connection, int rate, int ms, int count)
{
    LoadFigures figures;
    std::vector<double> latencies;
    const qint64 start = testpty::nowNs(), end = start + qint64(ms) * 1000000;
    for (qint64 due = start; figures.requests < count && due < end; ++figures.requests) {
        if (rate > 0)
            sleepUntilNs(due);
        const qint64 sent = testpty::nowNs();
        figures.failed += connection.request("GET", SignsTarget) != 200;
        const qint64 answered = testpty::nowNs();
        latencies.push_back((answered - sent) / 1e6);
        due = rate > 0 ? due + 1000000000 / rate : answered;
    }
    figures.seconds = (testpty::nowNs() - start) / 1e9;
    figures.p50 = percentile(latencies, 0.5);
    figures.p99 = percentile(latencies, 0.99);
    figures.max = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    return figures;
}

// The steady client's side: "ready" once its connection answers, its figures on one line at the end.
int runLoad(const QStringList& arguments)
{
    HttpConnection connection(quint16(arguments.value(2).toUInt()));
    if (connection.request("GET", SignsTarget) != 200) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const LoadFigures f =
        steadyLoad(connection, arguments.value(3).toInt(), arguments.value(4).toInt(), arguments.value(5).toInt());
    std::printf("%d %d %.6f %.6f %.6f %.6f\n", f.requests, f.failed, f.seconds, f.p50, f.p99, f.max);
    return 0;
}

// This program started again as the steady client, from another process as a client on the network would be.
class LoadProcess
{
public:
    LoadProcess(quint16 port, int rate, int ms, int count)
    {
        m_process.start(
            QCoreApplication::applicationFilePath(),
            {"--load", QString::number(port), QString::number(rate), QString::number(ms), QString::number(count)});
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        m_ready = m_process.readLine().startsWith("ready");
    }
    ~LoadProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool ready() const { return m_ready; }
    // Its figures once it has ended; requests 0 when it did not say them.
    LoadFigures finish(int timeoutMs)
    {
        LoadFigures f;
        if (!m_ready || !m_process.waitForFinished(timeoutMs))
            return f;
        const QList<QByteArray> words = m_process.readAllStandardOutput().simplified().split(' ');
        if (words.size() == 6)
            f = {words[0].toInt(),    words[1].toInt(),    words[2].toDouble(),
                 words[3].toDouble(), words[4].toDouble(), words[5].toDouble()};
        return f;
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

void printLoad(const char* what, const LoadFigures& f)
{
    if (f.requests == 0) {
        std::printf("  %s: the steady client said nothing\n", what);
        return;
    }
    std::printf("  %s: %d x GET %s in %.2f s = %.1f a second, %d not 200; latency p50 %.2f p99 %.2f max %.2f ms\n",
                what, f.requests, SignsTarget, f.seconds, f.requests / f.seconds, f.failed, f.p50, f.p99, f.max);
}

// The real tivor-server on a configuration of its own, its journal (a line per request) in a file.
class ServerProcess
{
public:
    explicit ServerProcess(const QJsonArray& signs)
    {
        // No limit on the rate this bench asks at: the figures are the server's, not its limiter's.
        const QJsonObject configuration{{"signs", signs},
                                        {"limits", QJsonObject{{"connections", 64}, {"requestsPerMinute", 1000000}}}};
        QFile file(m_dir.filePath("server.json"));
        if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) ||
            file.write(QJsonDocument(configuration).toJson()) < 0)
            return;
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(m_dir.filePath("journal.log"));
        m_process.start(QStringLiteral(TIVOR_SERVER_PROGRAM), {"--config", file.fileName(), "--listen", "127.0.0.1:0"});
        m_port = waitForPort();
        if (m_port == 0)
            std::printf("tivor-server did not listen: %s\n", journal().constData());
    }
    ~ServerProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(15000))
            m_process.kill();
        m_process.waitForFinished();
    }
    quint16 port() const { return m_port; }
    // VmRSS from /proc, in MB; 0 when unreadable.
    double residentMb() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        const QRegularExpression line(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
        return line.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1024;
    }

private:
    QByteArray journal() const
    {
        QFile file(m_dir.filePath("journal.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }
    // The port it says it listens on, once it says it.
    quint16 waitForPort()
    {
        const QRegularExpression address(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)"));
        for (int tries = 0; tries < 1000 && m_process.state() != QProcess::NotRunning; ++tries) {
            if (const auto match = address.match(QString::fromUtf8(journal())); match.hasMatch())
                return quint16(match.captured(1).toUInt());
            m_process.waitForFinished(10);
        }
        return 0;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

QJsonObject signEntry(const QString& id, const testpty::Pty& line, const QString& dy1, const QString& dy2)
{
    return QJsonObject{
        {"id", id}, {"port", line.slavePath()}, {"dy1", dy1}, {"dy2", dy2}, {"groups", QJsonArray{"todos"}}};
}

// Pseudo-terminals, their readers' timestamps as close to the bytes as the system lets them be.
std::vector<std::unique_ptr<testpty::Pty>> openLines(int count)
{
    std::vector<std::unique_ptr<testpty::Pty>> lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back(std::make_unique<testpty::Pty>());
        if (!lines.back()->ok()) {
            std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(lines.back()->error()));
            return {};
        }
        lines.back()->setReaderRealtime();
    }
    return lines;
}
} // namespace

namespace
{
struct Pacing
{
    int bytes = 0;
    bool exact = false; // the core's own transmission of the pages, byte for byte
    double spanMs = 0;  // first byte to last, at the line
    double nominalMs = 0;
    double worstLateMs = 0; // the longest gap past its own delay
    int worstAt = 0;        // the byte after that gap, from 1
    int lateGaps = 0;       // gaps more than 1 ms past their delay
};

// Where the time over the nominal went: the core catches up at most 0.5 ms a byte after a late one, so a send
// ends late only after a stall near its end or many along it.
void findLateGaps(const std::vector<testpty::Received>& received, Pacing& pacing)
{
    const SendDelays delays = DelaysInForce().take({QString(), QString(), false, LongDy1, LongDy2});
    for (size_t k = 1; k < received.size(); ++k) {
        const double delayMs = (k <= 5 ? delays.start : delays.perChar) * 1000;
        const double lateMs = (received[k].ns - received[k - 1].ns) / 1e6 - delayMs;
        pacing.lateGaps += lateMs > 1;
        if (lateMs > pacing.worstLateMs) {
            pacing.worstLateMs = lateMs;
            pacing.worstAt = int(k) + 1;
        }
    }
}

// One show of the long message to sign "a", timed at the line.
Pacing timedSend(quint16 port, testpty::Pty& line)
{
    const QByteArray expected = messageTransmission(longMessage());
    line.clear();
    HttpConnection client(port);
    if (client.request("POST", "/api/v1/signs/a/show", longBody()) != 202)
        return {};
    line.waitForBytes(int(expected.size()), 30000);
    line.settle();
    const std::vector<testpty::Received> received = line.received();
    Pacing pacing{int(received.size()), line.bytes() == expected};
    if (received.size() < 2)
        return pacing;
    pacing.spanMs = (received.back().ns - received.front().ns) / 1e6;
    pacing.nominalMs = nominalSpanMs(int(received.size()), LongDy1, LongDy2);
    findLateGaps(received, pacing);
    return pacing;
}

void printPacing(const char* when, const Pacing& p)
{
    if (p.bytes < 2) {
        std::printf("pacing %s: the show did not reach the line (%d bytes)\n", when, p.bytes);
        return;
    }
    std::printf("pacing %s: %d bytes%s, first to last %.1f ms, nominal %.0f ms (DY1 %s, DY2 %s): ratio %.4f "
                "(goal <= 1.002)\n",
                when, p.bytes, p.exact ? "" : " (NOT the core's transmission)", p.spanMs, p.nominalMs, LongDy1, LongDy2,
                p.spanMs / p.nominalMs);
    std::printf("  longest gap past its delay: %+.2f ms, before byte %d; gaps more than 1 ms late: %d\n", p.worstLateMs,
                p.worstAt, p.lateGaps);
}

void reportPacing()
{
    const auto lines = openLines(1);
    if (lines.empty())
        return;
    const ServerProcess server({signEntry("a", *lines[0], LongDy1, LongDy2)});
    if (server.port() == 0)
        return;
    printPacing("alone", timedSend(server.port(), *lines[0]));
    // The client runs from before the show's first byte to after its last.
    const int nominalMs = int(nominalSpanMs(int(messageTransmission(longMessage()).size()), LongDy1, LongDy2));
    LoadProcess load(server.port(), LoadRate, nominalMs + 3000, INT_MAX);
    if (!load.ready()) {
        std::printf("pacing under load: the steady client did not start\n");
        return;
    }
    QThread::msleep(500);
    const Pacing loaded = timedSend(server.port(), *lines[0]);
    const LoadFigures figures = load.finish(nominalMs + 30000);
    printPacing("while another process asks GET /api/v1/signs 500 times a second", loaded);
    printLoad("the steady client", figures);
}

// One show to all 64 signs at DY2 05; the steady client runs while they are being loaded, from the first
// byte of the group to well before the last.
void reportLatencyWhileLoading()
{
    const auto lines = openLines(FleetSigns);
    if (lines.empty())
        return;
    QJsonArray signs;
    for (int i = 0; i < FleetSigns; ++i)
        signs.append(signEntry(QStringLiteral("s%1").arg(i), *lines[size_t(i)], LongDy1, LongDy2));
    const ServerProcess server(signs);
    const QByteArray expected = messageTransmission(longMessage());
    HttpConnection client(server.port());
    if (server.port() == 0 || client.request("POST", "/api/v1/groups/todos/show", longBody()) != 202 ||
        !lines[0]->waitForBytes(1, 5000)) {
        std::printf("GET /api/v1/signs while 64 signs load: the group's show did not start\n");
        return;
    }
    const int nominalMs = int(nominalSpanMs(int(expected.size()), LongDy1, LongDy2));
    LoadProcess load(server.port(), LoadRate, nominalMs - 1500, INT_MAX);
    const LoadFigures f = load.finish(nominalMs + 30000);
    int whole = 0;
    for (const auto& line : lines)
        whole += line->waitForBytes(int(expected.size()), 20000) && line->settle() && line->bytes() == expected;
    if (f.requests == 0)
        std::printf("GET /api/v1/signs while %d signs load: the steady client said nothing\n", FleetSigns);
    else
        std::printf("GET /api/v1/signs while %d signs load at DY2 %s, %d a second: p50 %.2f ms, p99 %.2f ms "
                    "(goal p99 <= 20 ms)\n",
                    FleetSigns, LongDy2, LoadRate, f.p50, f.p99);
    printLoad("the steady client", f);
    std::printf("  signs that got the whole transmission, byte for byte: %d of %d\n", whole, FleetSigns);
}

// Shows of one short page to an idle sign, each timed from the request's first byte written to the show's
// first byte read at the line.
void reportShowToFirstByte()
{
    const auto lines = openLines(1);
    if (lines.empty())
        return;
    testpty::Pty& line = *lines[0];
    const ServerProcess server({signEntry("r", line, "10", "01")});
    HttpConnection client(server.port());
    const QByteArray body = R"({"text": "HOLA"})";
    if (server.port() == 0 || client.request("POST", "/api/v1/signs/r/show?wait=10", body) != 200 || !line.settle()) {
        std::printf("show to first byte: the first show did not end\n");
        return;
    }
    const int length = int(line.received().size());
    std::vector<double> ms;
    for (int i = 0; i < ShowsTimed; ++i) {
        line.clear();
        const qint64 asked = testpty::nowNs();
        if (client.request("POST", "/api/v1/signs/r/show", body) == 202 && line.waitForBytes(length, 5000))
            ms.push_back((line.received().front().ns - asked) / 1e6);
        // The job's last wait and its end, so that the next show finds the line free.
        QThread::msleep(20);
    }
    std::printf("POST /api/v1/signs/r/show to the first byte on the line, %zu of %d shows: median %.2f ms, max "
                "%.2f ms (goal <= 10 ms)\n",
                ms.size(), ShowsTimed, percentile(ms, 0.5), ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()));
}

void reportMemory()
{
    const auto lines = openLines(1);
    if (lines.empty())
        return;
    const ServerProcess server({signEntry("a", *lines[0], LongDy1, LongDy2)});
    if (server.port() == 0)
        return;
    const double before = server.residentMb();
    LoadProcess load(server.port(), 0, INT_MAX, MemoryRequests);
    const LoadFigures f = load.finish(600000);
    QThread::msleep(500);
    const double after = server.residentMb();
    std::printf("resident memory (VmRSS) after %d requests: %.1f MB at start, %.1f MB after, %+.1f MB (goal: "
                "within 10 MB)\n",
                f.requests, before, after, after - before);
    printLoad("the client, as fast as one connection goes", f);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--load"))
        return runLoad(app.arguments());
    std::printf("tivor-server: %s\nload average at start: %s\n", TIVOR_SERVER_PROGRAM, loadAverage().constData());
    testpty::Pty probe;
    std::printf("line readers at real-time priority: %s\n", probe.setReaderRealtime() ? "yes" : "no");
    reportPacing();
    reportLatencyWhileLoading();
    reportShowToFirstByte();
    reportMemory();
    std::printf("load average at end: %s\n", loadAverage().constData());
    return 0;
}
