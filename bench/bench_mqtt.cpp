// From an MQTT command to the sign's line: Debian's mosquitto on a free loopback port, the real tivor-server with a
// pseudo-terminal as its sign (every byte timestamped here), and this program as the hub, publishing text/set
// through libmosquitto. Prints p50, p99 and the worst of 1,000 commands' time from the publish to the first byte
// on the line, against the goal p99 <= 50 ms. Each command waits for the last one's job state to say done, so that
// none waits in the sign's queue.
#include "support/Pty.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <mosquitto.h>
#include <vector>

namespace
{
constexpr int Commands = 1000;
constexpr char Prefix[] = "tivor/bench";

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Other work on the machine shows in the tail: the figures are printed with it.
QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().left(14).trimmed() : QByteArray("?");
}

// The last payload seen on each topic the hub follows.
struct Seen
{
    QByteArray status, job;
};

void onMessage(mosquitto*, void* seen, const mosquitto_message* message)
{
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    if (QByteArray(message->topic).endsWith("/status"))
        static_cast<Seen*>(seen)->status = payload;
    else
        static_cast<Seen*>(seen)->job = payload;
}

// Runs the hub's connection until `done` or `timeoutMs` has passed.
template <typename Done> bool pumpUntil(mosquitto* hub, int timeoutMs, Done done)
{
    const qint64 until = testpty::nowNs() + qint64(timeoutMs) * 1000000;
    while (!done()) {
        if (testpty::nowNs() > until)
            return false;
        mosquitto_loop(hub, 1, 1);
    }
    return true;
}

// The server's journal (two lines a command) stays out of the figures; it is shown when the run fails.
int fail(const char* what, const QString& journalPath = {})
{
    std::fprintf(stderr, "bench_mqtt: %s\n", what);
    QFile journal(journalPath);
    if (journal.open(QIODevice::ReadOnly))
        std::fprintf(stderr, "%s", journal.readAll().right(4000).constData());
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    testpty::Pty pty;
    if (!dir.isValid() || !pty.ok())
        return fail("no temporary folder or pseudo-terminal");
    const bool realtime = pty.setReaderRealtime();
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write("listener " + QByteArray::number(port) + " 127.0.0.1\nallow_anonymous true\n");
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    for (int i = 0; i < 200; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(100))
            break;
        QThread::msleep(20);
    }

    // The fastest delays the sign takes, so that 1,000 sends take about a minute.
    QFile config(dir.filePath(QStringLiteral("server.json")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral(R"({"signs": [{"id": "a", "port": "%1", "dy1": "10", "dy2": "01"}],
                                     "mqtt": {"broker": "127.0.0.1:%2", "id": "bench", "discovery": false}})")
                     .arg(pty.slavePath())
                     .arg(port)
                     .toUtf8());
    config.close();
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    server.setProcessEnvironment(env);
    const QString journalPath = dir.filePath(QStringLiteral("server.log"));
    server.setStandardErrorFile(journalPath);
    server.start(QStringLiteral(TIVOR_SERVER_PROGRAM), {QStringLiteral("--config"), config.fileName(),
                                                        QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});

    mosquitto_lib_init();
    Seen seen;
    mosquitto* hub = mosquitto_new("bench-hub", true, &seen);
    mosquitto_message_callback_set(hub, onMessage);
    mosquitto_int_option(hub, MOSQ_OPT_TCP_NODELAY, 1);
    if (mosquitto_connect(hub, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        return fail("the broker did not take the hub", journalPath);
    mosquitto_subscribe(hub, nullptr, (QByteArray(Prefix) + "/status").constData(), 1);
    mosquitto_subscribe(hub, nullptr, (QByteArray(Prefix) + "/sign/a/job/state").constData(), 1);
    // The server's first probe of the port opens it: it is over once the sign is said to be reachable.
    if (!pumpUntil(hub, 20000, [&] { return seen.status == "online"; }))
        return fail("the server never said it was online", journalPath);
    QThread::msleep(500);

    std::vector<double> latencies;
    const QByteArray topic = QByteArray(Prefix) + "/sign/a/text/set";
    for (int i = 0; i < Commands; ++i) {
        const QByteArray text = "MQTT " + QByteArray::number(i);
        const size_t before = pty.received().size();
        seen.job.clear();
        const qint64 published = testpty::nowNs();
        mosquitto_publish(hub, nullptr, topic.constData(), int(text.size()), text.constData(), 0, false);
        if (!pty.waitForBytes(int(before) + 1, 5000))
            return fail("a command never reached the line", journalPath);
        latencies.push_back(double(pty.received()[before].ns - published) / 1e6);
        if (!pumpUntil(hub, 10000, [&] { return seen.job.contains("\"done\""); }))
            return fail("a job never ended", journalPath);
    }
    std::printf("bench_mqtt: %d commands (text/set, one page, QoS 0) on loopback, reader %s, load average %s\n",
                Commands, realtime ? "realtime" : "not realtime", loadAverage().constData());
    std::printf("  publish to first byte on the line: p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, worst %.2f ms (goal p99 "
                "<= 50 ms: %s)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.9), percentile(latencies, 0.99),
                *std::max_element(latencies.begin(), latencies.end()),
                percentile(latencies, 0.99) <= 50 ? "met" : "NOT met");
    mosquitto_disconnect(hub);
    mosquitto_destroy(hub);
    server.terminate();
    server.waitForFinished(10000);
    broker.terminate();
    broker.waitForFinished(5000);
    return 0;
}
