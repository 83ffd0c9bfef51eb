// tivor-sign as a real process: fed through its link, on a serial line of its own, on the network, and against
// an endless transmission.
#include "SignDecoder.h"
#include "platform/PseudoTerminal.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <unistd.h>

using testenv::hex;

class TestSignProgram : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    static void startSign(QProcess& p, const QString& link)
    {
        p.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--link", link});
        QTRY_VERIFY(QFileInfo(link).isSymLink());
    }

private slots:
    void init() { testenv::reset(m_dir); }

    // tivor-sign as a process, fed literal bytes through its link: the text it prints, a clean SIGINT.
    void tivorSignEndToEnd()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("cartel"));
        QProcess p;
        startSign(p, link);
        QFile f(link); // any program may write to the link: a message, a cancelled one, a clock and a stray byte
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        f.write(hex("572D4E5439DFE080202020202020484F4C41202020202020C60101 572D4E5439DFE0914142430101"
                    "572D4E5439B0140509051226010178"));
        QString out;
        QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromUtf8(p.readAllStandardOutput())).count(u'\n') >= 8, 10000);
        QStringList lines;
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
            lines << line.trimmed();
        QVERIFY(lines.value(1).startsWith("Enlace: " + link));
        QCOMPARE(lines.mid(2),
                 (QStringList{"Mensaje: 1 paginas, 27 bytes, velocidad Rapida",
                              "Pagina  1  Estatico   pausa 5  |      HOLA      |",
                              "Mensaje: 0 paginas, 13 bytes, velocidad Rapida (con errores: el cartel la descarta)",
                              "Error: registro LLuvia (0x91) cortado por el terminador tras 3 de 16 caracteres",
                              "Hora 14:05:09 Fecha 05/12/26", "Error: byte 0x78 despues del terminador"}));
        QVERIFY(lines.value(0).startsWith(QStringLiteral("Cartel virtual escuchando en /dev/pts/")));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, 0);
        QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link + QStringLiteral(".lock")));
    }

    // tivor-sign on a serial line of its own (--port): what comes down the line is shown; a port that cannot be
    // opened ends it at once with status 1 and the reason.
    void tivorSignOnAPort()
    {
        QProcess missing;
        missing.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--port", m_dir.filePath("nada")});
        QVERIFY(missing.waitForFinished(10000));
        QCOMPARE(QString::number(missing.exitCode()) + u'|' +
                     QString::fromUtf8(missing.readAllStandardError()).section(u':', 0, 1),
                 "1|tivor-sign: no se puede abrir " + m_dir.filePath("nada"));
        int master = -1, slave = -1;
        QString device, error;
        QVERIFY2(openRawPty(&master, &slave, &device, &error), qPrintable(error));
        QProcess sign;
        sign.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--port", device});
        QVERIFY(sign.waitForReadyRead(10000));
        const QByteArray message = hex("572D4E5439DFE080202020202020484F4C41202020202020C60101");
        QCOMPARE(::write(master, message.constData(), size_t(message.size())), ssize_t(message.size()));
        QString out;
        QTRY_VERIFY_WITH_TIMEOUT(
            (out += QString::fromUtf8(sign.readAllStandardOutput())).contains("|      HOLA      |"), 10000);
        QVERIFY2(out.startsWith(QStringLiteral("Cartel virtual escuchando en ") + device), qPrintable(out));
        sign.kill();
        sign.waitForFinished();
        closePtyEnd(master);
        closePtyEnd(slave);
    }

    // tivor-sign as a network sign, fed by tivor-cli over TCP. A client that leaves half a message behind ends it
    // there; one that connected and went quiet for longer than the sign's silence rule does not keep the sender
    // out; the message then comes whole.
    void tivorSignListens()
    {
        QProcess sign;
        sign.start(QStringLiteral(TIVOR_SIGN_PROGRAM), {"--headless", "--listen", "tcp://127.0.0.1:0"});
        QVERIFY(sign.waitForReadyRead(10000));
        const QString where = QString::fromUtf8(sign.readLine()).section(u' ', -1).trimmed();
        QString out;
        const auto seen = [&](const char* text) {
            return (out += QString::fromUtf8(sign.readAllStandardOutput())).contains(text);
        };
        QTcpSocket half, quiet;
        half.connectToHost(QStringLiteral("127.0.0.1"), QUrl(where).port());
        QVERIFY(half.waitForConnected(5000));
        half.write("W-NT9\xDF\xE0\x80      HO");
        half.disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(seen("conexion cerrada"), 10000);
        quiet.connectToHost(QStringLiteral("127.0.0.1"), QUrl(where).port());
        QVERIFY(quiet.waitForConnected(5000));
        QTest::qWait(int(sign::Decoder::SilenceLimitMs) + 500);
        QVERIFY(testenv::writeFile(m_dir.filePath("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
        QCOMPARE(
            QProcess::execute(QStringLiteral(TIVOR_CLI_BINARY), {"send", m_dir.filePath("m.mnm"), "--port", where}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(seen("|      HOLA      |"), 10000);
        QCOMPARE(
            out,
            "Mensaje: 0 paginas, 16 bytes, velocidad Rapida (incompleta: el cartel la descarta)\n"
            "  Error: conexion cerrada dentro de una transmision: se descarta y se espera otro preambulo\n"
            "Mensaje: 1 paginas, 27 bytes, velocidad Rapida\n  Pagina  1  Estatico   pausa 5  |      HOLA      |\n");
        sign.kill();
        sign.waitForFinished();
    }

    // A transmission that never ends (a stuck line, noise) is dropped past twice the cap: the sign stays small
    // and takes the next message. Kept whole, a megabyte of such bytes grew the process by hundreds of MB.
    void endlessTransmissionIsDropped()
    {
        QTemporaryDir dir;
        QProcess p;
        p.setStandardOutputFile(dir.filePath(QStringLiteral("log")));
        startSign(p, dir.filePath(QStringLiteral("cartel")));
        QFile f(dir.filePath(QStringLiteral("cartel")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        f.write(hex("572D4E5439DFE090") + QByteArray(1 << 20, '\x7f'));
        f.write(hex("572D4E5439DFE080202020202020484F4C41202020202020C60101"));
        QTRY_VERIFY_WITH_TIMEOUT(testenv::readFile(dir.filePath(QStringLiteral("log"))).contains("|      HOLA      |"),
                                 20000);
        const QByteArray log = testenv::readFile(dir.filePath(QStringLiteral("log")));
        QVERIFY(
            log.contains("Mensaje: 0 paginas, 16001 bytes, velocidad Rapida (incompleta: el cartel la descarta)\n"));
        QVERIFY(log.contains("  Error: transmision de mas de 16000 bytes: se descarta y se espera otro preambulo\n"
                             "Mensaje: 1 paginas, 27 bytes"));
        const qint64 peakKb = testenv::peakMemoryKb(p.processId());
        QVERIFY2(peakKb > 0 && peakKb < 100 * 1024, qPrintable(QString::number(peakKb)));
        p.kill();
        p.waitForFinished();
    }
};

QTEST_MAIN(TestSignProgram)
#include "tst_sign_program.moc"
