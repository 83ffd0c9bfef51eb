// The date-and-time dialog through a real pseudo-terminal: the label, the bytes, progress and endings.
#include "link/SerialLink.h"
#include "link/Transmission.h"
#include "link/frmDate.h"
#include "platform/Clock.h"
#include "platform/MSComm.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace
{
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QPushButton* button(QWidget* dlg, const char* name)
{
    auto* b = dlg->findChild<QPushButton*>(QLatin1String(name));
    Q_ASSERT(b);
    return b;
}

QString progress(int percent)
{
    return QStringLiteral("Enviando Datos al CARTEL ... %1%").arg(percent);
}

// Every text the first panel shows, and the bar's value at that moment.
struct Recorder
{
    QStringList texts;
    QList<int> bar;
    void attach(TxDialog& dlg)
    {
        auto* b = dlg.findChild<QProgressBar*>(QStringLiteral("progressBar"));
        QObject::connect(&dlg, &TxDialog::panel1Changed, [this, b](const QString& t) {
            texts.append(t);
            bar.append(b->value());
        });
    }
    // Runs `action` in the wait that follows the byte whose progress shows `percent`.
    void onProgress(TxDialog& dlg, int percent, std::function<void()> action)
    {
        QObject::connect(&dlg, &TxDialog::panel1Changed, [&dlg, percent, action](const QString& t) {
            if (t == progress(percent))
                QTimer::singleShot(0, &dlg, action);
        });
    }
};

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
        const auto text = [&](const char* name) { return dlg.findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(text("Label3"), QStringLiteral("Cambiar Hora y Fecha en Cartel"));
        QCOMPARE(text("Label2"), QStringLiteral("- Conecte el cable de comunicacion"));
        QCOMPARE(text("Label1"), QStringLiteral("- Verfique encendido del Cartel "));
        QCOMPARE(button(&dlg, "cmdOK")->text(), QStringLiteral("Enviar"));
        QCOMPARE(button(&dlg, "Command2")->text(), QStringLiteral("Cancelar"));
        QVERIFY(!dlg.findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    }

    void sendsTheMomentOfOpening_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QByteArray>("clock");
        QTest::newRow("09:07:03 1 March 2026") << QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3))
                                                << "Hora 09:07:03  Fecha 01/03/26" << hex("090703010326");
        QTest::newRow("23:59:59 31 December 2099") << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59))
                                                    << "Hora 23:59:59  Fecha 31/12/99" << hex("235959311299");
        QTest::newRow("midnight 1 January 2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0))
                                                  << "Hora 00:00:00  Fecha 01/01/00" << hex("000000010100");
        QTest::newRow("14:05:09 5 December 2026") << QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9))
                                                   << "Hora 14:05:09  Fecha 05/12/26" << hex("140509051226");
    }
    void sendsTheMomentOfOpening()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, label);
        QFETCH(QByteArray, clock);
        platform::testing::fixedNow = when;
        Module1::TxInProgress = Module1::TxCancel = true;
        frmDate dlg(*port);
        QCOMPARE(Module1::TxInProgress, false);
        QCOMPARE(Module1::TxCancel, false);
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("Label4"))->text(), label);
        // Left open for ten minutes: the time sent is still the one shown.
        platform::testing::fixedNow = when.addSecs(600);
        Recorder rec;
        rec.attach(dlg);
        dlg.show();
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);

        QVERIFY(pty->waitForBytes(kLength, 2000));
        QCOMPARE(pty->bytes(), QByteArray("W-NT9") + hex("B0") + clock + hex("0101"));
        QStringList expected;
        for (int p : kPercents)
            expected.append(progress(p));
        expected.append(QStringLiteral("Mensaje enviado OK!"));
        QCOMPARE(rec.texts, expected);
        QCOMPARE(rec.bar.mid(0, kLength), kPercents);
        QCOMPARE(dlg.panel1Text(), QStringLiteral("Mensaje enviado OK!"));
        QVERIFY(!dlg.isVisible());
    }

    void cancelBeforeEnviarClosesAndSendsNothing()
    {
        frmDate dlg(*port);
        testenv::onNextModal([](QWidget* w) { QTest::mouseClick(button(w, "Command2"), Qt::LeftButton); });
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
        Recorder rec;
        rec.attach(dlg);
        rec.onProgress(dlg, 21, [&dlg, closeButton]() {
            if (closeButton)
                dlg.close();
            else
                QTest::mouseClick(button(&dlg, "Command2"), Qt::LeftButton);
        });
        dlg.show();
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);

        QVERIFY(pty->waitForBytes(5, 2000));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray("W-N") + hex("0101"));
        QCOMPARE(rec.texts, QStringList({progress(7), progress(14), progress(21), "Mensaje Cancelado..."}));
        QVERIFY(!dlg.isVisible());
    }

    void portNotOpen()
    {
        port->setPortOpen(false);
        frmDate dlg(*port);
        Recorder rec;
        rec.attach(dlg);
        dlg.show();
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);
        QCOMPARE(rec.texts, QStringList({progress(7), "Error #22, No se envio el Mensaje"}));
        QVERIFY(!dlg.isVisible());
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void enviarDoesNothingWhileSending()
    {
        frmDate dlg(*port);
        Recorder rec;
        rec.attach(dlg);
        rec.onProgress(dlg, 14, [&dlg]() { QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton); });
        rec.onProgress(dlg, 64, [&dlg]() { QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton); });
        dlg.show();
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);
        QVERIFY(pty->waitForBytes(kLength, 2000));
        QTest::qWait(50);
        QCOMPARE(pty->bytes().size(), kLength);
        QCOMPARE(rec.texts.size(), kLength + 1);
        QCOMPARE(rec.texts.last(), QStringLiteral("Mensaje enviado OK!"));
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
        dlg.show();
        clock.start();
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);
        const qint64 closedMs = clock.elapsed();
        QVERIFY(!dlg.isVisible());
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
