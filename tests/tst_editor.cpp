// The page editor of the real main window: page commands, keys and drops, the fields against the model, the
// status line; the real tivor process's command line, the empty window's hint, the preview for screen readers.
#include "support/EditorKit.h"
#include "support/Pty.h"

#include "gui/preview/LedMatrix.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <csignal>

using namespace editorkit;

class TestEditor : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

    // Pages as "effect,pause,align,text" joined by '|', opened from a real file; "-" opens no message.
    void setUp(const QString& pages)
    {
        QByteArray bytes;
        for (const QString& page : pages.split(u'|'))
            bytes += (page.section(u',', 0, 2) + ",\"" + page.section(u',', 3) + "\"\r\n").toLatin1();
        QVERIFY(testenv::writeFile(dir.filePath("T.TXT"), "uno\ndos\n"));
        QVERIFY(pages == QLatin1String("-") ||
                (testenv::writeFile(dir.filePath("p.mnm"), bytes) && run(*w, "<p.mnm>;Cargar", dir.path())));
    }

private slots:
    void init() { w = freshWindow(dir); }
    void cleanup() { w.reset(); }

    // Each row: the pages, the steps, and the editor's state, the model and the boxes shown afterwards.
    void pageEditing_data()
    {
        const testenv::Table<QString, QString, QString> row;
        QStringList full;
        for (int i = 1; i <= MaxPages; ++i)
            full << QStringLiteral("0,0,0,P%1").arg(i);
        const QString p64 = full.join(u'|');
        const QString abc = QStringLiteral("0,0,0,A|0,0,0,B|0,0,0,C");
        row("no message open", "-", "optCenter", "closed 1 de 1 [] e0 p0x C # 0,0,0, # ");
        row("moving takes the fields", "0,0,0,A|0,0,0,B", "txtMensaje A2;cboEfe 3;cboPausa 4;optCenter;clean;cmdPagDwn",
            "2 de 2 [B] e0 p0x L # 3,4,2,A2|0,0,0,B # ");
        row("previous on 1", p64, "clean;cmdPagUp", "1 de 64 [P1] e0 p0x L # " + p64 + " # ");
        row("next on 64", p64, "txtGoto 64;cmdGtoPag;clean;cmdPagDwn", "64 de 64 [P64] e0 p0x L # " + p64 + " # ");
        row("insert into 64 pages", p64, "txtGoto 64;cmdGtoPag;clean;cmdInsertar",
            "64 de 64 [P64] e0 p0x L # " + p64 + " # ");
        row("next on the last page, yes", "0,0,0,A|0,0,0,B", "cmdPagLast;cboEfe 2;Y;cmdPagDwn",
            "3 de 3 [] e0 p0x L * # 0,0,0,A|2,0,0,B|0,0,0, # Nueva Pagina");
        row("next on the last page, no", "0,0,0,A|0,0,0,B", "cmdPagLast;cboEfe 2;N;cmdPagDwn",
            "2 de 2 [B] e2 p0 L * # 0,0,0,A|2,0,0,B # Nueva Pagina");
        row("insert takes the typed page first", "0,0,0,A|1,2,2,B|3,4,0,C", "cmdPagDwn;txtMensaje X;Y;cmdInsertar",
            "2 de 4 [] e0 p0x L * # 0,0,0,A|0,0,0,|1,2,2,X|3,4,0,C # Insertar");
        row("delete shows the page before", abc + "|0,0,0,D", "txtGoto 3;cmdGtoPag;txtMensaje lost;Y;cmdBorro",
            "2 de 3 [B] e0 p0x L * # 0,0,0,A|0,0,0,B|0,0,0,D # Borrar");
        row("delete page 1", "0,0,0,A|1,2,0,B", "Y;cmdBorro", "1 de 1 [B] e1 p2 L * # 1,2,0,B # Borrar");
        row("Rotacion takes no pause", "1,2,0,A", "cboEfe 0", "1 de 1 [A] e0 p2x L * # 1,2,0,A # ");
        row("the only page is not deleted", "0,0,0,A", "cmdBorro", "1 de 1 [A] e0 p0x L # 0,0,0,A # ");
        row("answered no", abc, "cmdPagDwn;clean;N;cmdInsertar;N;cmdBorro",
            "2 de 3 [B] e0 p0x L # " + abc + " # Insertar,Borrar");
        // The keys: the page keys press the page buttons (also from the text field), the others the menu items.
        row("Page Down", abc, "^PgDown", "2 de 3 [B] e0 p0x L # " + abc + " # ");
        row("Ctrl+End, Page Up, Ctrl+Home", abc, "^Ctrl+End;txtMensaje Z;^PgUp;^Ctrl+End;^Ctrl+Home",
            "1 de 3 [A] e0 p0x L * # 0,0,0,A|0,0,0,B|0,0,0,Z # ");
        row("Ctrl+N", "-", "^Ctrl+N", "1 de 1 [] e0 p0x L # 0,0,0, # ");
        row("Ctrl+O", "0,0,0,A", "txtMensaje Z;N;<p.mnm>;^Ctrl+O", "1 de 1 [A] e0 p0x L # 0,0,0,A # Grabar");
        row("Ctrl+W", "0,0,0,A", "txtMensaje Z;N;^Ctrl+W", "closed 1 de 1 [Z] e0 p0x L * # 0,0,0,A # Grabar");
        row("Ctrl+S", "0,0,0,A", "txtMensaje Z;^Ctrl+S", "1 de 1 [Z] e0 p0x L # 0,0,0,Z # ");
        row("Ctrl+Shift+S", "0,0,0,A", "dirty;<q.mnm>;^Ctrl+Shift+S", "1 de 1 [A] e0 p0x L # 0,0,0,A # ");
        row("Ctrl+I", "0,0,0,A", "<p.mnm>;^Ctrl+I",
            "1 de 1 [0,0,0,\"A\"       ] e0 p0x L * # 0,0,0,0,0,0,\"A\"        # ");
        row("Ctrl+Q", "0,0,0,A", "dirty;N;^Ctrl+Q", "1 de 1 [A] e0 p0x L * # 0,0,0,A # Grabar");
        // Drops: a message file opens as Open does, a text file is imported into the open message, others are refused.
        row("drop over changes", "0,0,0,A", "txtMensaje Z;N;+p.mnm", "1 de 1 [A] e0 p0x L # 0,0,0,A # Grabar");
        row("drop unreadable", "-", "+nada.mnm", "1 de 1 [] e0 p0x L # 0,0,0, # ");
        row("drop text", "0,0,0,A", "+T.TXT",
            "1 de 2 [uno             ] e0 p0x L * # 0,0,0,uno             |0,0,0,dos              # ");
        row("drop refused", "0,0,0,A", "+x.png", "1 de 1 [A] e0 p0x L # 0,0,0,A # ");
        // Codes a file can hold but the lists cannot: shown as an extra entry and kept until another is picked.
        const QString odd = QStringLiteral("0,0,0,A|200,20,0,B|13,0,0,C");
        row("Codigo entries", odd, "cmdPagDwn", "2 de 3 [B] e13=Codigo 200 p9=Codigo 20x L # " + odd + " # ");
        row("Codigo to Codigo", odd, "cmdPagDwn;cmdPagDwn", "3 de 3 [C] e13=Codigo 13 p0x L # " + odd + " # ");
        row("listed effect picked", odd, "cmdPagDwn;cboEfe 1;cmdPagFirst",
            "1 de 3 [A] e0 p0x L * # 0,0,0,A|1,20,0,B|13,0,0,C # ");
        row("Codigo changed", "0,0,0,X|200,0,0,X|201,0,0,X", "cmdPagDwn;clean;cmdPagDwn",
            "3 de 3 [X] e13=Codigo 201 p0x L # 0,0,0,X|200,0,0,X|201,0,0,X # ");
        // The clock effects write a placeholder and lock the text; a stored clock page shows its own text.
        row("Fecha", "0,0,0,A", "cboEfe 12", "1 de 1 [Fecha 12/07/07 ]x e12 p0x L * # 0,0,0,A # ");
        row("Hora taken", "0,0,0,A|1,0,0,B", "cboPausa 3;cboEfe 11;cmdPagDwn",
            "2 de 2 [B] e1 p0 L * # 11,3,0, Hora 00:00:00 |1,0,0,B # ");
        row("effect 10", "10,0,0,A|11,0,0,otro", "", "1 de 2 [A] e10 p0 L # 10,0,0,A|11,0,0,otro # ");
        row("stored clock page", "10,0,0,A|11,0,0,otro", "cmdPagDwn",
            "2 de 2 [otro]x e11 p0x L # 10,0,0,A|11,0,0,otro # ");
        // Alignment: anything but 0 shows centred; 1 is rewritten at once, 255 only when the page is taken (then the
        // options choose one of the two again).
        // Only the operator's changes mark the message changed ("*"): showing a page changes nothing.
        row("alignment 1", "0,0,0,A|0,0,1,B", "cmdPagDwn", "2 de 2 [B] e0 p0x - # 0,0,0,A|0,0,1,B # ");
        row("alignment 255", "0,0,2,A|0,0,255,B", "cmdPagDwn", "2 de 2 [B] e0 p0x - # 0,0,2,A|0,0,255,B # ");
        row("picked after neither", "0,0,2,A|0,0,255,B", "cmdPagDwn;optCenter;optLeft",
            "2 de 2 [B] e0 p0x L * # 0,0,2,A|0,0,0,B # ");
        row("centre writes at once", "0,0,0,A", "clean;optCenter", "1 de 1 [A] e0 p0x C * # 0,0,2,A # ");
        row("left writes at once", "0,0,2,A", "clean;optLeft", "1 de 1 [A] e0 p0x L * # 0,0,0,A # ");
        // Go to: rounded to nearest (ties to even), leading blanks and a sign allowed, the number ends at the first
        // other character; anything that is not a page of the message leaves page 4 shown.
        const QString p5 = QStringLiteral("0,0,0,P1|0,0,0,P2|0,0,0,P3|0,0,0,P4|0,0,0,P5");
        for (const auto& [typed, page] :
             {std::pair{"3", 3}, {"0", 4},    {"6", 4},   {"abc", 4},   {"", 4},     {"2.5", 2}, {"3.5", 4},
              {"2.6", 3},        {"1.4", 1},  {"0.5", 4}, {" 5x", 5},   {"\t+1", 1}, {"-1", 4},  {"0.2e1", 2},
              {"20e-1", 2},      {".5e1", 5}, {"3e", 3},  {"1e999", 4}, {"2,9", 2},  {"1 5", 1}}) {
            row(qPrintable(QStringLiteral("go to '%1'").arg(typed)), p5,
                QStringLiteral("txtGoto 4;cmdGtoPag;txtGoto %1;cmdGtoPag").arg(typed),
                QStringLiteral("%1 de 5 [P%1] e0 p0x L # ").arg(page) + p5 + " # ");
        }
    }
    void pageEditing()
    {
        auto [pages, script, expected] = testenv::Table<QString, QString, QString>::fetch();
        setUp(pages);
        QVERIFY(run(*w, script, dir.path()));
        static const QMap<QString, QString> texts = {{"Nueva Pagina", "No hay mas Paginas\rDesea Agregar una Nueva?"},
                                                     {"Insertar", "Desea Insertar una Pagina ?"},
                                                     {"Borrar", "Desea Borrar Pagina ?"},
                                                     {"Grabar", "Hay cambios Realizados\rDesea Grabar el Mensaje?"}};
        QStringList titles;
        for (const auto& box : testenv::doubles().prompter.shown) {
            titles << box.title;
            QCOMPARE(box.text, texts.value(box.title));
            QVERIFY(box.buttons == MsgButtons::YesNo &&
                    box.icon == (box.title == QLatin1String("Borrar") ? MsgIcon::Critical : MsgIcon::Information));
        }
        QCOMPARE(state(*w) + " # " + modelString(*w) + " # " + titles.join(u','), expected);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // Typing stops at 255 characters; a longer text from a file is shown and taken back whole.
    void longTexts()
    {
        setUp("0,0,0,A");
        QTest::keyClicks(txtMensaje(*w), QString(300, u'x'));
        QCOMPARE(txtMensaje(*w)->text(), "A" + QString(254, u'x'));
        QString& text = w->editor().message().text[1];
        text = QString(40000, u'y'); // longer than a text field holds by default
        w->editor().RefMensaje();
        w->editor().TomoActual();
        QCOMPARE(text.size(), 40000);
        QVERIFY(run(*w, "txtMensaje yy")); // the start of the long text, typed: that is what counts
        w->editor().TomoActual();
        QCOMPARE(text, QStringLiteral("yy"));
        // What is deleted from a long text stays deleted, and typing over it stops at 255 again.
        text = QString(300, u'y');
        w->editor().RefMensaje();
        QTest::keyClick(txtMensaje(*w), Qt::Key_Backspace);
        QTest::keyClick(txtMensaje(*w), Qt::Key_Z);
        w->editor().TomoActual();
        QCOMPARE(text, QString(299, u'y'));
        txtMensaje(*w)->selectAll();
        QTest::keyClicks(txtMensaje(*w), QString(300, u'x'));
        QCOMPARE(txtMensaje(*w)->text(), QString(255, u'x'));
    }

    // The prefixes and the beeps through the wait seam; then in real time: a message stays 5000 ms from the end of
    // its half-second wait (timers may fire up to 5% early; never seconds early), and a tick that falls due during
    // that wait runs inside it and clears the message at once.
    void statusLine()
    {
        for (const auto& [tipo, prefix] : {std::pair{0, "PGM: "}, {1, "COM: "}, {2, ""}, {3, "ERR: "}, {255, ""}}) {
            w->status().TypeMsg(MsgKind(tipo), QStringLiteral("listo"));
            QCOMPARE(w->status().statusPanel(3), prefix + QStringLiteral("listo"));
        }
        w->status().TypeErr(QStringLiteral("mal"));
        QCOMPARE(w->status().statusPanel(3) + QString::number(testenv::doubles().prompter.beeps), "ERR: mal2");

        testenv::doubles().clock.waitScale = 1.0;
        QElapsedTimer clock;
        clock.start();
        w->status().TypeMsg(MsgKind::Program, QStringLiteral("dos"));
        const qint64 waited = clock.elapsed();
        QVERIFY(waited >= 500);
        QTRY_COMPARE_WITH_TIMEOUT(w->status().statusPanel(3), QString(), 7000);
        QVERIFY(clock.elapsed() - waited >= 4750);
        QVERIFY(!w->status().Timer1.isActive());
        w->status().Timer1.start(100);
        w->status().TypeMsg(MsgKind::Program, QStringLiteral("breve"));
        QCOMPARE(w->status().statusPanel(3), QString());
        QVERIFY(w->status().Timer1.isActive());
    }

    // "status|first line of standard output|the program's lines of standard error"; a program that keeps its
    // window open is hung up on once it has said what came of the file ("running"). --help and --version need no
    // display.
    void commandLine_data()
    {
        const testenv::Table<QString, QString> row;
        row("version", "--version", "0|tivor " TIVOR_TEST_VERSION " (Tivor " TIVOR_TEST_VERSION_TEXT ")|");
        row("help", "x.mnm -h", "0|Uso: tivor [ARCHIVO.mnm]|");
        row("unknown option", "--nada", "2||tivor: opcion desconocida '--nada' (ver tivor --help)");
        row("two files", "p.mnm p.mnm", "2||tivor: se abre un solo archivo de mensajes (ver tivor --help)");
        row("file read", "p.mnm", "running||tivor.archivos: %1/p.mnm abierto: 2 paginas");
        row("file named like an option, after --", "-- -p.mnm",
            "running||tivor.archivos: %1/-p.mnm abierto: 2 paginas");
        row("file missing", "nada.mnm",
            "running||tivor.archivos: %1/nada.mnm no se pudo leer: Error en Archivo de Mensaje");
        row("endless file", "/dev/zero", "running||tivor.archivos: /dev/zero es demasiado grande (mas de 64 MB)");
    }
    void commandLine()
    {
        auto [arguments, expected] = testenv::Table<QString, QString>::fetch();
        const bool running = expected.startsWith(u"running");
        testpty::Pty pty; // the sign's port, so start-up has no error box to answer
        for (const char* name : {"p.mnm", "-p.mnm"})
            QVERIFY(testenv::writeFile(dir.filePath(name), "0,0,0,\"A\"\r\n1,4,2,\"B\"\r\n"));
        QVERIFY(QDir().mkpath(dir.filePath("config/Tivor")));
        QVERIFY(testenv::writeFile(dir.filePath("config/Tivor/Tivor.conf"),
                                   "[COM]\nPort=" + pty.slavePath().toUtf8() + '\n'));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            if (expected.startsWith(u"0|")) // no display at all
                env.remove(name);
        QProcess tivor;
        tivor.setProcessEnvironment(env);
        tivor.setWorkingDirectory(dir.path()); // file names are taken from where tivor starts
        tivor.start(TIVOR_PROGRAM, arguments.split(u' '));
        QString err;
        const auto ownLines = [&] { return err.split(u'\n').filter(QStringLiteral("tivor")).join(u'\n'); };
        // A read without a bound must fail here, not take the memory of the machine running the tests, so the
        // wait ends early once the program has held 1 GB.
        const auto peakKb = [&] { return testenv::peakMemoryKb(tivor.processId()); };
        if (running) {
            QTRY_VERIFY_WITH_TIMEOUT(
                (err += tivor.readAllStandardError(), !ownLines().isEmpty() || peakKb() > (1 << 20)), 20000);
            QVERIFY2(peakKb() < 512 * 1024, qPrintable(QStringLiteral("%1 kB held").arg(peakKb())));
            ::kill(pid_t(tivor.processId()), SIGHUP);
        }
        QVERIFY(tivor.waitForFinished(20000));
        err += tivor.readAllStandardError();
        // Ended by the signal it was sent, after closing as a session's end closes it, so its parent learns why.
        const bool hungUp = tivor.exitStatus() == QProcess::CrashExit && tivor.exitCode() == SIGHUP;
        const QString status = running ? (hungUp ? QStringLiteral("running") : QStringLiteral("not ended by SIGHUP"))
                                       : QString::number(tivor.exitCode());
        QCOMPARE(status + u'|' + QString(tivor.readAllStandardOutput()).section(u'\n', 0, 0) + u'|' + ownLines(),
                 QString(expected).replace(QStringLiteral("%1"), dir.path()));
    }

    // While no message is open the window says how to start, and here, where the port cannot be opened, how to
    // choose one or try without a sign (the send dialog tests have the port and no such advice).
    void emptyWindowHint()
    {
        w->show();
        auto* hint = child<QLabel>(*w, "lblInicio");
        QVERIFY(hint->text().contains("tivor-sign"));
        QList<bool> shown{hint->isVisible()};
        for (const char* command : {"Nuevo", "cerrar"})
            shown << (run(*w, command) && hint->isVisible());
        QCOMPARE(shown, QList<bool>({true, false, true}));

        // The advice and the first panel follow the port: Opciones opens one. (A dialog that opens a lost port
        // again does the same: tst_txdialogs, windowCommands.)
        testpty::Pty sign;
        testenv::onNextModal([&](QWidget* dlg) {
            if (!run(*dlg, "cboPort " + sign.slavePath() + ";cboWNT 10;cboChar 01;cmdOK"))
                dlg->close();
        });
        QVERIFY(run(*w, "Opciones"));
        QCOMPARE(w->status().statusPanel(1) + (hint->text().contains("tivor-sign") ? " / no se pudo abrir" : ""),
                 sign.slavePath() + ": 9600");
    }

    // What a screen reader says of the preview: the line as the sign will show it, then what the sign changes.
    void previewForScreenReaders_data()
    {
        const testenv::Table<QString, QString> row;
        row("centred, pause last", "cboEfe 1;txtMensaje HOLA;optCenter;cboPausa 4",
            "El cartel mostrara \"HOLA\" centrado, con el efecto Estatico y pausa 5.");
        row("a full line centred last", "cboEfe 1;txtMensaje 0123456789ABCDEF;optCenter",
            "El cartel mostrara \"0123456789ABCDEF\" centrado, con el efecto Estatico y pausa 1.");
        row("changed and cut", "cboEfe 1;cboPausa 8;txtMensaje Mañana, 3 € y mas",
            "El cartel mostrara \"Mañana, 3 # y ma\" a la izquierda, con el efecto Estatico y pausa 9.\n"
            "\"€\" no existe en el cartel: se vera \"#\"\nCon este efecto solo se envian 16 caracteres: no se envia "
            "\"s\"");
        row("no pause", "txtMensaje hola", "El cartel mostrara \"hola\" a la izquierda, con el efecto Rotacion.");
        row("clock", "cboEfe 11", "El cartel mostrara la hora de su reloj.");
        row("empty", "", "Pagina vacia: el cartel no mostrara texto.");
    }
    void previewForScreenReaders()
    {
        auto [script, expected] = testenv::Table<QString, QString>::fetch();
        QVERIFY(run(*w, "Nuevo;" + script));
        QAccessibleInterface* preview = QAccessible::queryAccessibleInterface(w->findChild<LedMatrix*>("ledPreview"));
        QCOMPARE(preview->text(QAccessible::Name) + u'|' + preview->text(QAccessible::Description),
                 "Vista previa del cartel|" + expected);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
