// tivor-cli send and clock run as real processes over a pseudo-terminal: the bytes on the wire, the
// stored settings, cancelling by SIGINT and SIGTERM, port and transmission failures, the progress bar.
#include "support/CliProcess.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// The one-page worked example: HOLA, "Estatico", centred, pause "5".
const QByteArray holaFile = "1,4,2,\"HOLA\"\r\n";
const QByteArray holaTx = QByteArray::fromHex("572D4E5439DFE0" "80" "202020202020" "484F4C41" "202020202020" "C6" "0101");

// Standard error of the child goes to the terminal `path` instead of a pipe.
std::function<void(QProcess&)> stderrOnTerminal(const QString& path)
{
    const QByteArray device = QFile::encodeName(path);
    return [device](QProcess& p) {
        p.setChildProcessModifier([device] {
            const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY);
            if (fd >= 0)
                ::dup2(fd, STDERR_FILENO);
        });
    };
}
} // namespace

class TstCliSend : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<testpty::Pty> pty;

    QString path(const QString& name) const { return dir->filePath(name); }
    QString config() const { return dir->filePath(QStringLiteral("config")); }
    clitest::Result cli(const QStringList& arguments, const std::function<void(QProcess&)>& setup = {})
    {
        return clitest::run(arguments, config(), setup);
    }
    // Fast delays, so a test sends in a few tens of milliseconds.
    QStringList fast() const { return {"--port", pty->slavePath(), "--dy1", "10", "--dy2", "01"}; }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        clitest::keepDescriptorsFromChildren();
        QVERIFY(testenv::writeFile(path("hola.mnm"), holaFile));
    }

    // Options go over the stored settings, which are read and never written.
    void sendWritesTheTransmissionToThePort()
    {
        QVERIFY(clitest::writeSettings(config(), {{"COM/Port", "/dev/nada"}, {"PGM/DY1", "500"}, {"PGM/DY2", "90"}}));
        const QByteArray settings = testenv::readFile(config() + QStringLiteral("/Tivor/Tivor.conf"));
        QElapsedTimer clock;
        clock.start();
        const auto r = cli(QStringList{"send", path("hola.mnm")} + fast());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err, QByteArray()); // no progress when standard error is not a terminal
        QVERIFY(pty->waitForBytes(27, 2000));
        QCOMPARE(pty->bytes().toHex(' '), holaTx.toHex(' '));
        QVERIFY2(clock.elapsed() < 2000, "the stored 500/90 ms delays were used");
        QCOMPARE(testenv::readFile(config() + QStringLiteral("/Tivor/Tivor.conf")), settings);
    }

    void sendTakesPortAndDelaysFromTheStoredSettings()
    {
        QVERIFY(clitest::writeSettings(config(), {{"COM/Port", pty->slavePath()}, {"COM/Baud", "19200"},
                                                  {"PGM/DY1", "50"}, {"PGM/DY2", "10"}}));
        const qint64 startNs = testpty::nowNs();
        const auto r = cli({"send", path("hola.mnm")});
        QCOMPARE(r.status, 0);
        QVERIFY(pty->waitForBytes(27, 2000));
        QCOMPARE(pty->bytes(), holaTx);
        // The stored delays were used: the last byte cannot arrive before the sum of the waits ahead of it.
        const qint64 lastMs = (pty->received().back().ns - startNs) / 1000000;
        QVERIFY2(lastMs >= 5 * 50 + 21 * 10, qPrintable(QString::number(lastMs)));
    }

    void cancelBySignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    // Like "Cancelar": the byte in hand is finished, then 0x01 0x01 at once, status 130.
    void cancelBySignal()
    {
        QFETCH(int, signal);
        QProcess process;
        process.setProcessEnvironment(clitest::environment(config()));
        process.start(clitest::binary(), {"send", path("hola.mnm"), "--port", pty->slavePath(), "--dy1", "500"});
        QVERIFY(process.waitForStarted());
        QVERIFY(pty->waitForBytes(2, 5000));
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);

        pty->waitForBytes(4, 2000); // the reader may still be taking the terminator in
        const QByteArray wire = pty->bytes();
        QVERIFY2(wire.size() == 4 || wire.size() == 5, wire.toHex(' ').constData()); // 2 or 3 bytes, then 01 01
        const int sent = int(wire.size()) - 2;
        QCOMPARE(wire, holaTx.left(sent) + QByteArray("\x01\x01"));
        // The terminator goes out in one write, its two bytes back to back.
        const auto got = pty->received();
        QVERIFY((got.back().ns - got[got.size() - 2].ns) < 50 * 1000000);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QStringLiteral("tivor-cli: Mensaje Cancelado... %1 de 27 bytes enviados, y el fin 01 01\n").arg(sent));
    }

    // A device that is not there, and one whose lock another program holds.
    void portThatCannotBeOpened()
    {
        QSerialPort holder(pty->slavePath());
        for (const QString& port : {path("no-hay-puerto"), pty->slavePath()}) {
            QVERIFY2(port != pty->slavePath() || holder.open(QIODevice::WriteOnly), qPrintable(holder.errorString()));
            const auto r = cli({"send", path("hola.mnm"), "--port", port, "--dy1", "10", "--dy2", "01"});
            QCOMPARE(r.status, 4);
            QVERIFY2(clitest::errorLine(r).startsWith(
                         QStringLiteral("tivor-cli: %1: no se pudo abrir el puerto serie (").arg(port)),
                     r.err.constData());
        }
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void portGoneDuringTheTransmission()
    {
        // A second of sending at 1 ms a byte: the hang-up comes long before the end even on a busy machine
        // (until the reader takes the bytes in, the terminal's buffer accepts every write).
        QVERIFY(testenv::writeFile(path("largo.mnm"), "0,0,0,\"" + QByteArray(1000, 'h') + "\"\r\n"));
        pty->hangUpAfter(20);
        const auto r = cli(QStringList{"send", path("largo.mnm")} + fast());
        QCOMPARE(r.status, 5);
        // The reader hangs up once it has 20 bytes; a late read may take a few more in one go.
        const QByteArray wire = pty->bytes();
        QVERIFY2(wire.size() >= 20 && wire.size() < 1010, qPrintable(QString::number(wire.size())));
        QCOMPARE(wire, (QByteArray("W-NT9\xdf\xe0\x90") + QByteArray(1000, 'h')).left(wire.size()));
        QVERIFY2(clitest::errorLine(r).startsWith(QStringLiteral("tivor-cli: %1: Error #22, No se envio el Mensaje: ")
                                                      .arg(pty->slavePath())),
                 r.err.constData());
        QVERIFY2(clitest::errorLine(r).contains(QStringLiteral(" de 1010 bytes enviados (")), r.err.constData());
    }

    void refusedValues_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("storedDY2");
        QTest::addColumn<QString>("message");
        const QString dy2List = "01, 02, 05, 10, 20, 30, 40, 50, 60, 70, 80, 90";
        QTest::newRow("--dy2 not written as listed") << QStringList{"--dy2", "5"} << ""
                                                     << "tivor-cli: --dy2 '5' no es una demora aceptada; use una de: " + dy2List;
        QTest::newRow("stored DY2 not in the list") << QStringList{} << "07"
                                                    << "tivor-cli: el valor guardado DY2 '07' no es una demora aceptada; "
                                                       "use una de: " + dy2List;
        QTest::newRow("--baud not a number") << QStringList{"--baud", "rapido"} << ""
                                             << "tivor-cli: --baud 'rapido' no es una velocidad valida";
        QTest::newRow("--port empty") << QStringList{"--port="} << ""
                                      << "tivor-cli: --port vacio: indique un numero de puerto o un dispositivo";
    }

    void refusedValues()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, storedDY2);
        QFETCH(QString, message);
        QVERIFY(clitest::writeSettings(config(), {{"COM/Port", pty->slavePath()},
                                                  {"PGM/DY2", storedDY2.isEmpty() ? "05" : storedDY2}}));
        const auto r = cli(QStringList{"send", path("hola.mnm")} + arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(clitest::errorLine(r), message);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void aFileThatFailsSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        // The second record is broken: the first must not reach the sign either.
        QTest::newRow("broken second record") << QByteArray("1,4,2,\"HOLA\"\r\n1,4,\"x\"\r\n")
                                              << "no es un archivo de mensajes valido";
        QTest::newRow("no page with text") << QByteArray("") << "Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)";
    }

    void aFileThatFailsSendsNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QVERIFY(testenv::writeFile(path("malo.mnm"), content));
        const auto r = cli(QStringList{"send", path("malo.mnm")} + fast());
        QCOMPARE(r.status, 3);
        QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: %1: %2").arg(path("malo.mnm"), reason));
        QTest::qWait(50);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void clockSendsTheGivenMomentInBcd()
    {
        const auto r = cli(QStringList{"clock", "--ahora", "2026-03-01T09:07:03"} + fast());
        QCOMPARE(r.status, 0);
        QVERIFY(pty->waitForBytes(14, 2000));
        QCOMPARE(pty->bytes().toHex(' '), QByteArray("57 2d 4e 54 39 b0 09 07 03 01 03 26 01 01"));
    }

    void clockSendsTheComputersTime()
    {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const auto r = cli(QStringList{"clock"} + fast());
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        QCOMPARE(r.status, 0);
        QVERIFY(pty->waitForBytes(14, 2000));
        const QByteArray wire = pty->bytes();
        QCOMPARE(wire.size(), 14);
        QCOMPARE(wire.left(6), QByteArray("W-NT9\xb0"));
        QCOMPARE(wire.right(2), QByteArray("\x01\x01"));
        // Six BCD bytes, hour to year of the century: in hexadecimal they read as the decimal digits.
        const QString digits = QString::fromLatin1(wire.mid(6, 6).toHex());
        const QDateTime sent = QDateTime::fromString(digits, QStringLiteral("HHmmssddMMyy")).addYears(100);
        QVERIFY2(sent >= before && sent <= after, qPrintable(digits));
    }

    void progressBarOnATerminal()
    {
        testpty::Pty terminal;
        QVERIFY2(terminal.ok(), qPrintable(terminal.error()));
        clitest::keepDescriptorsFromChildren();
        const auto r = cli(QStringList{"send", path("hola.mnm")} + fast(), stderrOnTerminal(terminal.slavePath()));
        QCOMPARE(r.status, 0);
        QVERIFY(pty->waitForBytes(27, 2000));
        QVERIFY(terminal.waitForBytes(10, 2000));
        QTest::qWait(100);
        const QString shown = QString::fromUtf8(terminal.bytes());
        QVERIFY2(shown.startsWith(QStringLiteral("\r[")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("[##############################] 100% 27/27 bytes, quedan 0:01 ")),
                 qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("  3% 1/27 bytes, quedan 0:01 ")), qPrintable(shown));
        QVERIFY2(shown.endsWith(QLatin1Char('\n')), qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(TstCliSend)
#include "tst_cli_send.moc"
