// tivor-cli sending as a real process: one sender per device, many signs at once, ending a send by a
// signal, and the network signs' servers that misbehave.
#include "support/CliKit.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <limits>
#include <map>

using testenv::row;

class TestCliSend : public CliTest
{
    Q_OBJECT
private slots:
    // One sign, one sender: while one tivor-cli sends, a second one reaching the same device by its other
    // name is refused and told which process holds it; the sign gets the first message whole.
    void oneSenderPerDevice_data()
    {
        QTest::addColumn<bool>("linkFirst");
        QTest::newRow("link, then the device path") << true;
        QTest::newRow("device path, then a link") << false;
    }
    void oneSenderPerDevice()
    {
        QFETCH(bool, linkFirst);
        const QString link = path("cartel");
        QVERIFY(QFile::link(pty->slavePath(), link));
        const QString second = linkFirst ? pty->slavePath() : link;
        start({"send", path("hola.mnm"), "--port", linkFirst ? link : pty->slavePath(), "--dy1", "500", "--dy2", "90"});
        QVERIFY(pty->waitForBytes(1, 5000));
        QProcess refused;
        refused.setProcessEnvironment(process.processEnvironment());
        refused.start(TIVOR_CLI_BINARY, {"send", path("hola.mnm"), "--port", second});
        QVERIFY(refused.waitForFinished(20000));
        QCOMPARE(QString::number(refused.exitCode()) + u'|' + QString::fromUtf8(refused.readAllStandardError()),
                 QStringLiteral("4|tivor-cli: %1: no se pudo abrir el puerto serie (%1: el puerto esta en uso por el "
                                "proceso %2 (tivor-cli))\n")
                     .arg(second)
                     .arg(process.processId()));
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(pty->bytes(), kHola);
    }

    // Several signs at once, each paced on its own (its k-th byte not before the sum of the k delays before
    // it, counted from the start) and side by side (every first byte before any last one); every port named
    // gets every byte; a port that cannot be opened, or a sign that hangs up after 3 bytes (lower case: it got
    // the start, %k bytes by the report), does not stop the others, and the lines and the status say which. (A
    // port that cannot be opened alone is in oneSenderPerDevice.)
    void manySigns_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("portsFile");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("reached");
        row("three --port", "--port %A --port %B --port %C", "", "0||", "ABC");
        row("ports file with comments, a port twice", "--ports-file %1/carteles.txt --port %C",
            "# tienda\n\n  %A \r\n\t# %B\n%C\n", "0||", "AC");
        row("a missing port among good ones", "--port %A --port %1/nada --port %B", "",
            "4||tivor-cli: %A: enviado; 27 de 27 bytes enviados\ntivor-cli: %1/nada: no se pudo abrir el puerto serie "
            "(%1/nada: No such file or directory); 0 de 27 bytes enviados\ntivor-cli: %B: enviado; 27 de 27 bytes "
            "enviados\n",
            "AB");
        row("a sign hangs up mid-send", "--port %A --port %B --port %C", "",
            "5||tivor-cli: %A: enviado; 27 de 27 bytes enviados\ntivor-cli: %B: Error #22, No se envio el Mensaje "
            "(Input/output error); %k de 27 bytes enviados\ntivor-cli: %C: enviado; 27 de 27 bytes enviados\n",
            "AbC");
        row("the only sign hangs up mid-send", "--port %B", "",
            "5||tivor-cli: %B: Error #22, No se envio el Mensaje: %k de 27 bytes enviados (Input/output error)\n", "b");
        // One sign by two names (a link, the device itself) is one sign: it gets the message once.
        row("a sign and its link", "--port %A --port %1/cartel", "", "0||", "A");
        row("a link in a ports file, its sign by --port", "--ports-file %1/carteles.txt --port %B --port %A",
            "%1/cartel\n", "0||", "AB");
    }
    void manySigns()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, portsFile);
        QFETCH(QString, expected);
        QFETCH(QString, reached);
        testpty::Pty b, c;
        const std::map<char, testpty::Pty*> signs{{'A', pty.get()}, {'B', &b}, {'C', &c}};
        const auto fill = [&](QString text) {
            for (const auto& [name, sign] : signs)
                text.replace(QStringLiteral("%") + QLatin1Char(name), sign->slavePath());
            return text.replace(QStringLiteral("%1"), dir->path());
        };
        if (!portsFile.isEmpty())
            QVERIFY(testenv::writeFile(path("carteles.txt"), fill(portsFile).toUtf8()));
        QVERIFY(QFile::link(pty->slavePath(), path("cartel")));
        b.hangUpAfter(reached.contains(u'b') ? 3 : -1);
        const qint64 startNs = testpty::nowNs();
        const QString got =
            run(QStringList{"send", path("hola.mnm"), "--dy1", "100", "--dy2", "01"} + fill(arguments).split(u' '));
        const auto told = QRegularExpression(QRegularExpression::anchoredPattern(
                                                 QRegularExpression::escape(fill(expected))
                                                     .replace(QStringLiteral("\\%k"), QStringLiteral("(\\d+)"))))
                              .match(got);
        QVERIFY2(told.hasMatch(), qPrintable(got));
        qint64 lastFirst = 0, firstLast = std::numeric_limits<qint64>::max();
        for (const auto& [name, sign] : signs) {
            QVERIFY(sign->settle());
            const QByteArray wire = sign->bytes();
            const bool cut = reached.contains(QChar(QLatin1Char(name)).toLower());
            QCOMPARE(wire, reached.contains(QLatin1Char(name)) ? kHola : cut ? kHola.left(wire.size()) : QByteArray());
            QVERIFY2(!cut ||
                         (wire.size() >= 3 && wire.size() <= told.captured(1).toInt() && told.captured(1).toInt() < 27),
                     qPrintable(QStringLiteral("%1 bytes got, %2 reported").arg(wire.size()).arg(told.captured(1))));
            const auto times = sign->received();
            for (int k = 1; k < int(times.size()); ++k)
                QVERIFY2(times[size_t(k)].ns - startNs >= (std::min(k, 5) * 100 + std::max(k - 5, 0) - 1) * 1000000,
                         qPrintable(QStringLiteral("%1, byte %2").arg(QLatin1Char(name)).arg(k)));
            if (!times.empty() && !cut)
                lastFirst = std::max(lastFirst, times.front().ns), firstLast = std::min(firstLast, times.back().ns);
        }
        QVERIFY(lastFirst < firstLast);
        // A name cut at its NUL used to leave the serial library's lock file for "x" behind.
        QVERIFY(!QFile::exists(QStringLiteral("/var/lock/LCK..x")));
    }

    // Like "Cancelar": the byte in hand is finished, then 01 01 in one write, status 130; on every sign at once.
    // A closing terminal sends SIGHUP twice (the kernel, then the shell), a logout SIGTERM and then SIGHUP.
    void cancelBySignal_data()
    {
        QTest::addColumn<QList<int>>("signalsSent");
        QTest::addColumn<int>("signs");
        QTest::newRow("SIGINT") << QList<int>{SIGINT} << 1;
        QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << 1;
        QTest::newRow("SIGHUP") << QList<int>{SIGHUP} << 1;
        QTest::newRow("SIGQUIT") << QList<int>{SIGQUIT} << 1;
        QTest::newRow("SIGHUP twice") << QList<int>{SIGHUP, SIGHUP} << 1;
        QTest::newRow("SIGTERM, then SIGHUP") << QList<int>{SIGTERM, SIGHUP} << 1;
        QTest::newRow("SIGINT, three signs") << QList<int>{SIGINT} << 3;
        QTest::newRow("SIGHUP, three signs") << QList<int>{SIGHUP} << 3;
        // 0 signs: one rfc2217:// sign that accepts and never answers, still connecting when the signal comes.
        QTest::newRow("SIGINT while connecting") << QList<int>{SIGINT} << 0;
        QTest::newRow("SIGTERM while connecting") << QList<int>{SIGTERM} << 0;
    }
    void cancelBySignal()
    {
        QFETCH(QList<int>, signalsSent);
        QFETCH(int, signs);
        testpty::Pty more[2];
        std::vector<testpty::Pty*> lines{pty.get(), &more[0], &more[1]};
        lines.resize(size_t(signs));
        QStringList arguments{"send", path("hola.mnm"), "--dy1", "500"};
        for (testpty::Pty* line : lines)
            arguments << (signs > 1 ? QStringList{"--port", line->slavePath()} : QStringList());
        QTcpServer silent;
        QVERIFY(signs > 0 || silent.listen(QHostAddress::LocalHost));
        start(arguments << (signs > 0
                                ? QStringList()
                                : QStringList{"--port",
                                              QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort())}));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(signs > 0 || silent.waitForNewConnection(5000));
        for (testpty::Pty* line : lines) // every sign, not only the first, has its second byte
            QVERIFY(line->waitForBytes(2, 5000));
        for (int signal : signalsSent)
            ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, 130);
        QVERIFY2(signs > 0 || clock.elapsed() < 2000,
                 qPrintable(QString::number(clock.elapsed()))); // not the 3 s limit
        QString expected =
            signs > 0 ? QString() : QStringLiteral("tivor-cli: Mensaje cancelado antes de enviar: no se envio nada\n");
        for (testpty::Pty* line : lines) {
            line->waitForBytes(4, 2000);
            const QByteArray wire = line->bytes();
            const int sent = int(wire.size()) - 2;
            QVERIFY2(sent == 2 || sent == 3, wire.toHex(' ').constData());
            QCOMPARE(wire, kHola.left(sent) + "\x01\x01");
            QCOMPARE(line->received().back().ns, line->received()[sent].ns);
            expected +=
                signs == 1 ? QStringLiteral("tivor-cli: Mensaje Cancelado... %1 de 27 bytes enviados, y el fin 01 01\n")
                                 .arg(sent)
                           : QStringLiteral("tivor-cli: %1: Mensaje Cancelado..., y el fin 01 01; %2 de 27 bytes "
                                            "enviados\n")
                                 .arg(line->slavePath())
                                 .arg(sent);
        }
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()), expected);
        QVERIFY(signs > 0 || pty->bytes().isEmpty());
    }

    // Signs behind RFC 2217 servers, all at once (each wait is the client's own 3 s), and what each server
    // heard: one that agrees and confirms the speed gets the negotiation, the line set with RTS and DTR off
    // (said twice: opening the link, then the port), then the message; one that refuses the COM port option,
    // one that never answers, one that never confirms the speed, and one whose listen queue is full (the
    // connection never completes) fail with their reason, status 4, and no message sent.
    void rfc2217Servers()
    {
        // In hex: the client's greeting, then the line at 19200 8N1 without flow control.
        const QByteArray greeting = "fffb2cfffb00fffd00";
        const QByteArray line = "fffa2c0100004b00fff0fffa2c0208fff0fffa2c0301fff0fffa2c0401fff0fffa2c0501fff0";
        struct Server
        {
            const char* says; // to the client's first bytes; null: the server never accepts
            bool confirms;    // answers the baud rate command
            QString reason;
            QByteArray heard; // a pattern of hex digits
            QByteArray got{};
            QTcpServer listener{};
            QProcess cli{};
        } servers[] = {
            {"fffd2c fffd00 fffb00", true, "", greeting + line + "(fffa2c050cfff0fffa2c0509fff0)+" + kHola.toHex()},
            {"fffe2c fffe00", false, "el servidor no acepta la opcion de puerto serie (RFC 2217)", greeting},
            {"", false, "el servidor no respondio a la opcion de puerto serie (RFC 2217)", greeting},
            {"fffd2c fffa2c6608fff0", false, "el servidor no confirmo la velocidad (RFC 2217)", greeting + line},
            {nullptr, false, "sin respuesta en 3 s (tiempo agotado)", ""},
        };
        QTcpSocket queued; // fills the queue of the server that never accepts: the kernel drops the next SYN
        for (Server& server : servers) {
            server.listener.setListenBacklogSize(server.says ? 50 : 0);
            server.listener.setMaxPendingConnections(server.says ? 30 : 0);
            QVERIFY(server.listener.listen(QHostAddress::LocalHost));
            QVERIFY(server.says || (queued.connectToHost(QHostAddress::LocalHost, server.listener.serverPort()),
                                    queued.waitForConnected(5000)));
            QObject::connect(&server.listener, &QTcpServer::newConnection, &server.listener, [&server] {
                QTcpSocket* s = server.listener.nextPendingConnection();
                QObject::connect(s, &QTcpSocket::readyRead, s, [&server, s, &got = server.got] {
                    if (got.isEmpty())
                        s->write(QByteArray::fromHex(server.says));
                    got += s->readAll();
                    const qsizetype baud = got.indexOf("\xff\xfa\x2c\x01");
                    if (server.confirms && baud >= 0 && got.size() >= baud + 10) {
                        server.confirms = false; // once, with the rate it was given
                        s->write("\xff\xfa\x2c\x65" + got.mid(baud + 4, 4) + "\xff\xf0");
                    }
                });
            });
            const QString port = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.listener.serverPort());
            server.reason = server.reason.isEmpty()
                                ? "0||"
                                : "4||tivor-cli: " + port + ": no se pudo conectar con el cartel (" + port + ": " +
                                      server.reason + ")\n";
            server.cli.setProcessEnvironment(environment());
            server.cli.start(TIVOR_CLI_BINARY, {"send", path("hola.mnm"), "--dy1", "10", "--dy2", "01", "--baud",
                                                "19200", "--port", port});
        }
        for (Server& server : servers) {
            QTRY_COMPARE_WITH_TIMEOUT(server.cli.state(), QProcess::NotRunning, 20000);
            QCOMPARE(QString::number(server.cli.exitCode()) + u'|' +
                         QString::fromUtf8(server.cli.readAllStandardOutput()) + u'|' +
                         QString::fromUtf8(server.cli.readAllStandardError()),
                     server.reason);
            const QRegularExpression expected(QRegularExpression::anchoredPattern(QString::fromLatin1(server.heard)));
            QTRY_VERIFY2(expected.match(QString::fromLatin1(server.got.toHex())).hasMatch(),
                         server.got.toHex().constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestCliSend)
#include "tst_cli_send.moc"
