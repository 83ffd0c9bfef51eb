// Tivor as a desktop program: the real tivor process and its command line, files dropped on the real window,
// the hint of the empty window, and what the preview tells a screen reader.
#include "platform/SettingsStore.h"
#include "preview/LedMatrix.h"
#include "support/EditorKit.h"
#include "support/Pty.h"

#include <QAccessible>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>

using namespace editorkit;

class TestDesktop : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<FrmMain> w;

private slots:
    void init()
    {
        QVERIFY(testenv::writeFile(dir.filePath("p.mnm"), "0,0,0,\"A\"\r\n1,4,2,\"B\"\r\n"));
        QVERIFY(testenv::writeFile(dir.filePath("T.TXT"), "uno\ndos\n"));
    }
    void cleanup() { w.reset(); }

    // "status|first line of standard output|the program's lines of standard error"; a program that keeps its
    // window open is ended once it has said what came of the file ("running"). --help and --version need no display.
    void commandLine_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version") << "--version" << "0|tivor 1.0.8 (Tivor v1.8)|";
        QTest::newRow("help") << "x.mnm -h" << "0|Uso: tivor [ARCHIVO.mnm]|";
        QTest::newRow("unknown option") << "--nada" << "2||tivor: opcion desconocida '--nada' (ver tivor --help)";
        QTest::newRow("two files") << "p.mnm p.mnm" << "2||tivor: se abre un solo archivo de mensajes (ver tivor --help)";
        QTest::newRow("file read") << "p.mnm" << "running||tivor.archivos: %1/p.mnm abierto: 2 paginas";
        QTest::newRow("file missing") << "nada.mnm"
                                      << "running||tivor.archivos: %1/nada.mnm no se pudo leer: Error en Archivo de Mensaje";
    }
    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const bool running = expected.startsWith(u"running");
        testpty::Pty pty; // the sign's port, so start-up has no error box to answer
        QVERIFY(QDir().mkpath(dir.filePath("config/Tivor")));
        QVERIFY(testenv::writeFile(dir.filePath("config/Tivor/Tivor.conf"), "[COM]\nPort=" + pty.slavePath().toUtf8() + '\n'));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(name);
        if (!expected.startsWith(u"0|"))
            env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess tivor;
        tivor.setProcessEnvironment(env);
        tivor.setWorkingDirectory(dir.path()); // file names are taken from where tivor starts
        tivor.start(TIVOR_PROGRAM, arguments.split(u' '));
        QString err;
        const auto ownLines = [&] { return QStringList(err.split(u'\n').filter(QRegularExpression("^tivor"))).join(u'\n'); };
        if (running) {
            QTRY_VERIFY_WITH_TIMEOUT((err += tivor.readAllStandardError(), !ownLines().isEmpty()), 20000);
            QCOMPARE(tivor.state(), QProcess::Running);
            tivor.kill();
        }
        QVERIFY(tivor.waitForFinished(20000));
        err += tivor.readAllStandardError();
        const QString status = running ? QStringLiteral("running") : QString::number(tivor.exitCode());
        QCOMPARE(status + u'|' + QString(tivor.readAllStandardOutput()).section(u'\n', 0, 0) + u'|' + ownLines(),
                 expected.arg(dir.path()));
    }

    // A file dropped on the window after the steps: the editor, the status line and the boxes afterwards.
    void drops_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("message, empty window") << "" << "p.mnm" << "1 de 2 [A] e0 p0x L # PGM: Mensaje cargado OK! # ";
        QTest::newRow("message over changes") << "Nuevo;txtMensaje Z;N" << "p.mnm"
                                              << "1 de 2 [A] e0 p0x L # PGM: Mensaje cargado OK! # Grabar";
        QTest::newRow("unreadable message") << "" << "nada.mnm" << "1 de 1 [] e0 p0x L # ERR: Error en Archivo de Mensaje # ";
        QTest::newRow("text into the message") << "Nuevo" << "T.TXT" << "1 de 2 [uno             ] e0 p0x L * # PGM: Mensaje importado OK! # ";
        QTest::newRow("text, no message") << "" << "T.TXT" << "closed 1 de 1 [] e0 p0x L # ERR: NO hay mensaje! # ";
        QTest::newRow("other file refused") << "Nuevo" << "p.png" << "1 de 1 [] e0 p0x L #  # ";
    }
    void drops()
    {
        QFETCH(QString, script);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        w = freshWindow(dir);
        run(*w, script);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dir.filePath(file))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &enter);
        if (enter.isAccepted())
            QCoreApplication::sendEvent(w.get(), &drop);
        QCoreApplication::processEvents();
        QStringList boxes;
        for (const auto& box : platform::testing::shownBoxes)
            boxes << box.title;
        QCOMPARE(state(*w) + " # " + w->statusPanel(3) + " # " + boxes.join(u','), expected);
        QVERIFY(testenv::noUnexpectedPrompts());
    }

    // While no message is open the window says how to start, and how to get a port when it has none.
    void emptyWindowHint()
    {
        for (bool portOpens : {false, true}) {
            testpty::Pty pty;
            testenv::reset(dir);
            if (portOpens)
                platform::SaveSetting("Tivor", "COM", "Port", pty.slavePath());
            platform::testing::queuedAnswers = {MsgAnswer::Ok}; // "Error #03" when it does not
            w = std::make_unique<FrmMain>();
            w->show();
            auto* hint = child<QLabel>(*w, "lblInicio");
            QVERIFY(hint->isVisible() && hint->text().contains("Nuevo Mensaje") && hint->text().contains("Abrir Mensaje"));
            QCOMPARE(hint->text().contains("Opciones &gt; Puerto de Comunicacion") + hint->text().contains("tivor-sign"),
                     portOpens ? 0 : 2);
            run(*w, "Nuevo");
            QVERIFY(!hint->isVisible());
            run(*w, "cerrar");
            QVERIFY(hint->isVisible());
        }
    }

    // What a screen reader says of the preview: the line as the sign will show it, then what the sign changes.
    void previewForScreenReaders_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("centred") << "cboEfe 1;cboPausa 4;txtMensaje HOLA;optCenter"
                                 << "El cartel mostrara \"HOLA\" centrado, con el efecto Estatico y pausa 5.";
        QTest::newRow("changed and cut") << "cboEfe 1;cboPausa 8;txtMensaje Mañana, 3 € y mas"
            << "El cartel mostrara \"Mañana, 3 # y ma\" a la izquierda, con el efecto Estatico y pausa 9.\n\"€\" no existe en "
               "el cartel: se vera \"#\"\nCon este efecto solo se envian 16 caracteres: no se envia \"s\"";
        QTest::newRow("no pause") << "txtMensaje hola" << "El cartel mostrara \"hola\" a la izquierda, con el efecto Rotacion.";
        QTest::newRow("clock") << "cboEfe 11" << "El cartel mostrara la hora de su reloj.";
        QTest::newRow("empty") << "" << "Pagina vacia: el cartel no mostrara texto.";
    }
    void previewForScreenReaders()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        w = freshWindow(dir);
        run(*w, "Nuevo;" + script);
        QAccessibleInterface* preview = QAccessible::queryAccessibleInterface(w->findChild<LedMatrix*>("ledPreview"));
        QCOMPARE(preview->text(QAccessible::Name) + u'|' + preview->text(QAccessible::Description),
                 "Vista previa del cartel|" + expected);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
