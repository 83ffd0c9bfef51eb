// The date-and-time dialog through a real pseudo-terminal: the label, the bytes, progress and endings.
#include "link/PacedSend.h"
#include "link/SerialLink.h"
#include "link/Transmission.h"
#include "link/frmDate.h"
#include "platform/Clock.h"
#include "platform/MSComm.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"
#include "support/TxDialogs.h"

#include <QElapsedTimer>
#include <QLabel>
#include <memory>

using namespace txdialogs;

namespace
{
QString progress(int percent)
{
    return QStringLiteral("Enviando Datos al CARTEL ... %1%").arg(percent);
}

// The 14 bytes of the transmission: preamble, command 0xB0, six clock bytes, terminator.
const int kLength = 14;
const QList<int> kPercents = {7, 14, 21, 28, 35, 42, 50, 57, 64, 71, 78, 85, 92, 100};
} // namespace

class TestDateDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<MSComm> port;

private slots:
    void init()
    {
        testenv::reset(dir);
        LoadRegSett();
        resetTransmissionState();
        // Short delays keep the suite fast; one test below runs the defaults.
        Module1::DY1 = QStringLiteral("10");
        Module1::DY2 = QStringLiteral("01");
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        Module1::ComPort = pty->slavePath();
        port = std::make_unique<MSComm>();
        QString why;
        QVERIFY2(openComPort(*port, nullptr, &why), qPrintable(why));
        platform::testing::fixedNow = QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3));
    }
    void cleanup()
    {
        port.reset();
        pty.reset();
    }

    void captions()
    {
        frmDate dlg(*port);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Envio de Hora y Fecha"));
        QCOMPARE(QStringList({textOf(&dlg, "Label3"), textOf(&dlg, "Label2"), textOf(&dlg, "Label1"),
                              textOf(&dlg, "cmdOK"), textOf(&dlg, "Command2"), textOf(&dlg, "Picture1")}),
                 QStringList({"Cambiar Hora y Fecha en Cartel", "- Conecte el cable de comunicacion",
                              "- Verfique encendido del Cartel ", "Enviar", "Cancelar", "<picture>"}));
    }

    // The moment of opening is shown and sent; a second "Enviar" while sending does nothing.
    void sendsTheMomentOfOpening()
    {
        const QDateTime when = platform::testing::fixedNow;
        Module1::TxInProgress = Module1::TxCancel = true;
        frmDate dlg(*port);
        QCOMPARE(Module1::TxInProgress, false);
        QCOMPARE(Module1::TxCancel, false);
        QCOMPARE(textOf(&dlg, "Label4"), QStringLiteral("Hora 09:07:03  Fecha 01/03/26"));
        // Left open for ten minutes: the time sent is still the one shown.
        platform::testing::fixedNow = when.addSecs(600);
        Recorder rec(dlg);
        for (int percent : {14, 64})
            onText(dlg, progress(percent), [&dlg] { click(&dlg, "cmdOK"); });
        send(dlg);

        QVERIFY(pty->waitForBytes(kLength, 2000));
        QTest::qWait(50);
        QCOMPARE(pty->bytes(), QByteArray("W-NT9") + hex("B0 09 07 03 01 03 26 01 01"));
        QStringList expected;
        for (int p : kPercents)
            expected.append(progress(p));
        QCOMPARE(rec.texts, expected << QStringLiteral("Mensaje enviado OK!"));
        QCOMPARE(rec.bar.mid(0, kLength), kPercents);
    }

    void cancelBeforeEnviarClosesAndSendsNothing()
    {
        frmDate dlg(*port);
        testenv::onNextModal([](QWidget* w) { click(w, "Command2"); });
        dlg.exec();
        QVERIFY(!dlg.isVisible());
        QTest::qWait(50);
        QCOMPARE(pty->bytes(), QByteArray());
        QCOMPARE(Module1::TxCancel, false);
    }

    // Cancelar (or the close button, which must not hide a running transmission) during the preamble:
    // the byte in hand, then the terminator at once.
    void cancelDuringPreamble_data()
    {
        QTest::addColumn<bool>("closeButton");
        QTest::newRow("Cancelar") << false;
        QTest::newRow("close button") << true;
    }
    void cancelDuringPreamble()
    {
        QFETCH(bool, closeButton);
        frmDate dlg(*port);
        Recorder rec(dlg);
        onText(dlg, progress(21), [&dlg, closeButton] {
            if (closeButton)
                dlg.close();
            else
                click(&dlg, "Command2");
        });
        send(dlg);
        QVERIFY(pty->waitForBytes(5, 2000));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray("W-N") + hex("0101"));
        QCOMPARE(rec.texts, QStringList({progress(7), progress(14), progress(21), "Mensaje Cancelado..."}));
    }

    void portNotOpen()
    {
        port->setPortOpen(false);
        frmDate dlg(*port);
        Recorder rec(dlg);
        send(dlg);
        QCOMPARE(rec.texts, QStringList({progress(7), "Error #22, No se envio el Mensaje"}));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    // The one test with the program's own timing: default delays and the real one-second close.
    void realTimingWithDefaults()
    {
        Module1::DY1 = QStringLiteral("200");
        Module1::DY2 = QStringLiteral("05");
        platform::testing::waitScale = 1.0;
        frmDate dlg(*port);
        qint64 doneShownMs = -1;
        QElapsedTimer clock;
        QObject::connect(&dlg, &TxDialog::panel1Changed, [&](const QString& t) {
            if (t == QStringLiteral("Mensaje enviado OK!"))
                doneShownMs = clock.elapsed();
        });
        clock.start();
        send(dlg);
        const qint64 closedMs = clock.elapsed();
        // 5 x 200 ms + 9 x 5 ms of waits before the outcome, then one second before closing.
        QVERIFY2(doneShownMs >= 1040, qPrintable(QString::number(doneShownMs)));
        QVERIFY2(closedMs - doneShownMs >= 1000 && closedMs - doneShownMs < 1300,
                 qPrintable(QString::number(closedMs - doneShownMs)));
        const auto got = pty->received();
        QCOMPARE(int(got.size()), kLength);
        // The preamble goes out slowly: about 200 ms between its bytes.
        QVERIFY((got[4].ns - got[0].ns) / 1000000 >= 795);
    }
};

QTEST_MAIN(TestDateDialog)
#include "tst_datedialog.moc"
