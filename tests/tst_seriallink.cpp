// The serial link over a real pseudo-terminal: opening from the settings, Error #03, flushed writes,
// a far end that is slow, stalls or hangs up.
#include "link/InicioComm.h"
#include "link/SerialLink.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <thread>

namespace
{
const QString kError03 = QStringLiteral("Error #03, No se pudo iniciar el Puerto Serie\rEl puerto ya esta usandose ");
} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<testpty::Pty> pty;

    // The port opened on the pseudo-terminal, as at start-up.
    bool openOnPty(MSComm& p)
    {
        Module1::ComPort = pty->slavePath();
        return openComPort(p);
    }

private slots:
    void init()
    {
        testenv::reset(m_dir);
        platform::testing::outputCalls = 0;
        Module1::ComPort = QStringLiteral("2");
        Module1::ComBaud = QStringLiteral("9600");
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
    }

    void names_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("panel");
        QTest::newRow("number") << "12" << "/dev/ttyS11" << "COM12: 9600";
        QTest::newRow("leading zero") << "02" << "/dev/ttyS1" << "COM02: 9600";
        QTest::newRow("no port 0") << "0" << "" << "COM0: 9600";
        QTest::newRow("path as it is") << "/dev/ttyUSB0" << "/dev/ttyUSB0" << "/dev/ttyUSB0: 9600";
        QTest::newRow("mixed text is a name") << "2a" << "2a" << "2a: 9600";
    }
    void names()
    {
        QFETCH(QString, port);
        QFETCH(QString, device);
        QFETCH(QString, panel);
        QCOMPARE(MSComm::deviceNameFor(port), device);
        QCOMPARE(comPanelText(port, QStringLiteral("9600")), panel);
    }

    // Opened, re-opened with new settings, then a failed re-open that must not leave the old port open.
    void opensAndReopensWithFlushedWrites()
    {
        Module1::ComPort = pty->slavePath();
        MSComm port;
        QStringList panel;
        const auto setPanel = [&](const QString& t) { panel << t; };
        Inicio_COMM(port, nullptr, setPanel);
        QCOMPARE(platform::testing::shownBoxes.size(), 0);
        QCOMPARE(panel, QStringList{pty->slavePath() + QStringLiteral(": 9600")});
        QCOMPARE(Module1::comSettings, QStringLiteral("9600,N,8,1"));
        // No event loop runs here: the bytes must leave inside Output itself.
        const QByteArray bytes("W-NT9\xDF\xE0\x01\x0A\x0D\x1A\xFF", 12);
        for (char b : bytes)
            QVERIFY(port.Output(QByteArray(1, b)));
        QVERIFY(pty->waitForBytes(bytes.size(), 2000));
        QCOMPARE(pty->bytes(), bytes);
        MSComm other; // a port in use is refused
        QString error;
        QVERIFY(!openComPort(other, nullptr, &error));
        QVERIFY(!error.isEmpty());

        testpty::Pty second;
        Module1::ComPort = second.slavePath();
        Module1::ComBaud = QStringLiteral("19200");
        Inicio_COMM(port, nullptr, setPanel);
        QCOMPARE(panel.last(), second.slavePath() + QStringLiteral(": 19200"));
        QVERIFY(port.Output("b"));
        QVERIFY(second.waitForBytes(1, 2000));
        QTest::qWait(20);
        QCOMPARE(pty->bytes(), bytes);
        QCOMPARE(second.bytes(), QByteArray("b"));

        Module1::ComBaud = QStringLiteral("abc");
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        Inicio_COMM(port, nullptr, setPanel);
        QCOMPARE(panel.size(), 2);
        QVERIFY(!port.PortOpen());
        QVERIFY(!port.Output("x"));
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
        QTest::newRow("baud not a number") << "PTY" << "abc" << "\"abc\"";
        QTest::newRow("baud zero") << "PTY" << "0" << "\"0\"";
    }
    void error03()
    {
        QFETCH(QString, comPort);
        QFETCH(QString, baud);
        QFETCH(QString, reasonPart);
        Module1::ComPort = comPort == u"PTY" ? pty->slavePath() : comPort;
        Module1::ComBaud = baud;
        platform::testing::queuedAnswers = {MsgAnswer::Ok};
        MSComm port;
        int panelCalls = 0;
        Inicio_COMM(port, nullptr, [&](const QString&) { ++panelCalls; });

        QCOMPARE(platform::testing::shownBoxes.size(), 1);
        const auto box = platform::testing::shownBoxes.first();
        QCOMPARE(box.text, kError03);
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
        QCOMPARE(text, kError03);
        QCOMPARE(title, QStringLiteral("Puerto Serie"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY2(detail.startsWith(QStringLiteral("/dev/tivor-no-such-port: ")), qPrintable(detail));
    }

    // A slow line: the system's buffer fills up and writes wait for room instead of failing.
    void fullBufferWaitsForRoom()
    {
        MSComm port;
        QVERIFY(openOnPty(port));
        pty->setPaused(true);
        std::thread resume([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            pty->setPaused(false);
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
        QVERIFY(pty->waitForBytes(int(all.size()), 5000));
        QCOMPARE(pty->bytes(), all);
    }

    // A far end that never reads again: after outputStallMs the write fails and the port closes.
    void stalledLineFails()
    {
        MSComm port;
        QVERIFY(openOnPty(port));
        pty->setPaused(true);
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
        pty->setPaused(false);
    }

    // The far end goes away while the port is idle: no error storm, no busy CPU; the next write fails
    // at once and closes the port.
    void hangUpWhileIdleClosesThePortQuietly()
    {
        MSComm port;
        QVERIFY(openOnPty(port));
        QVERIFY(port.Output("A"));
        QVERIFY(pty->waitForBytes(1, 2000));
        pty->hangUp();
        const qint64 cpu0 = testpty::cpuNs();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 300) { // events as the program's own loop runs them
            platform::processEventsOnce();
            platform::sleepMs(1);
        }
        t.start();
        QVERIFY(!port.Output("B"));
        QVERIFY(t.elapsed() < 500);
        QVERIFY(!port.PortOpen());
        QVERIFY(!port.errorText().isEmpty());
        const qint64 cpuMs = (testpty::cpuNs() - cpu0) / 1000000;
        QVERIFY2(cpuMs < 100, qPrintable(QStringLiteral("CPU %1 ms in 300 ms").arg(cpuMs)));
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
