// The send and date dialogs over a real main window and a real pseudo-terminal: what they show, what
// goes on the wire, "Salida.txt", and the estimate.
#include "core/files/OutputFile.h"
#include "core/link/SendDelays.h"
#include "core/settings/LineSettings.h"
#include "gui/dialogs/EndOnSignals.h"
#include "gui/dialogs/frmDate.h"
#include "gui/dialogs/frmSend.h"
#include "support/EditorKit.h"
#include "support/Pty.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <csignal>
#include <cstring>

namespace
{
using testenv::hex;
// The clock at 09:07:03 on 1 March 2026 (kHola, the one-page example, is TestEnv's).
const QByteArray kClock = hex("572D4E5439B0 090703010326 0101");
const QByteArray kOldSalida(100, 'o');

// Every text of the first panel, and every text that was not yet on the screen when it was set, or then on it
// beside a bar at another value (the waits sleep before the window paints again).
struct Recorder : QObject
{
    QStringList texts, unpainted;
    QString painted;
    int paintedBar = 0;
    QLabel* panel;
    QProgressBar* progress;
    explicit Recorder(TxDialog& dlg)
        : panel(dlg.findChild<QLabel*>(QStringLiteral("Panel1"))), progress(dlg.findChild<QProgressBar*>())
    {
        panel->installEventFilter(this);
        progress->installEventFilter(this);
        connect(&dlg, &TxDialog::panel1Changed, this, [this](const QString& t) {
            texts << t;
            if (painted != t || (t.startsWith(u"Enviando") && !t.contains(QStringLiteral(" %1%").arg(paintedBar))))
                unpainted << t;
        });
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            o == panel ? void(painted = panel->text()) : void(paintedBar = progress->value());
        return false;
    }
};

// Runs `action` in the wait that follows the moment the panel shows `text`.
void onText(TxDialog& dlg, const QString& text, std::function<void()> action)
{
    QObject::connect(&dlg, &TxDialog::panel1Changed, &dlg, [&dlg, text, action](const QString& t) {
        if (t == text)
            QTimer::singleShot(0, &dlg, action);
    });
}

// Shows the dialog without a modal loop, "Al archivo" ticked as asked where the dialog has it, and clicks "Enviar";
// returns once the dialog has closed.
void send(TxDialog& dlg, bool toFile = false)
{
    if (auto* box = dlg.findChild<QCheckBox*>(QStringLiteral("chkFile")))
        box->setChecked(toFile);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.findChild<QPushButton*>("cmdOK")->click();
    QVERIFY(!dlg.isVisible());
}
} // namespace

class TestTxDialogs : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<testpty::Pty> pty;
    std::unique_ptr<FrmMain> main;

    QString salida() const { return dir.filePath(QStringLiteral("Salida.txt")); }
    // Where "Salida.txt" goes when the program's folder cannot take it (an installed program).
    static QString fallback()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tivor/Salida.txt";
    }

    // The main window started on the port `port` ("" for the pseudo-terminal), the HOLA page open.
    void start(const QString& port = QString(), const char* dy1 = "10", const char* dy2 = "01")
    {
        const QString settings =
            "[COM]\nPort=" + (port.isEmpty() ? pty->slavePath() : port) + "\n[PGM]\nDY1=" + dy1 + "\nDY2=" + dy2;
        QVERIFY(testenv::writeFile(testenv::doubles().settings.location(), settings.toUtf8()));
        if (!port.isEmpty() && !QFileInfo::exists(port))
            testenv::doubles().prompter.answers.append(MsgAnswer::Ok); // its Error #03
        main = std::make_unique<FrmMain>(testenv::doubles().services());
        QVERIFY(editorkit::run(*main, "Nuevo;cboEfe 1;cboPausa 4;optCenter;txtMensaje HOLA"));
        main->editor().TomoActual();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        testenv::reset(dir);
        testenv::doubles().programFolder = dir.path();
        QVERIFY(testenv::writeFile(salida(), kOldSalida));
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        testenv::doubles().clock.time = QDateTime(QDate(2026, 3, 1), QTime(9, 7, 3));
    }
    void cleanup()
    {
        main.reset();
        pty.reset();
    }

    // "sent" is what reaches the line, or with "file" what "Salida.txt" then holds (nothing: the old file stays).
    void outcomes_data()
    {
        const testenv::Table<QString, QStringList, QByteArray> row; // setup, the panel's texts, sent
        const auto sending = [](int percent) { return QStringLiteral("Enviando ... %1% [27]").arg(percent); };
        const auto dating = [](int percent) { return QStringLiteral("Enviando Datos al CARTEL ... %1%").arg(percent); };
        const QByteArray cut("W-N\x01\x01"), toFile = '"' + kHola + "\"\r\n";
        row("send, no message open", "send closed", {"Error #21, No Hay mensaje cargado"}, {});
        row("send, pages empty, to file", "send empty file", {"Error #21, No Hay mensaje cargado"}, {});
        row("send, port not open", "send noport", {sending(3), "Error #22, No se envio el Mensaje"}, {});
        row("send to file needs no port", "send noport file", {"Archivo 'salida.txt' grabado OK!"}, toFile);
        // The user's data folder for Tivor takes it, and the dialog says where, not only in its tooltip.
        const QString elsewhere =
            "Archivo 'salida.txt' grabado OK en " + QDir::toNativeSeparators(QFileInfo(fallback()).path());
        row("send to file, elsewhere", "send noport file elsewhere", {elsewhere}, toFile);
        const QStringList cancelled{dating(7), dating(14), dating(21), "Mensaje Cancelado..."};
        row("date, Cancelar in the preamble", "date cancel", cancelled, cut);
        row("send, Cancelar in the preamble", "send cancel",
            {sending(3), sending(7), sending(11), "Mensaje Cancelado..."}, cut);
        row("date, close button in the preamble", "date close", cancelled, cut);
        // Logging out or shutting down: the send ends as by "Cancelar", and then the program.
        row("date, SIGTERM in the preamble", "date sigterm", cancelled, cut);
        row("date, SIGHUP in the preamble", "date sighup", cancelled, cut);
        QStringList all{"Mensaje enviado OK!"}, edited{"Mensaje enviado OK!"};
        for (int p : {100, 92, 85, 78, 71, 64, 57, 50, 42, 35, 28, 21, 14, 7})
            all.prepend(dating(p));
        row("date sent, second Enviar ignored", "date", all, kClock);
        for (int p : {100, 96, 92, 88, 85, 81, 77, 74, 70, 66, 62, 59, 55, 51,
                      48,  44, 40, 37, 33, 29, 25, 22, 18, 14, 11, 7,  3})
            edited.prepend(sending(p));
        // The page being typed goes out though it is not yet taken into the model.
        row("send the edited page, second Enviar ignored", "send edit", edited,
            hex("572D4E5439DFE080") + "     ADIOS      " + hex("C60101"));
    }
    void outcomes()
    {
        const auto [setup, texts, sent] = testenv::Table<QString, QStringList, QByteArray>::fetch();
        const bool elsewhere = setup.contains(u"elsewhere");
        if (elsewhere) {
            QVERIFY(testenv::writeFile(dir.filePath("blocker"), "a file, not a folder"));
            testenv::doubles().programFolder = dir.filePath("blocker");
            QFile::remove(fallback());
        }
        start(setup.contains(u"noport") ? QStringLiteral("/dev/tivor-no-such-port") : QString());
        if (setup.contains(u"closed"))
            main->editor().setMessageOpen(false);
        if (setup.contains(u"empty") || setup.contains(u"edit"))
            QVERIFY(editorkit::run(*main, setup.contains(u"edit") ? "txtMensaje ADIOS" : "txtMensaje "));
        const std::unique_ptr<TxDialog> dlg =
            setup.startsWith(u"send") ? std::unique_ptr<TxDialog>(main->makeSendDialog()) : main->makeDateDialog();
        Recorder rec(*dlg);
        const bool bySignal = setup.contains(u"sig");
        std::unique_ptr<EndOnSignals> endOnSignals(bySignal ? new EndOnSignals(testenv::doubles().programs) : nullptr);
        if (bySignal)
            onText(*dlg, texts.value(2), [&setup] { std::raise(setup.contains(u"hup") ? SIGHUP : SIGTERM); });
        else if (setup.contains(u"cancel"))
            onText(*dlg, texts.value(2), [&dlg] { dlg->findChild<QPushButton*>("Command2")->click(); });
        else if (setup.contains(u"close"))
            onText(*dlg, texts.value(2), [&dlg] { dlg->close(); });
        else if (texts.size() > 2)
            onText(*dlg, texts[1], [&dlg] { dlg->findChild<QPushButton*>("cmdOK")->click(); });
        const bool toFile = setup.contains(u"file");
        send(*dlg, toFile);
        QCOMPARE(rec.texts, texts);
        QVERIFY2(rec.unpainted.isEmpty(), qPrintable(rec.unpainted.join(u'|')));
        // All that reached the line: the dialogs have written everything by the time they close.
        QCOMPARE(pty->settled().toHex(' '), toFile ? QByteArray() : sent.toHex(' '));
        const QString written = toFile && !sent.isEmpty() ? (elsewhere ? fallback() : salida()) : QString();
        QCOMPARE(testenv::readFile(salida()), written == salida() ? sent : kOldSalida);
        QVERIFY(written.isEmpty() || testenv::readFile(written) == sent);
        QCOMPARE(dlg->panel1ToolTip(), written);
        QCOMPARE(testenv::doubles().programs.endCount, bySignal ? 1 : 0);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // The window's buttons open the dialogs modally over the window's own port, the focus on "Enviar": Return sends.
    // A port that failed at start-up, or by a hang-up in a send, with the sign back on a new pseudo-terminal behind
    // the same link (as a restarted tivor-sign puts it), is opened again with no box; the window's advice and first
    // panel follow it.
    void windowCommands_data()
    {
        const testenv::Table<QString, QString, QByteArray> row; // command, port, sent
        row("cmdTx", "cmdTx", "open", kHola);
        row("Command1", "Command1", "open", kClock);
        row("cmdTx, port failed at start-up", "cmdTx", "failed at start-up", kHola);
        row("Command1, after a hang-up", "Command1", "hung up", kClock);
    }
    void windowCommands()
    {
        const auto [command, port, sent] = testenv::Table<QString, QString, QByteArray>::fetch();
        const QString link = dir.filePath(QStringLiteral("cartel"));
        QFile::remove(link);
        QVERIFY(port == u"failed at start-up" || QFile::link(pty->slavePath(), link));
        start(link, port == u"hung up" ? "100" : "10");
        testpty::Pty back; // the sign's end after the port was lost
        if (port == u"hung up") {
            pty->hangUpAfter(2); // 300 ms before the send could end
            send(*main->makeDateDialog());
        }
        if (port != u"open") {
            QVERIFY(!main->MSComm1.PortOpen() && (QFile::remove(link) || port != u"hung up") &&
                    QFile::link(back.slavePath(), link));
            main->status().setStatusPanel(1, QString()); // so that only the opening again can write it
        }
        QString focused; // "modal" and the focused widget's name
        testenv::onNextModal([&](QWidget* w) {
            // The focus comes with the dialog's activation, which a loaded machine delivers a moment later.
            if (!QTest::qWaitFor([w] { return w->focusWidget() != nullptr; }))
                return void(w->close());
            focused = (w->isModal() ? "modal " : "") + w->focusWidget()->objectName();
            // Posted, as a real key press arrives: not from inside the timer that found the dialog.
            QMetaObject::invokeMethod(
                w, [w] { QTest::keyClick(w->focusWidget(), Qt::Key_Return); }, Qt::QueuedConnection);
        });
        QTest::mouseClick(main->findChild<QToolButton*>(command), Qt::LeftButton);
        QCOMPARE(focused, QStringLiteral("modal cmdOK"));
        const bool advice = main->findChild<QLabel*>("lblInicio")->text().contains("tivor-sign");
        QCOMPARE(main->status().statusPanel(1) + (advice ? " / no se pudo abrir" : ""), link + ": 9600");
        QCOMPARE((port == u"open" ? pty.get() : &back)->settled(), sent);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Before anything is sent: the length and time the page being typed would take, nothing built for it. Stored
    // delays outside the lists, as Opciones stores typed ones, are named with the default that stands for them
    // and paces the send: the time counts 5 x 200 + 22 x 5 ms.
    void estimate()
    {
        start(QString(), "11", "5");
        QVERIFY(editorkit::run(*main, "txtMensaje ADIOS"));
        // The dialog on the window's port and message, with settings the test changes as it goes.
        LineSettings line = main->lineSettings();
        DelaysInForce delays;
        const auto shown = [&](bool toFile) {
            frmSend dlg({main->MSComm1, line, delays, testenv::doubles().clock},
                        {[this] { return main->shownMessage(); }, [](const Message&) {}}, dir.path(), main.get());
            dlg.findChild<QCheckBox*>(QStringLiteral("chkFile"))->setChecked(toFile);
            const QLabel* label = dlg.findChild<QLabel*>(QStringLiteral("lblEstimado"));
            return label->isHidden() ? QStringLiteral("(hidden)") : label->text();
        };
        QCOMPARE(shown(false), "Tiempo estimado de envio: 1,1 s (27 bytes)\nDY1 \"11\" no esta en la lista: se usa "
                               "200 ms\nDY2 \"5\" no esta en la lista: se usa 5 ms");
        QCOMPARE(shown(true), "Al archivo: 27 bytes, sin esperas");
        QVERIFY(main->editor().message().text[1] == u"HOLA");
        line.dy1 = QStringLiteral("200");
        line.dy2 = QStringLiteral("05");
        for (int i = 1; i <= 64; ++i)
            main->editor().message().text[i] = QString(200, u'x');
        const QString cut = " (8002 bytes)\nEl mensaje pasa de 8000 bytes: sus ultimos 4688 bytes no se envian";
        QCOMPARE(shown(false), "Tiempo estimado de envio: 41,0 s" + cut);
        line.dy2 = QStringLiteral("90");
        QCOMPARE(shown(false), "Tiempo estimado de envio: 12 min 00 s" + cut);
    }

    // A send leaves the pages it sent padded to the sign's line in the model, so a save after it writes them so;
    // the page on screen is taken from its field again as the save starts.
    void saveAfterSend()
    {
        start();
        QVERIFY(editorkit::run(*main, "Y;cmdPagDwn;txtMensaje B;cmdPagFirst"));
        send(*main->makeSendDialog(), true);
        QCOMPARE(editorkit::modelString(*main), QStringLiteral("1,4,2,      HOLA      |0,0,0,B               "));
        QVERIFY(editorkit::run(*main, "<sent.mnm>;Grabar", dir.path()));
        QCOMPARE(testenv::readFile(dir.filePath("sent.mnm")), "1,4,2,\"HOLA\"\r\n0,0,0,\"B               \"\r\n");
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // A write that fails half-way in the program's folder and in the user's data folder (a file-size limit, which
    // even root meets) reports failure with each place and the system's reason.
    void salidaFailedWrite()
    {
        QString error;
        {
            testenv::FileSizeLimit limit(1000);
            QVERIFY(writeSalida(dir.path(), QByteArray(3000, 'x'), &error).isEmpty());
        }
        const QString reason = QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EFBIG));
        QCOMPARE(error, salida() + reason + u'\n' + fallback() + reason);
        QFile::remove(fallback());
    }

    // The label runs with the clock; "Enviar" shows and sends the moment of the click. With the program's own
    // timing the outcome then stays on the screen a whole second before the dialog closes.
    void clockRuns()
    {
        start();
        testenv::doubles().clock.waitScale = 1.0;
        const auto dlg = main->makeDateDialog();
        auto* label = dlg->findChild<QLabel*>(QStringLiteral("Label4"));
        qint64 shownNs = 0;
        connect(dlg.get(), &TxDialog::panel1Changed, this, [&shownNs](const QString& t) {
            if (t == u"Mensaje enviado OK!")
                shownNs = testpty::nowNs();
        });
        testenv::doubles().clock.time = QDateTime(QDate(2026, 3, 1), QTime(9, 7, 23)); // 20 s on
        QTRY_COMPARE(label->text(), QStringLiteral("Hora 09:07:23  Fecha 01/03/26"));
        testenv::doubles().clock.time = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
        send(*dlg);
        QVERIFY(shownNs && testpty::nowNs() - shownNs >= 1000 * 1000000);
        QCOMPARE(label->text(), QStringLiteral("Hora 23:59:59  Fecha 31/12/26"));
        QCOMPARE(pty->settled(), hex("572D4E5439B0 235959311226 0101"));
    }
};

QTEST_MAIN(TestTxDialogs)
#include "tst_txdialogs.moc"
