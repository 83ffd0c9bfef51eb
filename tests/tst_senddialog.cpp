// The send dialog through a real main window and a real pseudo-terminal: texts, endings, "Salida.txt".
#include "editor/FrmMain.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "link/frmSend.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/MsgBox.h"
#include "platform/SettingsStore.h"
#include "support/Pty.h"
#include "support/TestEnv.h"
#include "support/TxDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <memory>

using namespace txdialogs;

namespace
{
// The one-page example: HOLA, "Estatico", centred, pause "5".
const QByteArray kHola = QByteArray("W-NT9") + hex("DFE080") + QByteArray("      HOLA      ") + hex("C60101");

QString progress(int percent)
{
    return QStringLiteral("Enviando ... %1% [27]").arg(percent);
}
} // namespace

class TestSendDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<FrmMain> main;

    QString salida() const { return QDir(dir.path()).filePath(QStringLiteral("Salida.txt")); }

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
        Module1::PageText[1] = QStringLiteral("HOLA");
        Module1::PageEffect[1] = 1;
        Module1::PagePause[1] = 4;
        Module1::PageAlign[1] = Module1::AlignCenter;
        main->setMessageOpen(true);
        main->RefMensaje();
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
        frmSend dlg(main->MSComm1, [&] { return main->takeMessage(); }, main.get());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Envio de Mensaje"));
        QCOMPARE(QStringList({textOf(&dlg, "Label1"), textOf(&dlg, "Label2"), textOf(&dlg, "chkFile"),
                              textOf(&dlg, "cmdOK"), textOf(&dlg, "Command2"), textOf(&dlg, "Picture1")}),
                 QStringList({"- Verfique encendido del Cartel ", "- Conecte el cable de comunicacion",
                              "Enviar Mensaje -> Archivo", "Enviar", "Cancelar", "<picture>"}));
        QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("chkFile"))->isChecked(), false);
    }

    // The page being edited goes out too; a second "Enviar" while sending does nothing.
    void sendsTheExampleWithProgress()
    {
        start();
        main->findChild<QLineEdit*>(QStringLiteral("txtMensaje"))->setText(QStringLiteral("ADIOS"));
        Module1::TxInProgress = Module1::TxCancel = true;
        frmSend dlg(main->MSComm1, [&] { return main->takeMessage(); }, main.get());
        QCOMPARE(Module1::TxInProgress, false);
        QCOMPARE(Module1::TxCancel, false);
        Recorder rec(dlg);
        for (const QString& text : {progress(7), progress(51), QStringLiteral("Mensaje enviado OK!")})
            onText(dlg, text, [&dlg] { click(&dlg, "cmdOK"); });
        send(dlg);

        QVERIFY(pty->waitForBytes(27, 2000));
        QTest::qWait(50);
        QCOMPARE(pty->bytes(), QByteArray("W-NT9") + hex("DFE080") + "     ADIOS      " + hex("C60101"));
        QCOMPARE(rec.texts.size(), 28);
        QCOMPARE(rec.texts.first(), progress(3));
        QCOMPARE(rec.texts.at(13), progress(51));
        QCOMPARE(rec.texts.at(26), progress(100));
        QCOMPARE(rec.texts.last(), QStringLiteral("Mensaje enviado OK!"));
        // The bar shows the same percentage as the text, byte by byte.
        for (int i = 0; i < 27; ++i)
            QCOMPARE(rec.texts.at(i), progress(rec.bar.at(i)));
        QCOMPARE(Module1::TxInProgress, true);
        QCOMPARE(main->statusPanel(3), QString()); // the main window's status line is not the dialog's
    }

    void noMessage_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("no message open") << false << false;
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
        frmSend dlg(main->MSComm1, [&] { return main->takeMessage(); }, main.get());
        Recorder rec(dlg);
        dlg.findChild<QCheckBox*>(QStringLiteral("chkFile"))->setChecked(toFile);
        send(dlg);
        QCOMPARE(rec.texts, QStringList{QStringLiteral("Error #21, No Hay mensaje cargado")});
        QCOMPARE(Module1::TxInProgress, false);
        QVERIFY(!QFile::exists(salida()));
        QTest::qWait(30);
        QCOMPARE(pty->bytes(), QByteArray());
    }

    // The file needs no port at all, and replaces a longer one whole.
    void writesSalidaWithNoPortAtAll()
    {
        start(QStringLiteral("/dev/tivor-no-such-port"));
        QCOMPARE(main->MSComm1.PortOpen(), false);
        QVERIFY(testenv::writeFile(salida(), QByteArray(20000, 'o')));
        frmSend dlg(main->MSComm1, [&] { return main->takeMessage(); }, main.get());
        Recorder rec(dlg);
        dlg.show();
        QTest::mouseClick(dlg.findChild<QCheckBox*>(QStringLiteral("chkFile")), Qt::LeftButton);
        click(&dlg, "cmdOK");
        QCOMPARE(rec.texts, QStringList{QStringLiteral("Archivo 'salida.txt' grabado OK!")});
        QCOMPARE(dlg.panel1ToolTip(), salida());
        const QByteArray content = testenv::readFile(salida());
        QCOMPARE(content, '"' + kHola + "\"\r\n");
        QCOMPARE(content.size(), Module1::TxLength + 4);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    void portNotOpen()
    {
        start(QStringLiteral("/dev/tivor-no-such-port"));
        frmSend dlg(main->MSComm1, [&] { return main->takeMessage(); }, main.get());
        Recorder rec(dlg);
        send(dlg);
        QCOMPARE(rec.texts, QStringList({progress(3), "Error #22, No se envio el Mensaje"}));
        QVERIFY(!QFile::exists(salida()));
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The main window's commands open the dialogs modally, over the main window's port.
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
            click(w, "cmdOK");
        });
        if (auto* tool = main->findChild<QToolButton*>(command))
            QTest::mouseClick(tool, Qt::LeftButton);
        else
            main->findChild<QAction*>(command)->trigger();
        QCOMPARE(shown, title);
        QVERIFY(modal);
        QVERIFY(pty->waitForBytes(14, 2000));
        QCOMPARE(pty->bytes().left(5), QByteArray("W-NT9"));
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestSendDialog)
#include "tst_senddialog.moc"
