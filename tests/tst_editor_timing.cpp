// The status line in real time: the half-second wait of TypeMsg and the 5000 ms clearing by Timer1.
#include "support/EditorKit.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

class TestEditorTiming : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

private slots:
    void init() { w = editorkit::freshWindow(dir, 1.0); }
    void cleanup() { w.reset(); }

    // Two messages 3 s apart: panel 3 clears 5000 ms after the end of the second one's wait.
    void twoMessagesThreeSecondsApart()
    {
        QElapsedTimer clock;
        clock.start();
        w->TypeMsg(0, QStringLiteral("uno"));
        QVERIFY(clock.elapsed() >= 500);
        QTest::qWait(int(3000 - clock.elapsed()));
        w->TypeMsg(0, QStringLiteral("dos"));
        const qint64 endOfSecond = clock.elapsed();
        QVERIFY(endOfSecond >= 3500);
        QTest::qWait(int(6000 - clock.elapsed())); // the first message's 5000 ms have passed
        QCOMPARE(w->statusPanel(3), QStringLiteral("PGM: dos"));
        QTRY_COMPARE_WITH_TIMEOUT(w->statusPanel(3), QString(), 4000);
        // Timers may fire up to 5% early; never seconds early.
        QVERIFY2(clock.elapsed() >= endOfSecond + 4750, qPrintable(QString::number(clock.elapsed() - endOfSecond)));
        QVERIFY(!w->Timer1.isActive());
    }

    // A tick that falls due during the half-second wait runs inside TypeMsg and clears its message.
    void tickDuringTheWaitClearsTheMessage()
    {
        w->Timer1.setInterval(100);
        w->Timer1.start();
        w->TypeMsg(0, QStringLiteral("breve"));
        QCOMPARE(w->statusPanel(3), QString());
        QVERIFY(w->Timer1.isActive()); // restarted after the wait
    }
};

QTEST_MAIN(TestEditorTiming)
#include "tst_editor_timing.moc"
