// The serial line over a real pseudo-terminal, and a sign over the network (a TCP receiver, ser2net):
// opening from the settings and Error #03, paced sending, cancel, and a far end that is slow, stalls or hangs up;
// a send as an object: two at once on two threads, and a port that one send holds refusing another.
#include "core/link/PacedSend.h"
#include "core/link/SendDelays.h"
#include "core/link/SerialLink.h"
#include "core/model/Message.h"
#include "core/platform/Wait.h"
#include "core/platform/WriteBatch.h"
#include "core/ports/MSComm.h"
#include "core/ports/Rfc2217.h"
#include "core/protocol/MessageBuilder.h"
#include "core/protocol/SignProtocol.h"
#include "core/settings/LineSettings.h"
#include "gui/dialogs/InicioComm.h"
#include "gui/platform/MsgBox.h"
#include "support/Pty.h"
#include "support/TcpSink.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <atomic>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

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
    PacedSend send;
    std::vector<qint64> writeNs;
    std::atomic<int> writes = 0; // for the test's thread: writeNs belongs to the sending one
    TxOutcome outcome = TxOutcome::Busy;
    bool terminated = false;
    QString error;
    std::thread thread;

    SendRun(const QByteArray& bytes, double delayStart, double delayChar) : send(bytes, delayStart, delayChar) {}

    void start(int startMs)
    {
        thread = std::thread([this, startMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(startMs));
            // The port lives on the thread that writes to it.
            const std::unique_ptr<SignPort> port = openSignPort(pty.slavePath(), QStringLiteral("9600"), &error);
            if (!port)
                return;
            send.onProgress([this](const PacedLine&) { writeNs.push_back(testpty::nowNs()), ++writes; });
            outcome = send.run(*port);
            if (outcome == TxOutcome::Cancelled)
                terminated = sendTerminator(*port);
        });
    }

    // Shortest gap between two writes after the first five bytes, in ms.
    double shortestCharGapMs() const
    {
        double shortest = 1e9;
        for (size_t i = size_t(signproto::PreambleDelayBytes) + 1; i < writeNs.size(); ++i)
            shortest = std::min(shortest, (writeNs[i] - writeNs[i - 1]) / 1e6);
        return shortest;
    }
};

class TestLink : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<MSComm> port;
    std::unique_ptr<PacedSend> built;
    Message m_message;
    LineSettings m_line;

    // The port opened on the pseudo-terminal as at start-up, and a send of the pages with these delays (none
    // when not given).
    void openAndBuild(const char* dy1 = nullptr, const char* dy2 = nullptr, const QString& where = {})
    {
        m_line.port = where.isEmpty() ? pty->slavePath() : where;
        QVERIFY(openComPort(*port, m_line));
        m_line.dy1 = QString::fromLatin1(dy1);
        m_line.dy2 = QString::fromLatin1(dy2);
        const SendDelays delays = dy1 ? DelaysInForce().take(m_line) : SendDelays{0, 0};
        built = std::make_unique<PacedSend>(messageTransmission(m_message), delays.start, delays.perChar);
    }
    // The built send to the port, `before` running before each byte.
    TxOutcome sendBuilt(const std::function<void()>& before = [] {})
    {
        built->onProgress([&](const PacedLine&) { before(); });
        return built->run(*port);
    }

private slots:
    void init()
    {
        testenv::reset(m_dir);
        m_message = Message();
        m_line = LineSettings::defaults();
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        port = std::make_unique<MSComm>();
        m_message.text[1] = QStringLiteral("HOLA");
        m_message.effect[1] = 1;
    }

    // 8002 bytes, each announced to the progress before it goes, all of them on the line; the same whether the
    // system takes the writes in batches or one call at a time.
    void longStream_data()
    {
        QTest::addColumn<bool>("batched");
        QTest::newRow("batched") << true;
        QTest::newRow("one call per byte") << false;
    }
    void longStream()
    {
        QFETCH(bool, batched);
        if (batched && !platform::WriteBatch().available())
            QSKIP("this system takes no batch of writes (io_uring)");
        for (int slot = 1; slot <= 64; ++slot)
            m_message.text[slot] = QString(200, QChar(u'a' + slot % 26));
        openAndBuild();
        QList<int> positions, percents;
        built->setBatching(batched);
        QCOMPARE(sendBuilt([&] { positions << built->position(), percents << built->percent(); }),
                 TxOutcome::Completed);
        QCOMPARE(positions.size(), 8002);
        QCOMPARE((QList<int>{positions.last(), percents[0], percents[3999], percents[4000], percents.last()}),
                 (QList<int>{8002, 0, 49, 50, 100}));
        QCOMPARE(pty->settled(), built->bytes());
    }

    // No write earlier than its delay less 0.5 ms (25 ms after each of the first five bytes, 2 after the
    // rest); a cancel, like a click on "Cancelar", lets the byte in hand keep its whole wait, then the
    // terminator goes in one write. The cancel is read after the last byte's wait too: found set there, the
    // transmission is cancelled all the same.
    void pacingAndCancel_data()
    {
        QTest::addColumn<int>("at");
        QTest::newRow("byte 8") << 8;
        QTest::newRow("after the last byte") << 27;
    }
    void pacingAndCancel()
    {
        QFETCH(int, at);
        openAndBuild("25", "02");
        QList<qint64> before;
        const TxOutcome outcome = sendBuilt([&] {
            before << testpty::nowNs();
            if (built->position() == at)
                built->cancel();
        });
        before << testpty::nowNs();
        QCOMPARE(outcome, TxOutcome::Cancelled);
        QCOMPARE(built->position(), at);
        for (int i = 1; i < before.size(); ++i)
            QVERIFY2(before[i] - before[i - 1] >= (i <= 5 ? 25 : 2) * 1000000 - 500000, qPrintable(QString::number(i)));
        QVERIFY(sendTerminator(*port) && pty->settle());
        QCOMPARE(pty->bytes(), built->bytes().left(at) + "\x01\x01");
        QCOMPARE(pty->received()[at].ns, pty->received()[at + 1].ns);
        QVERIFY(pty->received()[at - 1].ns - pty->received()[0].ns >= (125 + 2 * (at - 8)) * 1000000 - 500000);
    }

    // A sign over raw TCP, by address or by name: no byte at the receiver earlier than its delays allow
    // (less 0.5 ms), the bytes exact.
    void networkSend_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("IPv4") << "tcp://127.0.0.1:%1";
        QTest::newRow("IPv6 literal") << "tcp://[::1]:%1";
        QTest::newRow("host name") << "TCP://localhost:%1";
    }
    void networkSend()
    {
        QFETCH(QString, where);
        TcpSink sink(QHostAddress(where.contains(u'[') ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost));
        openAndBuild("25", "02", where.arg(sink.port));
        qint64 startNs = 0; // before the first byte: the receiver's clock can be late, never early
        QCOMPARE(sendBuilt([&] { startNs = startNs ? startNs : testpty::nowNs(); }), TxOutcome::Completed);
        QTRY_COMPARE(sink.bytes(), built->bytes());
        for (qint64 i = 1; i < qint64(sink.got.size()); ++i)
            QVERIFY2(sink.got[i].ns - startNs >= (i <= 5 ? 25 * i : 125 + 2 * (i - 5)) * 1000000 - 500000,
                     qPrintable(QString::number(i)));
    }

    // The telnet side of an RFC 2217 client, byte for byte: after its greeting (WILL COM-PORT, WILL and DO
    // BINARY), what it answers to what a server says ('|' between reads), whether the server took the COM
    // port option (1), refused it (-1) or has not said (0), and whether it confirmed the speed. Each answer is
    // given once, so two sides never loop; the same bytes split one by one give the same. (A server that agrees to
    // all and confirms the speed, or refuses the option, is on the wire in tst_cli's rfc2217Servers.)
    void rfc2217Client_data()
    {
        // What the server says, in hex; then the answers in hex|COM port state|speed confirmed.
        const testenv::Table<QByteArray, QString> row;
        row("confirms a speed holding 0xFF", "fffd2c fffa2c650000ffff00fff0", "|1|1");
        row("answer to another command", "fffd2c fffa2c6608fff0 fffa186500fff0", "|1|0");
        row("WONT and DONT binary", "fffd2c fffe00 fffc00", "|1|0");
        row("COM-PORT taken back", "fffd2c|fffe2c", "fffc2c|-1|0");
        row("server's own requests", "fffb03 fffd03 fffb01 fffd18|fffb03 fffe18 fffc05 fffd2c",
            "fffd03fffc03fffe01fffc18|1|0");
        row("suppress-go-ahead on, then off", "fffb03|fffc03 fffc03", "fffd03fffe03|0|0");
        row("IAC inside a subnegotiation", "fffa1800ffff fffd2c fff0 fffa2c65ff fb2c fff0", "|0|1");
        row("line data and NOP carry nothing", "41 ffff fd2c ff f1 fff9 42", "|0|0");
    }
    void rfc2217Client()
    {
        auto [server, expected] = testenv::Table<QByteArray, QString>::fetch();
        Rfc2217 whole, byByte;
        QCOMPARE(whole.greeting().toHex(' '), "ff fb 2c ff fb 00 ff fd 00");
        byByte.greeting();
        QByteArray said, saidByByte;
        for (const QByteArray& read : server.split('|'))
            said += whole.feed(QByteArray::fromHex(read));
        for (char c : QByteArray::fromHex(server.replace('|', ' ')))
            saidByByte += byByte.feed(QByteArray(1, c));
        const auto outcome = [](const Rfc2217& t, const QByteArray& answers) {
            return QString::fromLatin1(answers.toHex() + '|' + QByteArray::number(t.comPortState()) + '|' +
                                       QByteArray::number(int(t.baudAnswered())));
        };
        QCOMPARE(outcome(whole, said), expected);
        QCOMPARE(outcome(byByte, saidByByte), expected);
    }

    // What the client sends to set the line, with a speed holding 0xFF (doubled inside the command), and data as
    // telnet carries it (0xFF doubled, CR and NUL as they are). The line is always 8N1 without flow control, RTS
    // and DTR off: those commands, at 19200 baud, are on the wire in tst_cli's rfc2217Servers.
    void rfc2217Commands()
    {
        QCOMPARE(Rfc2217::lineSettings(65535, 8, 'N', 1, 0).left(12).toHex(' '), "ff fa 2c 01 00 00 ff ff ff ff ff f0");
        QCOMPARE(Rfc2217::escape(testenv::hex("FF0D00FFFF41")).toHex(' '), "ff ff 0d 00 ff ff ff ff 41");
    }

    // rfc2217:// through Debian's ser2net onto a pseudo-terminal: the baud rate asked for reaches the
    // line, and the bytes arrive exact, 0xFF, CR and NUL included.
    void rfc2217ThroughSer2net()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/sbin/ser2net")))
            QSKIP("ser2net is not installed");
        const quint16 free = TcpSink().port; // a port nobody listens on now
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        const QString yaml = "connection: &sign\n  accepter: telnet(rfc2217),tcp,127.0.0.1," + QString::number(free) +
                             "\n  connector: serialdev," + pty->slavePath() + ",9600n81,local\n";
        QVERIFY(testenv::writeFile(config, yaml.toUtf8()));
        QProcess ser2net;
        ser2net.start(QStringLiteral("/usr/sbin/ser2net"), {"-n", "-u", "-c", config});
        m_line.baud = QStringLiteral("19200");
        m_line.port = QStringLiteral("rfc2217://127.0.0.1:%1").arg(free);
        QString why; // ser2net listens a moment after it starts, and may drop a connection while it sets up
        for (int tries = 0; tries < 100 && !openComPort(*port, m_line, nullptr, &why); ++tries)
            QTest::qWait(100);
        QVERIFY2(port->PortOpen(), qPrintable(why));
        built = std::make_unique<PacedSend>(messageTransmission(m_message), 0, 0);
        QCOMPARE(sendBuilt(), TxOutcome::Completed);
        const QByteArray raw("\xFF\x0D\x00\xFF\xFF\x0A", 6);
        QVERIFY(port->Output(raw) && pty->waitForBytes(int(built->bytes().size()) + 6, 5000));
        QCOMPARE(pty->bytes(), built->bytes() + raw);
        termios line = {};
        QVERIFY(::tcgetattr(pty->masterFd(), &line) == 0 && cfgetospeed(&line) == B19200);
        ser2net.terminate();
        ser2net.waitForFinished();
    }

    // A network sign that goes away mid-send: the send fails, the port is closed, no terminator follows. A closed
    // TCP connection may take a write or two before the peer's reset comes back. (A serial sign that hangs up:
    // tst_cli's manySigns, tst_txdialogs' windowCommands.)
    void hangUpMidSend()
    {
        for (int slot = 1; slot <= 4; ++slot)
            m_message.text[slot] = QStringLiteral("h");
        TcpSink sink(QHostAddress(QHostAddress::LocalHost), 20);
        openAndBuild("10", "01", QStringLiteral("tcp://127.0.0.1:%1").arg(sink.port));
        // The far end goes once 20 bytes are there, before the sender writes the 21st.
        QCOMPARE(sendBuilt([&] {
                     if (built->position() == 21)
                         QVERIFY(QTest::qWaitFor([&] { return bool(sink.closed); }));
                 }),
                 TxOutcome::Failed);
        QVERIFY2(built->position() >= 21, qPrintable(QString::number(built->position())));
        QVERIFY(!port->PortOpen() && !sendTerminator(*port));
        QCOMPARE(sink.bytes(), built->bytes().left(20));
    }

    // Opened, re-opened on another line with new settings, then a failed re-open that closes the old port.
    void opensAndReopens()
    {
        m_line.port = pty->slavePath();
        QStringList panel;
        const auto setPanel = [&](const QString& t) { panel << t; };
        Inicio_COMM(*port, m_line, testenv::doubles().prompter, nullptr, setPanel);
        termios line = {}; // the settings as the line has them: 9600 8N1, no flow control
        QVERIFY(::tcgetattr(pty->masterFd(), &line) == 0 && cfgetospeed(&line) == B9600);
        QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
        const QByteArray bytes("W-NT9\xDF\xE0\x01\x0A\x0D\x1A\xFF", 12);
        for (char b : bytes) // no event loop runs here: the bytes must leave inside Output itself
            QVERIFY(port->Output(QByteArray(1, b)));
        QVERIFY(pty->waitForBytes(bytes.size(), 2000));
        MSComm other;
        QVERIFY(!openComPort(other, m_line)); // in use
        testpty::Pty second;
        m_line.port = second.slavePath();
        m_line.baud = QStringLiteral("19200");
        Inicio_COMM(*port, m_line, testenv::doubles().prompter, nullptr, setPanel);
        QVERIFY(port->Output("b") && pty->settle() && second.settle());
        QVERIFY(::tcgetattr(second.masterFd(), &line) == 0 && cfgetospeed(&line) == B19200);
        QCOMPARE(pty->bytes() + second.bytes(), bytes + "b");
        m_line.baud = QStringLiteral("abc");
        testenv::doubles().prompter.answers = {MsgAnswer::Ok};
        Inicio_COMM(*port, m_line, testenv::doubles().prompter, nullptr, setPanel);
        QCOMPARE(panel, (QStringList{pty->slavePath() + ": 9600", second.slavePath() + ": 19200"}));
        QVERIFY(!port->PortOpen() && !port->Output("x"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The control's settings text: applied at once to an open line (as the line shows them), or refused with the
    // part at fault, the line keeping what it had. (A pseudo-terminal keeps 8 data bits and no parity whatever it is
    // asked, so of the line only its speed and stop bits are seen.)
    void settingsText_data()
    {
        const testenv::Table<QString, int, tcflag_t, QString> row; // text, speed, flags, refusal
        row("two stop bits", "19200,N,8,2", B19200, CS8 | CSTOPB, "");
        row("blanks and a small letter", " 4800 , o , 8 , 1 ", B4800, CS8, "");
        row("three parts", "4800,N,8", B9600, CS8, "Parametros de linea no validos: \"4800,N,8\"");
        row("signed speed", "+4800,N,8,1", B9600, CS8, "Velocidad no valida: \"+4800\"");
        row("speed past 31 bits", "2147483648,N,8,1", B9600, CS8, "Velocidad no valida: \"2147483648\"");
        row("parity", "4800,X,8,1", B9600, CS8, "Paridad no valida: \"X\"");
        row("nine data bits", "4800,N,9,1", B9600, CS8, "Bits de datos no validos: \"9\"");
        row("four data bits", "4800,N,4,1", B9600, CS8, "Bits de datos no validos: \"4\"");
        row("three stop bits", "4800,N,8,3", B9600, CS8, "Bits de parada no validos: \"3\"");
    }
    void settingsText()
    {
        const auto [text, speed, flags, refusal] = testenv::Table<QString, int, tcflag_t, QString>::fetch();
        m_line.port = pty->slavePath();
        QVERIFY(openComPort(*port, m_line));
        QCOMPARE(port->setSettings(text), refusal.isEmpty());
        QCOMPARE(port->errorText(), refusal);
        termios line = {};
        QVERIFY(::tcgetattr(pty->masterFd(), &line) == 0);
        QCOMPARE(int(cfgetospeed(&line)), speed);
        QCOMPARE(line.c_cflag & (CSIZE | CSTOPB), flags);
    }

    // Error #03 with the system's reason as its detail; the panel keeps its text, the port stays closed. (The
    // reasons for a text that names no port are tivor-cli's too, word for word in tst_cli's errors.)
    void error03_data()
    {
        const testenv::Table<QString, QString, QString> row; // port, baud, reason
        row("absent numbered port", "99", "9600", "/dev/ttyS98");
        row("port number 0", "0", "9600", "No existe el puerto \"0\"");
        row("network text in capitals, with spaces", " TCP://127.0.0.1:1 ", "9600", "TCP://127.0.0.1:1: conexion");
        row("missing device", "/dev/tivor-no-such", "9600", "/dev/tivor-no-such: ");
        row("baud not a number", "PTY", "abc", "\"abc\"");
        row("held by tivor-cli", "CLI", "9600", "el puerto esta en uso por el proceso %1 (tivor-cli)");
        row("nobody listening", "tcp://127.0.0.1:1", "9600", "tcp://127.0.0.1:1: conexion rechazada");
        row("unknown host", "rfc2217://no-such-host.invalid:2001", "9600", "no se encuentra el equipo");
    }
    void error03()
    {
        auto [comPort, baud, reason] = testenv::Table<QString, QString, QString>::fetch();
        m_line.port = comPort == u"PTY" || comPort == u"CLI" ? pty->slavePath() : comPort;
        m_line.baud = baud;
        QProcess cli; // sending slowly all through the check
        if (comPort == u"CLI") {
            QVERIFY(testenv::writeFile(m_dir.filePath("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
            cli.setEnvironment({"XDG_CONFIG_HOME=" + m_dir.path()});
            cli.start(TIVOR_CLI_BINARY, {"send", m_dir.filePath("m.mnm"), "--port", m_line.port, "--dy1", "500"});
            QVERIFY(pty->waitForBytes(1, 5000));
            reason = reason.arg(cli.processId());
        }
        testenv::doubles().prompter.answers = {MsgAnswer::Ok};
        int panelCalls = 0;
        Inicio_COMM(*port, m_line, testenv::doubles().prompter, nullptr, [&](const QString&) { ++panelCalls; });
        const auto box = testenv::doubles().prompter.shown.value(0); // one box: noUnexpectedPrompts() below
        QCOMPARE(box.title + u'|' + box.text, QStringLiteral("Puerto Serie|Error #03, No se pudo iniciar el Puerto "
                                                             "Serie\rEl puerto ya esta usandose "));
        QVERIFY(box.icon == MsgIcon::Critical && box.buttons == MsgButtons::Ok);
        QVERIFY2(box.detail.contains(reason), qPrintable(box.detail));
        QVERIFY(panelCalls == 0 && !port->PortOpen() && testenv::noUnexpectedPrompts());
        cli.terminate();
        cli.waitForFinished();
    }

    // A batched write that the system took and never answered may have gone out: it is not written again (a
    // doubled byte would corrupt the message); the line fails as stalled instead.
    void unansweredBatchWriteIsNotRepeated()
    {
        openAndBuild();
        QVERIFY(!port->finishWrite("W", 1, platform::WriteBatch::Unanswered) && !port->PortOpen());
        QVERIFY2(port->errorText().contains(QStringLiteral("tiempo agotado")), qPrintable(port->errorText()));
        QCOMPARE(pty->settled(), QByteArray());
    }

    // A network sign that never reads again: after the stall limit (not before) the write fails and the port
    // closes. A serial line that takes nothing does the same in fullLineWaitsForRoom.
    void stalledNetworkSignFails()
    {
        TcpSink sink(QHostAddress(QHostAddress::LocalHost), -1, false);
        openAndBuild(nullptr, nullptr, QStringLiteral("tcp://127.0.0.1:%1").arg(sink.port));
        port->setStallLimit(200);
        const qint64 startNs = testpty::nowNs();
        int written = 0;
        while (written < 1024 && port->Output(QByteArray(65536, 's')))
            ++written;
        QVERIFY(written < 1024 && testpty::nowNs() - startNs >= 200 * 1000000 && !port->PortOpen());
        QVERIFY2(port->errorText().contains(QStringLiteral("tiempo agotado")), qPrintable(port->errorText()));
    }

    // A line full at a byte's time: the byte waits for room (never lost, never doubled) and the rest follows;
    // a line that takes nothing for the stall limit (and not before) fails and is closed, and the send does not
    // hang on it.
    void fullLineWaitsForRoom_data()
    {
        QTest::addColumn<bool>("roomComes");
        QTest::newRow("room after 300 ms") << true;
        QTest::newRow("no room again") << false;
    }
    void fullLineWaitsForRoom()
    {
        QFETCH(bool, roomComes);
        openAndBuild();
        pty->setPaused(true);
        const int fd = ::open(QFile::encodeName(pty->slavePath()).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
        QVERIFY(fd >= 0);
        // Full once a pause lets the system move nothing more along.
        QByteArray filler;
        for (qsizetype before = -1; before < filler.size(); QThread::msleep(20)) {
            before = filler.size();
            for (ssize_t n = 0; n >= 0; filler += QByteArray(n, 'f'))
                n = ::write(fd, QByteArray(4096, 'f').constData(), 4096);
        }
        ::close(fd);
        port->setStallLimit(1000);
        std::thread room([&] {
            if (roomComes)
                QThread::msleep(300), pty->setPaused(false);
        });
        const qint64 startNs = testpty::nowNs();
        const TxOutcome outcome = sendBuilt();
        const qint64 ms = (testpty::nowNs() - startNs) / 1000000;
        room.join();
        pty->setPaused(false);
        QCOMPARE(outcome, roomComes ? TxOutcome::Completed : TxOutcome::Failed);
        QVERIFY2(roomComes ? ms >= 250 && ms < 1000 : ms >= 1000 && ms < 3000, qPrintable(QString::number(ms)));
        QCOMPARE(pty->settled(), filler + (roomComes ? built->bytes() : QByteArray()));
        QVERIFY(roomComes ? port->PortOpen() : !port->PortOpen() && port->errorText().contains("tiempo agotado"));
    }

    // A network sign that has gone: a batch's write to it is refused with the system's reason, and the
    // program is not ended by SIGPIPE.
    void batchToVanishedNetworkSign()
    {
        platform::WriteBatch batch;
        if (!batch.available())
            QSKIP("this system takes no batch of writes (io_uring)");
        TcpSink sink(QHostAddress(QHostAddress::LocalHost), 1);
        openAndBuild(nullptr, nullptr, QStringLiteral("tcp://127.0.0.1:%1").arg(sink.port));
        std::vector<platform::WriteBatch::Write> writes{{port->batchTarget(), "x", 1}};
        QVERIFY(writes[0].target.handle >= 0);
        for (int i = 0; i < 200 && writes[0].result >= 0; ++i, QThread::msleep(10))
            batch.run(writes);
        QVERIFY2(writes[0].result == -EPIPE || writes[0].result == -ECONNRESET,
                 qPrintable(QString::number(writes[0].result)));
    }

    // The far end goes away while the port is idle: the event loop is not kept busy; the next write fails and
    // closes the port.
    void hangUpWhileIdle()
    {
        openAndBuild();
        QVERIFY(port->Output("A") && pty->waitForBytes(1, 2000));
        pty->hangUp();
        // Socket wake-ups in 200 passes of the program's own idle loop (events once, then 1 ms of sleep): a dead
        // line that keeps waking the loop shows once a pass, however slow or loaded the machine is.
        struct : QObject
        {
            int count = 0;
            bool eventFilter(QObject*, QEvent* e) override { return count += e->type() == QEvent::SockAct, false; }
        } wakeups;
        qApp->installEventFilter(&wakeups);
        for (int i = 0; i < 200; ++i)
            platform::processEventsOnce(), platform::sleepMs(1);
        QVERIFY2(wakeups.count < 10, "the dead line keeps waking the event loop"); // 200 when opened for reading
        QVERIFY(!port->Output("B") && !port->PortOpen() && !port->errorText().isEmpty());
    }

    // Started 120 ms apart with different messages and delays, the two run at once and each keeps its own pacing: no
    // gap shorter than its own delay less the half-millisecond catch-up. A cancel from another thread ends the first
    // with the terminator after the byte in hand; the second completes untouched.
    void twoSendsAtOnce()
    {
        const QByteArray first = transmissionOf({QString(16, u'x'), QString(16, u'y'), QString(16, u'z')});
        const QByteArray second =
            transmissionOf({QStringLiteral("Segundo"), QStringLiteral("otro"), QStringLiteral("tres")});
        SendRun a(first, 0.050, 0.005), b(second, 0.020, 0.002);
        QVERIFY2(a.pty.ok() && b.pty.ok(), qPrintable(a.pty.error() + b.pty.error()));
        a.start(0);
        b.start(120);
        QTRY_VERIFY_WITH_TIMEOUT(a.writes >= 12, 5000);
        a.send.cancel();
        a.thread.join();
        b.thread.join();
        QVERIFY2(a.error.isEmpty() && b.error.isEmpty(), qPrintable(a.error + b.error));
        QCOMPARE(a.outcome, TxOutcome::Cancelled);
        QVERIFY(a.terminated);
        QCOMPARE(b.outcome, TxOutcome::Completed);
        const int sent = a.send.position();
        QVERIFY2(sent >= 12 && sent < first.size() - 2, qPrintable(QString::number(sent)));
        QCOMPARE(a.pty.settled(), first.left(sent) + signproto::Terminator);
        QCOMPARE(b.pty.settled(), second);
        QCOMPARE(b.send.position(), int(second.size()) + 1);
        QVERIFY2(a.shortestCharGapMs() >= 4.5, qPrintable(QString::number(a.shortestCharGapMs())));
        QVERIFY2(b.shortestCharGapMs() >= 1.5, qPrintable(QString::number(b.shortestCharGapMs())));
        // They did run at the same time: the second began before the first had ended.
        QVERIFY(b.writeNs.front() < a.writeNs.back());
    }

    // While one send writes to a port, a second send to the same port is refused at once and writes nothing;
    // the first goes on whole, and the port takes the next send once it is free.
    void aPortTakesOneSendAtATime()
    {
        openAndBuild("25", "02");
        PacedSend second(QByteArray("zz"), 0.010, 0.001);
        TxOutcome secondOutcome = TxOutcome::Completed;
        QCOMPARE(sendBuilt([&] {
                     if (built->position() == 3)
                         secondOutcome = second.run(*port);
                 }),
                 TxOutcome::Completed);
        QCOMPARE(secondOutcome, TxOutcome::Busy);
        QCOMPARE(pty->settled(), built->bytes());
        QCOMPARE(second.run(*port), TxOutcome::Completed);
        QCOMPARE(pty->settled(), built->bytes() + "zz");
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
