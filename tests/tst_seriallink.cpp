// The serial link over a real pseudo-terminal: opening from the settings, Error #03, flushed writes,
// a far end that hangs up.
#include "link/SerialLink.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <thread>
#include <time.h>

namespace
{
qint64 cpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Runs events for `ms` milliseconds the way the program's loop would.
void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        platform::processEventsOnce();
        platform::sleepMs(1);
    }
}
} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        testenv::reset(m_dir);
        platform::testing::outputCalls = 0;
        Module1::ComPort = QStringLiteral("2");
        Module1::ComBaud = QStringLiteral("9600");
    }

    void panelText_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("panel");
        QTest::newRow("defaults") << "2" << "9600" << "COM2: 9600";
        QTest::newRow("two digits kept as typed") << "12" << "14400" << "COM12: 14400";
        QTest::newRow("path") << "/dev/ttyUSB0" << "9600" << "/dev/ttyUSB0: 9600";
        QTest::newRow("device name") << "ttyACM0" << "19200" << "ttyACM0: 19200";
    }

    void panelText()
    {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        QFETCH(QString, panel);
        QCOMPARE(comPanelText(port, baud), panel);
    }

    void deviceNames_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("first port") << "1" << "/dev/ttyS0";
        QTest::newRow("default") << "2" << "/dev/ttyS1";
        QTest::newRow("leading zero") << "02" << "/dev/ttyS1";
        QTest::newRow("no port 0") << "0" << "";
        QTest::newRow("path as it is") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("mixed text is a name") << "2a" << "2a";
    }

    void deviceNames()
    {
        QFETCH(QString, port);
        QFETCH(QString, device);
        QCOMPARE(MSComm::deviceNameFor(port), device);
    }

    void opensPtyAndWritesFlushedBytes()
    {
        testpty::Pty pty;
        QVERIFY2(pty.ok(), qPrintable(pty.error()));
        Module1::ComPort = pty.slavePath();
        MSComm port;
        QStringList panel;
        Inicio_COMM(port, nullptr, [&](const QString& t) { panel << t; });
        QVERIFY(testenv::noUnexpectedPrompts());
        QCOMPARE(platform::testing::shownBoxes.size(), 0);
        QCOMPARE(panel, QStringList{pty.slavePath() + QStringLiteral(": 9600")});
        QVERIFY(port.PortOpen());
        QCOMPARE(Module1::comSettings, QStringLiteral("9600,N,8,1"));

        // No event loop runs here: the bytes must leave inside Output itself.
        const QByteArray bytes("W-NT9\xDF\xE0\x01\x0A\x0D\x1A\xFF", 12);
        for (char b : bytes)
            QVERIFY(port.Output(QByteArray(1, b)));
        QVERIFY(pty.waitForBytes(bytes.size(), 2000));
        QCOMPARE(pty.bytes(), bytes);
    }

    void reopensWithNewSettings()
    {
        testpty::Pty first, second;
        QVERIFY(first.ok() && second.ok());
        Module1::ComPort = first.slavePath();
        MSComm port;
        QString panel;
        auto setPanel = [&](const QString& t) { panel = t; };
        Inicio_COMM(port, nullptr, setPanel);
        QVERIFY(port.Output("a"));

        Module1::ComPort = second.slavePath();
        Module1::ComBaud = QStringLiteral("19200");
        Inicio_COMM(port, nullptr, setPanel);
        QCOMPARE(panel, second.slavePath() + QStringLiteral(": 19200"));
        QVERIFY(port.Output("b"));
        QVERIFY(second.waitForBytes(1, 2000));
        QTest::qWait(20);
        QCOMPARE(first.bytes(), QByteArray("a"));
        QCOMPARE(second.bytes(), QByteArray("b"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void error03_data()
    {
        QTest::addColumn<QString>("comPort");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("missing device") << "/dev/tivor-no-such-port" << "9600" << "/dev/tivor-no-such-port";
        QTest::newRow("absent numbered port") << "99" << "9600" << "/dev/ttyS98";
        QTest::newRow("port 0") << "0" << "9600" << "\"0\"";
        QTest::newRow("empty port text") << "" << "9600" << "\"\"";
        QTest::newRow("baud not a number") << "PTY" << "abc" << "\"abc\"";
        QTest::newRow("baud empty") << "PTY" << "" << "\"\"";
        QTest::newRow("baud zero") << "PTY" << "0" << "\"0\"";
        QTest::newRow("baud negative") << "PTY" << "-9600" << "\"-9600\"";
        QTest::newRow("baud fraction") << "PTY" << "9600.5" << "\"9600.5\"";
    }

    void error03()
    {
        QFETCH(QString, comPort);
        QFETCH(QString, baud);
        QFETCH(QString, reasonPart);
        testpty::Pty pty;
        QVERIFY(pty.ok());
        Module1::ComPort = comPort == u"PTY" ? pty.slavePath() : comPort;
        Module1::ComBaud = baud;

        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        MSComm port;
        int panelCalls = 0;
        Inicio_COMM(port, nullptr, [&](const QString&) { ++panelCalls; });

        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie\rEl puerto ya esta usandose "));
        QCOMPARE(box.title, QStringLiteral("Puerto Serie"));
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY2(box.detail.contains(reasonPart), qPrintable(box.detail));
        QCOMPARE(panelCalls, 0);
        QVERIFY(!port.PortOpen());
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The real box once: text, title, icon, the OK button and the system's reason as detailed text.
    void error03RealBox()
    {
        platform::testing::scriptedBoxes = false;
        Module1::ComPort = QStringLiteral("/dev/tivor-no-such-port");
        QString text, title, detail;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        testenv::onNextModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            text = box->text();
            title = box->windowTitle();
            detail = box->detailedText();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::Ok)->click();
        });
        MSComm port;
        Inicio_COMM(port, nullptr, {});
        QCOMPARE(text, QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie\rEl puerto ya esta usandose "));
        QCOMPARE(title, QStringLiteral("Puerto Serie"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY2(detail.startsWith(QStringLiteral("/dev/tivor-no-such-port: ")), qPrintable(detail));
    }

    // A failed re-open must not leave the old port taking bytes.
    void failedReopenClosesTheOldPort()
    {
        testpty::Pty pty;
        Module1::ComPort = pty.slavePath();
        MSComm port;
        QString panel;
        Inicio_COMM(port, nullptr, [&](const QString& t) { panel = t; });
        QVERIFY(port.PortOpen());
        Module1::ComBaud = QStringLiteral("abc");
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        Inicio_COMM(port, nullptr, [&](const QString& t) { panel = t; });
        QCOMPARE(panel, pty.slavePath() + QStringLiteral(": 9600"));
        QVERIFY(!port.PortOpen());
        QVERIFY(!port.Output("x"));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void portInUseIsRefused()
    {
        testpty::Pty pty;
        Module1::ComPort = pty.slavePath();
        MSComm first, second;
        QVERIFY(openComPort(first));
        QString error;
        QVERIFY(!openComPort(second, nullptr, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(first.Output("z"));
        QVERIFY(pty.waitForBytes(1, 2000));
    }

    // A slow line: the system's buffer fills up and writes wait for room instead of failing.
    void fullBufferWaitsForRoom()
    {
        testpty::Pty pty;
        Module1::ComPort = pty.slavePath();
        MSComm port;
        QVERIFY(openComPort(port));
        pty.setPaused(true);
        std::thread resume([&pty] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            pty.setPaused(false);
        });
        QByteArray all;
        bool ok = true;
        for (int i = 0; i < 256 && ok; ++i) {
            const QByteArray chunk(1024, char('a' + i % 26));
            ok = port.Output(chunk);
            all += chunk;
        }
        resume.join();
        QVERIFY2(ok, qPrintable(port.errorText()));
        QVERIFY(pty.waitForBytes(int(all.size()), 5000));
        QCOMPARE(pty.bytes(), all);
    }

    // A far end that never reads again: after outputStallMs the write fails and the port closes.
    void stalledLineFails()
    {
        testpty::Pty pty;
        Module1::ComPort = pty.slavePath();
        MSComm port;
        QVERIFY(openComPort(port));
        pty.setPaused(true);
        platform::testing::outputStallMs = 200;
        QElapsedTimer t;
        t.start();
        int written = 0;
        while (written < 1024 && port.Output(QByteArray(1024, 's')))
            ++written;
        platform::testing::outputStallMs = 2000;
        QVERIFY(written < 1024);
        QVERIFY(t.elapsed() >= 200 && t.elapsed() < 3000);
        QVERIFY(!port.PortOpen());
        QVERIFY2(port.errorText().contains(QStringLiteral("tiempo agotado")), qPrintable(port.errorText()));
        pty.setPaused(false);
    }

    void writeToClosedPortFails()
    {
        MSComm port;
        QVERIFY(!port.Output("W"));
        QVERIFY(!port.errorText().isEmpty());
        QCOMPARE(platform::testing::outputCalls, 0);
    }

    // The far end goes away while the port is idle and then while writing: no error storm, no busy
    // CPU, the first write fails and the port is closed.
    void hangUpClosesThePortQuietly()
    {
        testpty::Pty pty;
        Module1::ComPort = pty.slavePath();
        MSComm port;
        QVERIFY(openComPort(port));
        QVERIFY(port.Output("A"));
        QVERIFY(pty.waitForBytes(1, 2000));
        pty.hangUp();

        const qint64 cpu0 = cpuNs();
        runEvents(300);
        QElapsedTimer t;
        t.start();
        QVERIFY(!port.Output("B"));
        QVERIFY(t.elapsed() < 500);
        QVERIFY(!port.PortOpen());
        QVERIFY(!port.errorText().isEmpty());
        runEvents(300);
        const qint64 cpuMs = (cpuNs() - cpu0) / 1000000;
        QVERIFY2(cpuMs < 150, qPrintable(QStringLiteral("CPU %1 ms in 600 ms").arg(cpuMs)));
        QVERIFY(!port.Output("C"));
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
