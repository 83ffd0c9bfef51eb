// Fault paths through the real programs: a sign that stops taking bytes in a fleet, characters a file
// cannot keep, what a message leaves out, and the window's own reports of them.
#include "support/CliKit.h"

#include <QThread>
#include <fcntl.h>
#include <termios.h>

namespace
{
// The longest silence between two bytes a sign received, in milliseconds.
double longestSilenceMs(const testpty::Pty& pty)
{
    const std::vector<testpty::Received> rx = pty.received();
    qint64 longest = 0;
    for (size_t i = 1; i < rx.size(); ++i)
        longest = std::max(longest, rx[i].ns - rx[i - 1].ns);
    return longest / 1e6;
}
} // namespace

class TestFaults : public CliTest
{
    Q_OBJECT
private slots:
    // A sign whose line takes no bytes (its output stopped, as a serial link out of range does) among healthy
    // ones: the healthy ones keep their 1 ms schedule, get every byte and are reported sent; the stopped one
    // fails alone once its stall limit has passed, or, let go in time, takes up its schedule and gets every byte.
    void stalledSignHoldsNobody_data()
    {
        QTest::addColumn<int>("releaseMs"); // when the stopped line is let go; -1: never
        QTest::newRow("never let go") << -1;
        QTest::newRow("let go after 400 ms") << 400;
    }
    void stalledSignHoldsNobody()
    {
        QFETCH(int, releaseMs);
        QByteArray pages;
        for (int i = 0; i < 16; ++i)
            pages += "0,0,0,\"" + QByteArray(150, char('a' + i)) + "\"\r\n";
        QVERIFY(testenv::writeFile(path("largo.mnm"), pages));
        testpty::Pty other, stopped;
        const int fd = ::open(qPrintable(stopped.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0 && ::tcflow(fd, TCOOFF) == 0);
        std::thread release([&] {
            if (releaseMs >= 0) {
                QThread::msleep(ulong(releaseMs));
                ::tcflow(fd, TCOON);
            }
        });
        const QString result = run({"send", path("largo.mnm"), "--port", pty->slavePath(), "--port",
                                    stopped.slavePath(), "--port", other.slavePath(), "--dy1", "10", "--dy2", "01"});
        release.join();
        ::tcflow(fd, TCOON);
        ::close(fd);
        QVERIFY(pty->settle() && other.settle() && stopped.settle());
        const QByteArray sent = pty->bytes();
        QCOMPARE(sent.size(), 5 + 2 + 16 * 151 + 2);
        QCOMPARE(other.bytes(), sent);
        const double silence = std::max(longestSilenceMs(*pty), longestSilenceMs(other));
        qInfo("longest silence on a healthy line: %.1f ms", silence);
        QVERIFY2(silence < 100, qPrintable(QString::number(silence)));
        if (releaseMs >= 0) {
            QCOMPARE(result, QStringLiteral("0||"));
            QCOMPARE(stopped.bytes(), sent);
            return;
        }
        QCOMPARE(stopped.bytes(), QByteArray());
        QCOMPARE(result, QStringLiteral("5||tivor-cli: %1: enviado; %4 de %4 bytes enviados\ntivor-cli: %2: Error #22, "
                                        "No se envio el Mensaje (El puerto no acepta datos (tiempo agotado)); 0 de %4 "
                                        "bytes enviados\ntivor-cli: %3: enviado; %4 de %4 bytes enviados\n")
                             .arg(pty->slavePath(), stopped.slavePath(), other.slavePath())
                             .arg(sent.size()));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
