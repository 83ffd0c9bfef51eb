// Transmissions byte for byte through a real pseudo-terminal, their pacing, cancel, failures, and
// "Salida.txt".
#include "link/OutputFile.h"
#include "link/SerialLink.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

using namespace Module1;

namespace
{
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}
QByteArray spaces(int n)
{
    return QByteArray(n, ' ');
}
const QByteArray kHead = hex("57 2D 4E 54 39 DF E0");

// "slot|effect|pause|align|text"
void loadPages(const QStringList& pages)
{
    for (const QString& p : pages) {
        const QStringList f = p.split(u'|');
        const int slot = f[0].toInt();
        PageEffect[slot] = quint8(f[1].toInt());
        PagePause[slot] = quint8(f[2].toInt());
        PageAlign[slot] = quint8(f[3].toInt());
        PageText[slot] = f.mid(4).join(u'|');
    }
}

// The port opened on a fresh pseudo-terminal, as Inicio_COMM would at start-up.
struct Line
{
    testpty::Pty pty;
    MSComm port;
    bool open()
    {
        ComPort = pty.slavePath();
        ComBaud = QStringLiteral("9600");
        return pty.ok() && openComPort(port);
    }
};
} // namespace

class TestTransmission : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        testenv::reset(m_dir);
        resetTransmissionState();
        platform::testing::outputCalls = 0;
        // Texts outside the lists keep the delays at 0: the byte tests run at full speed.
        DY1 = QStringLiteral("0");
        DY2 = QStringLiteral("0");
        AppFolder = m_dir.path();
    }

    void messageBytes_data()
    {
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("HOLA centred Estatico pause 5")
            << QStringList{"1|1|4|2|HOLA"} << hex("80") + spaces(6) + "HOLA" + spaces(6) + hex("C6");
        QTest::newRow("Hora") << QStringList{"1|11|3|2|x"} << hex("A0 A0 A0 A0 A0");
        QTest::newRow("Fecha") << QStringList{"1|12|3|2|x"} << hex("A2 C3");
        QTest::newRow("A\u00F1o Rotacion") << QStringList{"1|0|0|0|A\u00F1o"} << hex("90 41 15 6F");
        QTest::newRow("records across empty slots up to 64, quotes as they are")
            << QStringList{"1|0|0|0|AB", "3|0|0|0|\"C", "64|0|0|0|Z"} << hex("90 41 42 90 22 43 90 5A");
        QTest::newRow("Rotacion sends all 20, fixed width cuts to 16")
            << QStringList{"1|0|0|0|ABCDEFGHIJKLMNOPQRST", "2|1|0|0|ABCDEFGHIJKLMNOPQRST"}
            << hex("90") + "ABCDEFGHIJKLMNOPQRST" + hex("80") + "ABCDEFGHIJKLMNOP" + hex("C2");
        QTest::newRow("pause 9 and 200 from a file are CA")
            << QStringList{"1|1|8|0|a", "2|1|200|0|b"}
            << hex("80 61") + spaces(15) + hex("CA 80 62") + spaces(15) + hex("CA");
        QStringList all;
        QByteArray codes;
        for (int effect = 2; effect <= 10; ++effect) {
            all << QStringLiteral("%1|%1|0|0|0123456789abcdef").arg(effect);
            codes += char(0x8F + effect) + QByteArray("0123456789abcdef") + hex("C2");
        }
        QTest::newRow("effects 2 to 10") << all << codes;
        // Only a damaged file brings these: sent as a static page, never as a record the sign cannot parse.
        QTest::newRow("effects 13 and 255 as Estatico") << QStringList{"1|13|2|0|Hi", "2|255|0|2|Hi"}
            << hex("80 48 69") + spaces(14) + hex("C4 80") + spaces(7) + "Hi" + spaces(7) + hex("C2");
    }

    void messageBytes()
    {
        QFETCH(QStringList, pages);
        QFETCH(QByteArray, body);
        loadPages(pages);
        const QByteArray expected = kHead + body + hex("01 01");

        QVERIFY(buildMessageTransmission());
        QCOMPARE(TxBuffer.toHex(' '), expected.toHex(' '));
        QCOMPARE(TxLength, int(expected.size()));

        Line line;
        QVERIFY(line.open());
        QCOMPARE(sendPaced(line.port), TxOutcome::Completed);
        QCOMPARE(platform::testing::outputCalls, TxLength); // one write per byte
        QVERIFY(line.pty.waitForBytes(int(expected.size()), 3000));
        QCOMPARE(line.pty.bytes().toHex(' '), expected.toHex(' '));
    }

    void lengthCap_data()
    {
        QTest::addColumn<int>("built");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("8000 whole") << 8000 << 8000 << QByteArray("z") + hex("01 01");
        QTest::newRow("8001 cut") << 8001 << 8002 << QByteArray("z") + hex("01 01 01");
    }

    // 63 long Rotacion pages and one that makes up the length wanted.
    void lengthCap()
    {
        QFETCH(int, built);
        QFETCH(int, sent);
        QFETCH(QByteArray, tail);
        for (int slot = 1; slot <= 63; ++slot)
            PageText[slot] = QString(120, u'y');
        PageText[64] = QString(built - 9 - 63 * 121 - 1, u'z');
        QVERIFY(buildMessageTransmission());
        QCOMPARE(TxLength, sent);
        QCOMPARE(TxBuffer.size(), qsizetype(sent));
        QCOMPARE(TxBuffer.right(tail.size()).toHex(' '), tail.toHex(' '));
        QVERIFY(TxBuffer.startsWith(kHead));
    }

    void longStreamWithProgressCount()
    {
        for (int slot = 1; slot <= 64; ++slot)
            PageText[slot] = QString(200, QChar(u'a' + slot % 26));
        QVERIFY(buildMessageTransmission());
        Line line;
        QVERIFY(line.open());
        QList<int> positions, percents;
        QCOMPARE(sendPaced(line.port, [&] { positions << TxPos; percents << TxPercent; }), TxOutcome::Completed);
        QCOMPARE(positions.size(), 8002);
        QCOMPARE(positions.last(), 8002);
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents[3999], 49); // byte 4000
        QCOMPARE(percents[4000], 50); // byte 4001
        QCOMPARE(percents.last(), 100);
        QVERIFY(line.pty.waitForBytes(8002, 5000));
        QCOMPARE(line.pty.bytes(), TxBuffer);
    }

    void dateBytes_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QByteArray>("clock");
        QTest::newRow("09:07:03 1 March 2026") << QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3)) << hex("09 07 03 01 03 26");
        QTest::newRow("23:59:59 31 Dec 2099") << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59))
                                              << hex("23 59 59 31 12 99");
        QTest::newRow("midnight 1 Jan 2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << hex("00 00 00 01 01 00");
    }

    void dateBytes()
    {
        QFETCH(QDateTime, when);
        QFETCH(QByteArray, clock);
        const QByteArray expected = hex("57 2D 4E 54 39 B0") + clock + hex("01 01");
        QVERIFY(buildDateTransmission(when));
        QCOMPARE(TxLength, 14);
        QCOMPARE(TxBuffer.toHex(' '), expected.toHex(' ')); // sent and its progress: tst_datedialog
    }

    // A year before 1000 still gives two digits.
    void clockTextsOfAnOldYear()
    {
        QCOMPARE(clockTextsOf(QDateTime(QDate(999, 1, 2), QTime(3, 4, 5))).year, QStringLiteral("99"));
    }

    // Looked up by exact text; a text outside the lists keeps the previous delay (0 before the first).
    void delays_data()
    {
        QTest::addColumn<QString>("dy1");
        QTest::addColumn<QString>("dy2");
        QTest::addColumn<int>("startMs");
        QTest::addColumn<int>("charMs");
        QTest::newRow("defaults") << "200" << "05" << 200 << 5;
        QTest::newRow("5 is not 05") << "200" << "5" << 200 << 20;
        QTest::newRow("typed 1000 keeps previous") << "1000" << "02" << 300 << 2;
    }

    void delays()
    {
        QFETCH(QString, dy1);
        QFETCH(QString, dy2);
        QFETCH(int, startMs);
        QFETCH(int, charMs);
        DY1 = QStringLiteral("07");
        DY2 = QStringLiteral("x");
        lookUpDelays();
        QCOMPARE(TxDelayStart, 0.0);
        QCOMPARE(TxDelayChar, 0.0);
        DY1 = QStringLiteral("300");
        DY2 = QStringLiteral("20");
        lookUpDelays();
        DY1 = dy1;
        DY2 = dy2;
        PageText[1] = QStringLiteral("a");
        QVERIFY(buildMessageTransmission());
        QCOMPARE(qRound(TxDelayStart * 1000), startMs);
        QCOMPARE(qRound(TxDelayChar * 1000), charMs);
    }

    void estimate()
    {
        QCOMPARE(estimatedSendMs(27, 0.2, 0.005), qint64(1110));
        QCOMPARE(estimatedSendMs(0, 0.2, 0.005), qint64(0));
    }

    // Real delays: no write comes earlier than its delay less 0.5 ms, and the total stays nominal.
    void pacedTiming()
    {
        loadPages({"1|1|4|2|HOLA"});
        DY1 = QStringLiteral("25");
        DY2 = QStringLiteral("02");
        QVERIFY(buildMessageTransmission());
        Line line;
        QVERIFY(line.open());
        QList<qint64> before;
        QList<int> percents;
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendPaced(line.port, [&] { before << testpty::nowNs(); percents << TxPercent; }),
                 TxOutcome::Completed);
        const qint64 totalMs = t.elapsed();
        QCOMPARE(percents.first(), 3);
        QCOMPARE(percents[13], 51);
        QCOMPARE(percents.last(), 100);
        for (int i = 1; i < before.size(); ++i) {
            const qint64 delayNs = (i <= 5 ? 25 : 2) * 1000000;
            QVERIFY2(before[i] - before[i - 1] >= delayNs - 500000,
                     qPrintable(QStringLiteral("gap %1 ns after byte %2").arg(before[i] - before[i - 1]).arg(i)));
        }
        // 5 x 25 + 22 x 2 = 169 ms; the write of each byte is inside its delay (the upper bound only
        // leaves room for a busy machine: the benchmark measures the accuracy).
        QVERIFY2(totalMs >= 168 && totalMs < 169 * 1.5, qPrintable(QString::number(totalMs)));
        QVERIFY(line.pty.waitForBytes(27, 2000));
        const auto rx = line.pty.received();
        const double spanMs = (rx.back().ns - rx.front().ns) / 1e6;
        QVERIFY2(spanMs > 160 && spanMs < 169 * 1.5, qPrintable(QString::number(spanMs)));
    }

    // The cancel request comes in through the event pass of a wait, like a click on "Cancelar".
    void cancelDuringPreamble()
    {
        loadPages({"1|1|4|2|HOLA"});
        DY1 = QStringLiteral("50");
        DY2 = QStringLiteral("01");
        QVERIFY(buildMessageTransmission());
        Line line;
        QVERIFY(line.open());
        QTimer::singleShot(75, [] { TxCancel = true; });
        qint64 lastByteNs = 0;
        QCOMPARE(sendPaced(line.port, [&] { lastByteNs = testpty::nowNs(); }), TxOutcome::Cancelled);
        // The byte in hand keeps its whole wait before the terminator.
        QVERIFY(testpty::nowNs() - lastByteNs >= 49500000);
        const int sent = TxPos;
        QVERIFY2(sent >= 1 && sent <= 4, qPrintable(QString::number(sent)));
        QVERIFY(sendTerminator(line.port));
        QVERIFY(line.pty.waitForBytes(sent + 2, 2000));
        QTest::qWait(20);
        QCOMPARE(line.pty.bytes(), TxBuffer.left(sent) + hex("01 01"));
        const auto rx = line.pty.received();
        QCOMPARE(rx[sent].ns, rx[sent + 1].ns); // both terminator bytes in one write
    }

    // The far end goes away mid-send: failed at once, the port closed, no terminator, no busy CPU.
    void hangUpMidSend()
    {
        loadPages({"1|0|0|0|" + QString(200, u'h')});
        DY1 = QStringLiteral("10");
        DY2 = QStringLiteral("01");
        QVERIFY(buildMessageTransmission());
        Line line;
        QVERIFY(line.open());
        line.pty.hangUpAfter(20);
        const qint64 cpu0 = testpty::cpuNs();
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendPaced(line.port), TxOutcome::Failed);
        QVERIFY2(TxPos > 20 && TxPos < TxLength, qPrintable(QString::number(TxPos)));
        QVERIFY(t.elapsed() < 500);
        QVERIFY(!line.port.PortOpen());
        QVERIFY(!sendTerminator(line.port));
        QTest::qWait(300); // events run as in the program: no error storm
        const qint64 cpuMs = (testpty::cpuNs() - cpu0) / 1000000;
        QVERIFY2(cpuMs < 200, qPrintable(QStringLiteral("CPU %1 ms").arg(cpuMs)));
        const QByteArray got = line.pty.bytes();
        QVERIFY(got.size() >= 20 && got.size() < TxPos);
        QCOMPARE(got, TxBuffer.left(got.size()));
    }

    void portNotOpen()
    {
        PageText[1] = QStringLiteral("a");
        QVERIFY(buildMessageTransmission());
        MSComm port;
        QList<int> positions;
        QCOMPARE(sendPaced(port, [&] { positions << TxPos; }), TxOutcome::Failed);
        QCOMPARE(positions, QList<int>{1});
    }

    void oneTransmissionAtATime()
    {
        PageText[1] = QStringLiteral("a");
        QVERIFY(buildMessageTransmission());
        const QByteArray built = TxBuffer;
        Line line;
        QVERIFY(line.open());
        QList<TxOutcome> nested;
        bool rebuilt = true;
        const TxOutcome outcome = sendPaced(line.port, [&] {
            if (TxPos == 2) {
                QVERIFY(transmissionRunning());
                nested << sendPaced(line.port);
                rebuilt = buildDateTransmission(QDateTime::currentDateTime());
            }
        });
        QCOMPARE(outcome, TxOutcome::Completed);
        QCOMPARE(nested, QList<TxOutcome>{TxOutcome::Busy});
        QVERIFY(!rebuilt);
        QCOMPARE(TxBuffer, built);
        QVERIFY(!transmissionRunning());
        QVERIFY(line.pty.waitForBytes(built.size(), 2000));
        QTest::qWait(20);
        QCOMPARE(line.pty.bytes(), built);
    }

    // An installed program's folder cannot be written: the file goes to the user's data folder.
    void salidaFallsBackToDataFolder()
    {
        PageText[1] = QStringLiteral("x");
        QVERIFY(buildMessageTransmission());
        const QString blocker = m_dir.filePath(QStringLiteral("not-a-folder"));
        QVERIFY(testenv::writeFile(blocker, "file"));
        AppFolder = blocker + QStringLiteral("/bin");
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QFile::remove(QDir(dataDir).filePath(QStringLiteral("Salida.txt")));
        const QString path = writeSalida();
        QCOMPARE(path, QDir(dataDir).filePath(QStringLiteral("Salida.txt")));
        QCOMPARE(testenv::readFile(path), '"' + TxBuffer + "\"\r\n");
        QFile::remove(path);
    }

    // A write that fails half-way (here: a file-size limit, which even root meets) reports failure
    // and leaves the previous file as it was, in both folders.
    void salidaFailedWriteKeepsOldFile()
    {
        PageText[1] = QString(3000, u'x');
        QVERIFY(buildMessageTransmission());
        const QString path = QDir(m_dir.path()).filePath(QStringLiteral("Salida.txt"));
        const QByteArray old(20000, 'o');
        QVERIFY(testenv::writeFile(path, old));
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        const QString fallback = QDir(dataDir).filePath(QStringLiteral("Salida.txt"));
        QDir().mkpath(dataDir);
        QVERIFY(testenv::writeFile(fallback, old));

        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const QString written = writeSalida(&error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY2(written.isEmpty(), qPrintable(written));
        QVERIFY(!error.isEmpty());
        QCOMPARE(testenv::readFile(path), old);
        QCOMPARE(testenv::readFile(fallback), old);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("Salida")),
                 QStringList{QStringLiteral("Salida.txt")});
        QFile::remove(fallback);
    }
};

QTEST_MAIN(TestTransmission)
#include "tst_transmission.moc"
