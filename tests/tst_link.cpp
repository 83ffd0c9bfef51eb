// The serial line over a real pseudo-terminal: opening from the settings and Error #03, paced sending,
// cancel, and a far end that is slow, stalls or hangs up.
#include "link/SerialLink.h"
#include "link/InicioComm.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace Module1;

using testenv::hex;

class TestLink : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<MSComm> port;

    // The port opened on the pseudo-terminal as at start-up, and the pages built with these delays (none
    // when not given).
    void openAndBuild(const char* dy1 = nullptr, const char* dy2 = nullptr)
    {
        ComPort = pty->slavePath();
        QVERIFY(openComPort(*port));
        DY1 = QString::fromLatin1(dy1);
        DY2 = QString::fromLatin1(dy2);
        QVERIFY(buildMessageTransmission());
        if (!dy1)
            TxDelayStart = TxDelayChar = 0;
    }
    // The CPU this process used while `work` ran, in ms: a loop spinning on a dead line shows up here.
    template <typename F> static qint64 cpuMsOf(F work)
    {
        const qint64 cpu0 = testpty::cpuNs();
        work();
        return (testpty::cpuNs() - cpu0) / 1000000;
    }

private slots:
    void init()
    {
        testenv::reset(m_dir);
        resetTransmissionState();
        platform::testing::outputCalls = 0;
        ComBaud = QStringLiteral("9600");
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        port = std::make_unique<MSComm>();
        PageText[1] = QStringLiteral("HOLA");
        PageEffect[1] = 1;
    }
    void cleanup()
    {
        port.reset();
        pty.reset();
    }

    // 8002 bytes, each its own write, each announced to the progress before it goes.
    void longStreamOneWritePerByte()
    {
        for (int slot = 1; slot <= 64; ++slot)
            PageText[slot] = QString(200, QChar(u'a' + slot % 26));
        openAndBuild();
        QList<int> positions, percents;
        QCOMPARE(sendPaced(*port, [&] { positions << TxPos; percents << TxPercent; }), TxOutcome::Completed);
        QCOMPARE(platform::testing::outputCalls, 8002);
        QCOMPARE(positions.size(), 8002);
        QCOMPARE((QList<int>{positions.last(), percents[0], percents[3999], percents[4000], percents.last()}),
                 (QList<int>{8002, 0, 49, 50, 100}));
        QVERIFY(pty->waitForBytes(8002, 5000));
        QCOMPARE(pty->bytes(), TxBuffer);
    }

    // No write earlier than its delay less 0.5 ms (25 ms after each of the first five bytes, 2 after the
    // rest); a cancel, like a click on "Cancelar", lets the byte in hand keep its whole wait, then the
    // terminator goes in one write.
    void pacingAndCancel()
    {
        openAndBuild("25", "02");
        QList<qint64> before;
        const TxOutcome outcome = sendPaced(*port, [&] {
            before << testpty::nowNs();
            TxCancel = TxPos == 8;
        });
        const qint64 endNs = testpty::nowNs();
        QCOMPARE(outcome, TxOutcome::Cancelled);
        QCOMPARE(TxPos, 8);
        before << endNs;
        for (int i = 1; i < before.size(); ++i)
            QVERIFY2(before[i] - before[i - 1] >= (i <= 5 ? 25 : 2) * 1000000 - 500000, qPrintable(QString::number(i)));
        QVERIFY(sendTerminator(*port) && pty->waitForBytes(10, 2000));
        QTest::qWait(20);
        QCOMPARE(pty->bytes(), hex("572D4E5439DFE080 0101"));
        QCOMPARE(pty->received()[8].ns, pty->received()[9].ns);
        QVERIFY(pty->received()[7].ns - pty->received()[0].ns >= 125000000 - 500000);
    }

    // The far end goes away mid-send: failed, the port closed, no terminator, no busy CPU afterwards.
    void hangUpMidSend()
    {
        PageText[1] = QString(200, u'h');
        openAndBuild("10", "01");
        pty->hangUpAfter(20);
        const qint64 cpuMs = cpuMsOf([&] {
            QCOMPARE(sendPaced(*port), TxOutcome::Failed);
            QTest::qWait(300); // events run as in the program: no error storm
        });
        QVERIFY2(cpuMs < 200, qPrintable(QStringLiteral("CPU %1 ms").arg(cpuMs)));
        QVERIFY2(TxPos > 20 && TxPos < TxLength, qPrintable(QString::number(TxPos)));
        QVERIFY(!port->PortOpen() && !sendTerminator(*port));
        const QByteArray got = pty->bytes();
        QVERIFY(got.size() >= 20 && got.size() < TxPos);
        QCOMPARE(got, TxBuffer.left(got.size()));
    }

    // Opened, re-opened on another line with new settings, then a failed re-open that closes the old port.
    void opensAndReopens()
    {
        ComPort = pty->slavePath();
        QStringList panel;
        const auto setPanel = [&](const QString& t) { panel << t; };
        Inicio_COMM(*port, nullptr, setPanel);
        QCOMPARE(comSettings, QStringLiteral("9600,N,8,1"));
        const QByteArray bytes("W-NT9\xDF\xE0\x01\x0A\x0D\x1A\xFF", 12);
        for (char b : bytes) // no event loop runs here: the bytes must leave inside Output itself
            QVERIFY(port->Output(QByteArray(1, b)));
        QVERIFY(pty->waitForBytes(bytes.size(), 2000));
        MSComm other;
        QVERIFY(!openComPort(other)); // in use
        testpty::Pty second;
        ComPort = second.slavePath();
        ComBaud = QStringLiteral("19200");
        Inicio_COMM(*port, nullptr, setPanel);
        QVERIFY(port->Output("b") && second.waitForBytes(1, 2000));
        QTest::qWait(20);
        QCOMPARE(pty->bytes() + second.bytes(), bytes + "b");
        ComBaud = QStringLiteral("abc");
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        Inicio_COMM(*port, nullptr, setPanel);
        QCOMPARE(panel, (QStringList{pty->slavePath() + ": 9600", second.slavePath() + ": 19200"}));
        QVERIFY(!port->PortOpen() && !port->Output("x"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Error #03 with the system's reason as its detail; the panel keeps its text, the port stays closed.
    void error03_data()
    {
        QTest::addColumn<QString>("comPort");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("reason");
        QTest::newRow("absent numbered port") << "99" << "9600" << "/dev/ttyS98";
        QTest::newRow("missing device") << "/dev/tivor-no-such" << "9600" << "/dev/tivor-no-such: ";
        QTest::newRow("baud not a number") << "PTY" << "abc" << "\"abc\"";
        QTest::newRow("held by tivor-cli") << "CLI" << "9600" << "el puerto esta en uso por el proceso %1 (tivor-cli)";
    }
    void error03()
    {
        QFETCH(QString, comPort);
        QFETCH(QString, baud);
        QFETCH(QString, reason);
        ComPort = comPort == u"PTY" || comPort == u"CLI" ? pty->slavePath() : comPort;
        ComBaud = baud;
        QProcess cli; // sending slowly all through the check
        if (comPort == u"CLI") {
            QVERIFY(testenv::writeFile(m_dir.filePath("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
            cli.setEnvironment({"XDG_CONFIG_HOME=" + m_dir.path()});
            cli.start(TIVOR_CLI_BINARY, {"send", m_dir.filePath("m.mnm"), "--port", ComPort, "--dy1", "500"});
            QVERIFY(pty->waitForBytes(1, 5000));
            reason = reason.arg(cli.processId());
        }
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        int panelCalls = 0;
        Inicio_COMM(*port, nullptr, [&](const QString&) { ++panelCalls; });
        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.title + u'|' + box.text, QStringLiteral("Puerto Serie|Error #03, No se pudo iniciar el Puerto "
                                                             "Serie\rEl puerto ya esta usandose "));
        QVERIFY(box.icon == MsgIcon::Critical && box.buttons == MsgButtons::Ok);
        QVERIFY2(box.detail.contains(reason), qPrintable(box.detail));
        QVERIFY(panelCalls == 0 && !port->PortOpen() && testenv::noUnexpectedPrompts());
        cli.terminate();
        cli.waitForFinished();
    }

    // A far end that never reads again: after outputStallMs (not before) the write fails and the port closes.
    void stalledLineFails()
    {
        openAndBuild();
        pty->setPaused(true);
        platform::testing::outputStallMs = 200;
        QElapsedTimer t;
        t.start();
        int written = 0;
        while (written < 1024 && port->Output(QByteArray(1024, 's')))
            ++written;
        platform::testing::outputStallMs = 2000;
        QVERIFY(written < 1024 && t.elapsed() >= 200 && !port->PortOpen());
        QVERIFY2(port->errorText().contains(QStringLiteral("tiempo agotado")), qPrintable(port->errorText()));
        pty->setPaused(false);
    }

    // The far end goes away while the port is idle: no busy CPU; the next write fails and closes the port.
    void hangUpWhileIdle()
    {
        openAndBuild();
        QVERIFY(port->Output("A") && pty->waitForBytes(1, 2000));
        pty->hangUp();
        const qint64 cpuMs = cpuMsOf([] {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 300) { // events as the program's own loop runs them
                platform::processEventsOnce();
                platform::sleepMs(1);
            }
        });
        QVERIFY2(cpuMs < 100, qPrintable(QStringLiteral("CPU %1 ms in 300 ms").arg(cpuMs)));
        QVERIFY(!port->Output("B") && !port->PortOpen() && !port->errorText().isEmpty());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
