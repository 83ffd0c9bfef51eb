// A send as an object: two at once in one process, each on its own thread to its own pseudo-terminal with its
// own message and delays, byte-exact and paced on their own, a cancel ending one and leaving the other; a port
// that one send holds refuses another.
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/ports/SignPort.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"
#include "support/Pty.h"

#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

namespace
{
QByteArray transmissionOf(const QStringList& texts)
{
    Message pages;
    for (int i = 0; i < texts.size(); ++i) {
        pages.text[size_t(i + 1)] = texts[i];
        pages.effect[size_t(i + 1)] = std::uint8_t(1 + i % 10);
        pages.pause[size_t(i + 1)] = 4;
        pages.align[size_t(i + 1)] = i % 2 ? AlignLeft : AlignCenter;
    }
    return messageTransmission(pages);
}

// One send on a thread of its own, to a pseudo-terminal of its own, from `startMs` on; the sender's write
// times come from its progress.
struct SendRun
{
    testpty::Pty pty;
    std::unique_ptr<PacedSend> send;
    std::vector<qint64> writeNs;
    std::atomic<int> writes = 0; // for the test's thread: writeNs belongs to the sending one
    TxOutcome outcome = TxOutcome::Busy;
    bool terminated = false;
    QString error;
    std::thread thread;

    SendRun(const QByteArray& bytes, double delayStart, double delayChar)
        : send(std::make_unique<PacedSend>(bytes, delayStart, delayChar))
    {
    }

    void start(int startMs)
    {
        thread = std::thread([this, startMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(startMs));
            // The port lives on the thread that writes to it.
            const std::unique_ptr<SignPort> port = openSignPort(pty.slavePath(), QStringLiteral("9600"), &error);
            if (!port)
                return;
            send->onProgress([this](const PacedLine&) {
                writeNs.push_back(testpty::nowNs());
                ++writes;
            });
            outcome = send->run(*port);
            if (outcome == TxOutcome::Cancelled)
                terminated = sendTerminator(*port);
        });
    }

    void join() { thread.join(); }

    // Shortest gap between two writes after the first five bytes, in ms.
    double shortestCharGapMs() const
    {
        double shortest = 1e9;
        for (size_t i = size_t(signproto::PreambleDelayBytes) + 1; i < writeNs.size(); ++i)
            shortest = std::min(shortest, (writeNs[i] - writeNs[i - 1]) / 1e6);
        return shortest;
    }
};
} // namespace

class TestSend : public QObject
{
    Q_OBJECT

private slots:
    void twoSendsAtOnce();
    void aPortTakesOneSendAtATime();
};

// Started 120 ms apart with different messages and delays, the two run at once and each keeps its own pacing: no
// gap shorter than its own delay less the half-millisecond catch-up. A cancel from another thread ends the first
// with the terminator after the byte in hand; the second completes untouched.
void TestSend::twoSendsAtOnce()
{
    const QByteArray first = transmissionOf({QString(16, u'x'), QString(16, u'y'), QString(16, u'z')});
    const QByteArray second =
        transmissionOf({QStringLiteral("Segundo"), QStringLiteral("otro"), QStringLiteral("tres")});
    SendRun a(first, 0.050, 0.005), b(second, 0.020, 0.002);
    QVERIFY2(a.pty.ok() && b.pty.ok(), qPrintable(a.pty.error() + b.pty.error()));
    a.start(0);
    b.start(120);
    QTRY_VERIFY_WITH_TIMEOUT(a.writes >= 12, 5000);
    a.send->cancel();
    a.join();
    b.join();
    QVERIFY2(a.error.isEmpty() && b.error.isEmpty(), qPrintable(a.error + b.error));
    QCOMPARE(a.outcome, TxOutcome::Cancelled);
    QVERIFY(a.terminated);
    QCOMPARE(b.outcome, TxOutcome::Completed);
    QVERIFY(a.pty.settle() && b.pty.settle());
    const int sent = a.send->position();
    QVERIFY2(sent >= 12 && sent < first.size() - 2, qPrintable(QString::number(sent)));
    QCOMPARE(a.pty.bytes(), first.left(sent) + signproto::Terminator);
    QCOMPARE(b.pty.bytes(), second);
    QCOMPARE(b.send->position(), int(second.size()) + 1);
    QVERIFY2(a.shortestCharGapMs() >= 4.5, qPrintable(QString::number(a.shortestCharGapMs())));
    QVERIFY2(b.shortestCharGapMs() >= 1.5, qPrintable(QString::number(b.shortestCharGapMs())));
    // They did run at the same time: the second began before the first had ended.
    QVERIFY(b.writeNs.front() < a.writeNs.back());
}

// While one send writes to a port, a second send to the same port is refused at once and writes nothing;
// the first goes on whole, and the port takes the next send once it is free.
void TestSend::aPortTakesOneSendAtATime()
{
    testpty::Pty pty;
    QString error;
    const std::unique_ptr<SignPort> port = openSignPort(pty.slavePath(), QStringLiteral("9600"), &error);
    QVERIFY2(port, qPrintable(error));
    const QByteArray bytes = transmissionOf({QStringLiteral("Uno")});
    PacedSend first(bytes, 0.020, 0.005), second(QByteArray("zz"), 0.010, 0.001);
    TxOutcome firstOutcome = TxOutcome::Busy, secondOutcome = TxOutcome::Completed;
    first.onProgress([&](const PacedLine& line) {
        if (line.sent == 3)
            secondOutcome = second.run(*port);
    });
    firstOutcome = first.run(*port);
    QCOMPARE(secondOutcome, TxOutcome::Busy);
    QCOMPARE(firstOutcome, TxOutcome::Completed);
    QVERIFY(pty.settle());
    QCOMPARE(pty.bytes(), bytes);
    QCOMPARE(second.run(*port), TxOutcome::Completed);
    QVERIFY(pty.settle());
    QCOMPARE(pty.bytes(), bytes + "zz");
}

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"
