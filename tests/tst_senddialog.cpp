// The send dialog through a real main window and a real pseudo-terminal: texts, endings, "Salida.txt".
#include "editor/FrmMain.h"
#include "link/Transmission.h"
#include "link/frmDate.h"
#include "link/frmSend.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/SettingsStore.h"
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <time.h>

namespace
{
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// The one-page example: HOLA, "Estatico", centred, pause "5".
const QByteArray kHola = QByteArray("W-NT9") + hex("DFE080") + QByteArray("      HOLA      ") + hex("C60101");

QPushButton* button(QWidget* dlg, const char* name)
{
    auto* b = dlg->findChild<QPushButton*>(QLatin1String(name));
    Q_ASSERT(b);
    return b;
}

QString progress(int percent, int total)
{
    return QStringLiteral("Enviando ... %1% [%2]").arg(percent).arg(total);
}

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
    // Runs `action` in the wait that follows the byte whose progress text is `text`.
    static void onText(TxDialog& dlg, const QString& text, std::function<void()> action)
    {
        QObject::connect(&dlg, &TxDialog::panel1Changed, [&dlg, text, action](const QString& t) {
            if (t == text)
                QTimer::singleShot(0, &dlg, action);
        });
    }
};

qint64 cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
} // namespace

class TestSendDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<FrmMain> main;

    // The main window started with the port `port` ("" for the pseudo-terminal), the HOLA page open.
    void start(const QString& port = QString())
    {
        const QString app = QStringLiteral("Tivor");
        platform::SaveSetting(app, QStringLiteral("COM"), QStringLiteral("Port"),
                              port.isEmpty() ? pty->slavePath() : port);
        // Short delays keep the suite fast; the date dialog's tests run the defaults once.
        platform::SaveSetting(app, QStringLiteral("PGM"), QStringLiteral("DY1"), QStringLiteral("10"));
        platform::SaveSetting(app, QStringLiteral("PGM"), QStringLiteral("DY2"), QStringLiteral("01"));
        if (!port.isEmpty())
            platform::testing::queuedAnswers.append(MsgAnswer::Ok); // the Error #03 box
        main = std::make_unique<FrmMain>();
        Module1::AppFolder = dir.path();
        openHola();
    }

    void openHola()
    {
        Module1::PageText[1] = QStringLiteral("HOLA");
        Module1::PageEffect[1] = 1;
        Module1::PagePause[1] = 4;
        Module1::PageAlign[1] = Module1::AlignCenter;
        main->setMessageOpen(true);
        main->RefMensaje();
    }

    // Opens the dialog without a modal loop and clicks "Enviar"; returns when the dialog has closed.
    void send(frmSend& dlg, bool toFile = false)
    {
        dlg.show();
        if (toFile)
            QTest::mouseClick(dlg.findChild<QCheckBox*>(QStringLiteral("chkFile")), Qt::LeftButton);
        QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }

private slots:
    void init()
    {
        testenv::reset(dir);
        resetTransmissionState();
        QDir(dir.path()).remove(QStringLiteral("Salida.txt"));
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
    }
    void cleanup()
    {
        main.reset();
        pty.reset();
    }

    void captions()
    {
        start();
        frmSend dlg(*main);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Envio de Mensaje"));
        const auto text = [&](const char* name) { return dlg.findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(text("Label1"), QStringLiteral("- Verfique encendido del Cartel "));
        QCOMPARE(text("Label2"), QStringLiteral("- Conecte el cable de comunicacion"));
        auto* chk = dlg.findChild<QCheckBox*>(QStringLiteral("chkFile"));
        QCOMPARE(chk->text(), QStringLiteral("Enviar Mensaje -> Archivo"));
        QCOMPARE(chk->isChecked(), false);
        QCOMPARE(button(&dlg, "cmdOK")->text(), QStringLiteral("Enviar"));
        QCOMPARE(button(&dlg, "Command2")->text(), QStringLiteral("Cancelar"));
        QVERIFY(!dlg.findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    }

    void sendsTheExampleWithProgress()
    {
        start();
        Module1::TxInProgress = Module1::TxCancel = true;
        frmSend dlg(*main);
        QCOMPARE(Module1::TxInProgress, false);
        QCOMPARE(Module1::TxCancel, false);
        Recorder rec;
        rec.attach(dlg);
        send(dlg);

        QVERIFY(pty->waitForBytes(27, 2000));
        QCOMPARE(pty->bytes(), kHola);
        QCOMPARE(rec.texts.size(), 28);
        QCOMPARE(rec.texts.first(), progress(3, 27));
        QCOMPARE(rec.texts.at(13), progress(51, 27));
        QCOMPARE(rec.texts.at(26), progress(100, 27));
        QCOMPARE(rec.texts.last(), QStringLiteral("Mensaje enviado OK!"));
        // The bar shows the same percentage as the text, byte by byte.
        for (int i = 0; i < 27; ++i)
            QCOMPARE(rec.texts.at(i), progress(rec.bar.at(i), 27));
        QCOMPARE(Module1::TxInProgress, true);
        // The main window's status line is not the dialog's.
        QCOMPARE(main->statusPanel(3), QString());
    }

    void takesThePageBeingEdited()
    {
        start();
        auto* text = main->findChild<QLineEdit*>(QStringLiteral("txtMensaje"));
        QVERIFY(text);
        text->setText(QStringLiteral("ADIOS"));
        frmSend dlg(*main);
        send(dlg);
        QVERIFY(pty->waitForBytes(27, 2000));
        QVERIFY(pty->bytes().contains("ADIOS"));
    }

    void noMessage_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("no message open") << false << false;
        QTest::newRow("no message open, to file") << false << true;
        QTest::newRow("all pages empty") << true << false;
        QTest::newRow("all pages empty, to file") << true << true;
    }
    void noMessage()
    {
        QFETCH(bool, open);
        QFETCH(bool, toFile);
        start();
        if (open) {
            Module1::PageText[1].clear();
            main->RefMensaje();
        } else {
            main->setMessageOpen(false);
        }
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        send(dlg, toFile);
        QCOMPARE(rec.texts, QStringList{QStringLiteral("Error #21, No Hay mensaje cargado")});
        QCOMPARE(Module1::TxInProgress, false);
        QVERIFY(!QFile::exists(QDir(dir.path()).filePath(QStringLiteral("Salida.txt"))));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void writesSalidaWithNoPortAtAll()
    {
        start(QStringLiteral("/dev/tivor-no-such-port"));
        QCOMPARE(main->MSComm1.PortOpen(), false);
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        send(dlg, true);
        const QString path = QDir(dir.path()).filePath(QStringLiteral("Salida.txt"));
        QCOMPARE(rec.texts, QStringList{QStringLiteral("Archivo 'salida.txt' grabado OK!")});
        QCOMPARE(dlg.panel1ToolTip(), path);
        const QByteArray content = testenv::readFile(path);
        QCOMPARE(content, '"' + kHola + "\"\r\n");
        QCOMPARE(content.size(), Module1::TxLength + 4);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void salidaFallsBackToTheUserFolder()
    {
        start();
        QStandardPaths::setTestModeEnabled(true);
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        QVERIFY(testenv::writeFile(blocker, "not a folder"));
        Module1::AppFolder = blocker + QStringLiteral("/bin");
        frmSend dlg(*main);
        send(dlg, true);
        const QString path =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("Salida.txt"));
        QCOMPARE(dlg.panel1Text(), QStringLiteral("Archivo 'salida.txt' grabado OK!"));
        QCOMPARE(dlg.panel1ToolTip(), path);
        QCOMPARE(testenv::readFile(path), '"' + kHola + "\"\r\n");
        QFile::remove(path);
        QStandardPaths::setTestModeEnabled(false);
    }

    void cancelDuringPreamble()
    {
        start();
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        Recorder::onText(dlg, progress(7, 27),
                         [&dlg]() { QTest::mouseClick(button(&dlg, "Command2"), Qt::LeftButton); });
        send(dlg);
        QVERIFY(pty->waitForBytes(4, 2000));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray("W-") + hex("0101"));
        QCOMPARE(rec.texts, QStringList({progress(3, 27), progress(7, 27), "Mensaje Cancelado..."}));
    }

    // The close button must not hide a dialog whose bytes are still going out: it cancels instead.
    void closeButtonWhileSendingCancels()
    {
        start();
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        Recorder::onText(dlg, progress(33, 27), [&dlg]() { dlg.close(); });
        send(dlg);
        QVERIFY(pty->waitForBytes(11, 2000));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), kHola.left(9) + hex("0101"));
        QCOMPARE(rec.texts.last(), QStringLiteral("Mensaje Cancelado..."));
    }

    void cancelBeforeEnviarClosesAndSendsNothing()
    {
        start();
        frmSend dlg(*main);
        testenv::onNextModal([](QWidget* w) { QTest::mouseClick(button(w, "Command2"), Qt::LeftButton); });
        dlg.exec();
        QVERIFY(!dlg.isVisible());
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    void otherEndHangsUpMidSend()
    {
        start();
        pty->hangUpAfter(10);
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        send(dlg);
        QCOMPARE(rec.texts.last(), QStringLiteral("Error #22, No se envio el Mensaje"));
        QVERIFY(rec.texts.size() >= 11);
        QCOMPARE(pty->bytes(), kHola.left(10));
        QCOMPARE(main->MSComm1.PortOpen(), false);
        // No error storm afterwards: the program idles.
        const qint64 before = cpuMs();
        QTest::qWait(300);
        QVERIFY2(cpuMs() - before < 100, qPrintable(QString::number(cpuMs() - before)));
    }

    void portNotOpen()
    {
        start(QStringLiteral("/dev/tivor-no-such-port"));
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        send(dlg);
        QCOMPARE(rec.texts, QStringList({progress(3, 27), "Error #22, No se envio el Mensaje"}));
        QVERIFY(!QFile::exists(QDir(dir.path()).filePath(QStringLiteral("Salida.txt"))));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void enviarDoesNothingWhileSending()
    {
        start();
        frmSend dlg(*main);
        Recorder rec;
        rec.attach(dlg);
        const auto again = [&dlg]() { QTest::mouseClick(button(&dlg, "cmdOK"), Qt::LeftButton); };
        Recorder::onText(dlg, progress(7, 27), again);
        Recorder::onText(dlg, progress(51, 27), again);
        Recorder::onText(dlg, QStringLiteral("Mensaje enviado OK!"), again);
        send(dlg);
        QTest::qWait(50);
        QCOMPARE(pty->bytes(), kHola);
        QCOMPARE(rec.texts.size(), 28);
    }

    // The main window's commands open the dialogs modally.
    void mainWindowCommandsOpenTheDialogs_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("title");
        QTest::newRow("cmdTx") << "cmdTx" << "Envio de Mensaje";
        QTest::newRow("Envio") << "Envio" << "Envio de Mensaje";
        QTest::newRow("Command1") << "Command1" << "Envio de Hora y Fecha";
    }
    void mainWindowCommandsOpenTheDialogs()
    {
        QFETCH(QString, command);
        QFETCH(QString, title);
        start();
        QString shown;
        bool modal = false;
        testenv::onNextModal([&](QWidget* w) {
            shown = w->windowTitle();
            modal = w->isModal();
            QTest::mouseClick(button(w, "cmdOK"), Qt::LeftButton);
        });
        if (auto* tool = main->findChild<QToolButton*>(command))
            QTest::mouseClick(tool, Qt::LeftButton);
        else
            main->findChild<QAction*>(command)->trigger();
        QCOMPARE(shown, title);
        QVERIFY(modal);
        // "Enviar" ran in the dialog the command opened, over the main window's port.
        QVERIFY(pty->waitForBytes(14, 2000));
        QCOMPARE(pty->bytes().left(5), QByteArray("W-NT9"));
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestSendDialog)
#include "tst_senddialog.moc"
