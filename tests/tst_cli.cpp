// tivor-cli as a real process on real files and a real pseudo-terminal: what only the command line shows
// (its exit statuses and one-line errors, show/dump/import, stored settings, its progress bar).
#include "support/CliKit.h"

#include <QRegularExpression>
#include <fcntl.h>

namespace
{
const QString kDelays = QStringLiteral("use una de: 01, 02, 05, 10, 20, 30, 40, 50, 60, 70, 80, 90");
} // namespace

using testenv::row;

class TestCli : public CliTest
{
    Q_OBJECT
private slots:
    // One line on standard error, nothing on standard output, and nothing on the line; %1 is the folder.
    void errors_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        row("no command", "", "2||Uso: tivor-cli COMANDO");
        // Help: the start of its text " ... " a line further on.
        const QString network =
            QStringLiteral(" ... Un cartel en la red: --port tcp://EQUIPO:PUERTO (TCP sin traducir; la "
                           "velocidad no se fija) o\n--port rfc2217://EQUIPO:PUERTO (telnet RFC 2217");
        row("send --help sends nothing", "send %1/hola.mnm --help", "0|Uso: tivor-cli send" + network);
        row("clock --help", "clock --help", "0|Uso: tivor-cli clock" + network);
        row("unknown command", "enviar", "2||tivor-cli: comando desconocido: 'enviar' (ver tivor-cli --help)");
        row("unknown option", "ports -x", "2||tivor-cli: ports: opcion desconocida '-x'");
        row("import without -o", "import a", "2||tivor-cli: import: falta -o MENSAJE.mnm, el archivo que se crea");
        row("bad moment", "clock --ahora ayer", "2||tivor-cli: --ahora 'ayer' no es una fecha valida");
        row("--dy2 5 is not 05", "send %1/hola.mnm --dy2 5",
            "2||tivor-cli: --dy2 '5' no es una demora aceptada; " + kDelays);
        row("--baud", "send %1/hola.mnm --baud rapido", "2||tivor-cli: --baud 'rapido' no es una velocidad valida");
        row("missing", "show %1/nada.mnm", "3||tivor-cli: %1/nada.mnm: no existe");
        row("effect over 255", "show %1/300.mnm", "3||tivor-cli: %1/300.mnm: no es un archivo de mensajes valido");
        row("dump without text", "dump %1/vacio.mnm -o %1/x.mnm",
            "3||tivor-cli: %1/vacio.mnm: Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)");
        row("output a folder", "import %1/uno.txt -o %1",
            "3||tivor-cli: %1: no se pudo escribir (%1 no es un archivo)");
        // Page 1 must show in the editor's lists, in the window and here alike.
        row("send, page 1 effect past the list", "send %1/p1.mnm",
            "3||tivor-cli: %1/p1.mnm: no es un archivo de mensajes valido (la pagina 1 tiene un efecto o una pausa "
            "fuera de las listas)");
        row("dump over a read-only file", "dump %1/hola.mnm -o %1/uno.txt",
            "3||tivor-cli: %1/uno.txt: es de solo lectura");
        // Outputs that are not regular files, or are the input itself by another name; inputs that cannot be read.
        for (const auto& [node, kind] : {std::pair{"fifo", "una FIFO"}, std::pair{"nul", "un dispositivo"}})
            QTest::addRow("dump onto %s", kind)
                << QStringLiteral("dump %1/hola.mnm -o %1/%2").arg("%1", node)
                << QStringLiteral("3||tivor-cli: %1/%2 es %3, no un archivo comun: no se reemplaza")
                       .arg("%1", node, kind);
        for (const char* output : {"hola.mnm", "./hola.mnm", "enlace.mnm", "duro.mnm"})
            for (const char* command : {"dump", "import"})
                QTest::addRow("%s onto its input as %s", command, output)
                    << QStringLiteral("%1 %2/hola.mnm -o %2/%3").arg(command, "%1", output)
                    << QStringLiteral("3||tivor-cli: %1/%2: es el mismo archivo que %1/hola.mnm; se perderia la "
                                      "entrada, no se escribe")
                           .arg("%1", output);
        for (const char* command : {"show", "dump", "send", "import"})
            QTest::addRow("%s from a FIFO without writer", command)
                << QStringLiteral("%1 %2/fifo%3").arg(command, "%1", qstrcmp(command, "import") ? "" : " -o %1/x.mnm")
                << "3||tivor-cli: %1/fifo: no se pudo abrir (es una FIFO sin nadie que escriba en ella)";
        row("link cycle", "show %1/ciclo",
            "3||tivor-cli: %1/ciclo: no se pudo abrir (los enlaces simbolicos forman un ciclo)");
        row("dump onto a link cycle", "dump %1/hola.mnm -o %1/ciclo",
            "3||tivor-cli: %1/ciclo: no se pudo crear (los enlaces simbolicos forman un ciclo)");
        // The second record is broken: the first must not reach the sign either.
        row("send, broken second record", "send %1/malo.mnm",
            "3||tivor-cli: %1/malo.mnm: no es un archivo de mensajes valido");
        // A ports file that names no sign, or cannot be read, sends to none.
        row("missing ports file", "send %1/hola.mnm --ports-file %1/nada.txt", "3||tivor-cli: %1/nada.txt: no existe");
        row("ports file without ports", "send %1/hola.mnm --ports-file %1/comentarios.txt",
            "3||tivor-cli: %1/comentarios.txt: no nombra ningun puerto (uno por linea; # comentarios)");
        row("a NUL in a ports file", "send %1/hola.mnm --ports-file %1/cero.txt",
            "2||tivor-cli: \"x\\x00y\" no es un puerto (tiene un caracter de control)");
        // A port text that can name no port is a usage error, whatever sign it was meant for.
        const QString form = QStringLiteral(" (se espera tcp://EQUIPO:PUERTO o rfc2217://EQUIPO:PUERTO)");
        for (const char* address : {"tcp://", "tcp://:99999", "tcp://[::1", "rfc2217://equipo", "tcp://equipo:0"})
            QTest::addRow("send --port %s", address)
                << QStringLiteral("send %1/hola.mnm --port ") + address
                << QStringLiteral("2||tivor-cli: %1: direccion de red no valida").arg(address) + form;
        row("unknown scheme", "send %1/hola.mnm --port tpc://x:1",
            "2||tivor-cli: tpc://x:1: esquema desconocido \"tpc\"" + form);
        row("control character in --port", "send %1/hola.mnm --port a\001b",
            "2||tivor-cli: \"a\\x01b\" no es un puerto (tiene un caracter de control)");
    }
    void errors()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QStringList args = arguments.replace(QStringLiteral("%1"), dir->path()).split(u' ', Qt::SkipEmptyParts);
        if (args.endsWith(path("nul")) && ::geteuid() != 0)
            QSKIP("making a device node needs root");
        const QString got = run(args);
        expected.replace(QStringLiteral("%1"), dir->path());
        const bool help = arguments.isEmpty() || arguments.endsWith(u"--help");
        QVERIFY2(help ? got.startsWith(expected.section(" ... ", 0, 0)) && got.contains(expected.section(" ... ", 1))
                      : got == expected + u'\n',
                 qPrintable(got));
        QVERIFY(!QFile::exists(path("x.mnm")));
        QVERIFY(pty->settle());
        QCOMPARE(pty->bytes(), QByteArray());
        QCOMPARE(testenv::readFile(path("hola.mnm")), "1,4,2,\"HOLA\"\r\n");
        for (const char* node : {"fifo", "nul"})
            QVERIFY(!QFileInfo(path(node)).isFile() && (QFileInfo::exists(path(node)) || ::geteuid() != 0));
    }

    // A FIFO whose writer has not written yet (a pipe from another program) is waited for, not refused.
    void showFromAFifoStillBeingWritten()
    {
        const int fifo =
            ::open(qPrintable(path("fifo")), O_RDWR | O_CLOEXEC); // the writer, open before tivor-cli reads
        QVERIFY(fifo >= 0);
        start({"show", path("fifo")});
        QVERIFY(process.waitForStarted());
        QFile wchan(QStringLiteral("/proc/%1/wchan").arg(process.processId()));
        QTRY_VERIFY((wchan.open(QIODevice::ReadOnly), wchan.seek(0), wchan.readAll().endsWith("pipe_read")));
        const QByteArray page = "1,4,2,\"HOLA\"\r\n";
        QVERIFY(::write(fifo, page.constData(), size_t(page.size())) == page.size() && ::close(fifo) == 0);
        QVERIFY(process.waitForFinished(10000) && process.exitCode() == 0);
        QVERIFY(process.readAllStandardOutput().contains("\"HOLA\""));
    }

    // Names from the lists, codes no list holds, a control character escaped.
    void show()
    {
        QVERIFY(testenv::writeFile(
            path("m.mnm"), "1,3,2,\"HOLA\"\r\n0,0,0,\"\xffSI\xff\"\r\n9,8,2,\"\xd1\"\r\n13,200,1,\"x\ty\"\r\n"));
        QCOMPARE(run({"show", path("m.mnm")}),
                 QStringLiteral("0|Pagina  Efecto         Pausa       Alineacion  Texto\n"
                                "     1  Estatico       4           centrado    \"HOLA\"\n"
                                "     2  Rotacion       1           izquierda   \"\"SI\"\"\n"
                                "     3  Mirilla  [16]  9           centrado    \"\u00d1\"\n"
                                "     4  codigo 13      codigo 200  codigo 1    \"x\\x09y\"\n|"));
    }

    // The bytes "Salida.txt" holds, on standard output or into a file; --hex one record a line; a full disk.
    void dump()
    {
        QVERIFY(testenv::writeFile(path("m.mnm"), "0,0,0,\"\xff@\xff\"\r\n1,8,0,\"abcdefghijklmnopq\"\r\n"));
        start({"dump", path("m.mnm")});
        QVERIFY(process.waitForFinished());
        const QByteArray expected = "\"W-NT9\xdf\xe0\x90\"\x1e\"\x80"
                                    "abcdefghijklmnop\xca\x01\x01\"\r\n";
        QCOMPARE(process.readAllStandardOutput().toHex(' '), expected.toHex(' '));
        QCOMPARE(run({"dump", path("m.mnm"), "-o", path("salida.txt")}), QStringLiteral("0||"));
        QCOMPARE(testenv::readFile(path("salida.txt")), expected);
        QVERIFY(testenv::writeFile(path("m.mnm"),
                                   "1,4,2,\"HOLA\"\r\n0,0,0,\"A\xf1o\"\r\n11,0,0,\"x\"\r\n12,0,0,\"x\"\r\n"));
        QCOMPARE(run({"dump", "--hex", path("m.mnm")}),
                 QStringLiteral("0|0000  57 2D 4E 54 39 DF E0                                   |W-NT9..|\n"
                                "0007  80 20 20 20 20 20 20 48 4F 4C 41 20 20 20 20 20 20 C6  |.      HOLA      .|\n"
                                "0019  90 41 15 6F                                            |.A.o|\n"
                                "001D  A0 A0 A0 A0 A0                                         |.....|\n"
                                "0022  A2 C3                                                  |..|\n"
                                "0024  01 01                                                  |..|\n|"));
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        QCOMPARE(run({"dump", path("m.mnm")}),
                 QStringLiteral("3||tivor-cli: no se pudo escribir la salida estandar (No space left on device)\n"));
        process.setStandardOutputFile(QString());
    }

    // Letters Windows-1252 lacks are saved as the sign shows them; what no byte can keep is named.
    void importNamesWhatTheFileCannotKeep()
    {
        QVERIFY(testenv::writeFile(path("t.txt"), "\xc5\x81\xc3\xb3"
                                                  "d\xc5\xba \xe4\xb8\xad\n"));
        QCOMPARE(run({"import", path("t.txt"), "-o", path("t.mnm")}),
                 QStringLiteral(
                     "0||tivor-cli: %1: caracteres que el archivo no puede guardar, escritos como \"?\": \u4e2d\n")
                     .arg(path("t.mnm")));
        QCOMPARE(testenv::readFile(path("t.mnm")), "0,0,0,\"L\xf3"
                                                   "dz ?          \"\r\n");
    }

    // Raw sign bytes are not written to a terminal.
    void dumpToATerminal()
    {
        testpty::Pty terminal;
        const QByteArray device = QFile::encodeName(terminal.slavePath());
        const auto stdoutOnTerminal = [device] { ::dup2(::open(device.constData(), O_RDWR | O_NOCTTY), 1); };
        QCOMPARE(run({"dump", path("hola.mnm")}, stdoutOnTerminal),
                 "2||tivor-cli: dump: la salida estandar es una terminal; use --hex para verla o -o ARCHIVO para "
                 "guardarla\n");
    }

    // Options go over the stored settings, which are read and never written; without options the stored port and
    // delays pace the send (its last byte not before the sum of the waits), and stored delays outside the lists (as
    // Opciones stores typed ones) are warned about and the default ones used. Settings that cannot be read (a
    // folder, a FIFO, a link cycle) are said to be so, and the defaults are used (the options here go over them).
    void storedSettings_data()
    {
        QTest::addColumn<QString>("stored"); // the text of the settings file, or what is there instead
        QTest::addColumn<bool>("options");
        QTest::addColumn<QString>("said"); // on standard error; %1 is the settings file
        QTest::addColumn<int>("ms");       // the least the send takes: the sum of its waits (71 with fast())
        const QString unread = QStringLiteral(
            "tivor-cli: no se pudieron leer las opciones guardadas (%1%2); se usan los valores por omision\n");
        row("options over them", "[COM]\nPort=/dev/nada\n[PGM]\nDY1=500\nDY2=90\n", true, "", 71);
        row("stored port and delays", "[COM]\nPort=%P\nBaud=19200\n[PGM]\nDY1=50\nDY2=10\n", false, "",
            5 * 50 + 21 * 10);
        row("stored delays outside the lists", "[COM]\nPort=%P\n[PGM]\nDY1=11\nDY2=5\n", false,
            "tivor-cli: aviso: el valor guardado DY1 '11' no es una demora aceptada; se envia con 200 ms\ntivor-cli: "
            "aviso: el valor guardado DY2 '5' no es una demora aceptada; se envia con 5 ms\n",
            5 * 200 + 21 * 5);
        row("a folder", "folder", true, unread.arg("%1", " es una carpeta"), 71);
        row("a FIFO", "fifo", true, unread.arg("%1", ": es una FIFO sin nadie que escriba en ella"), 71);
        row("a link cycle", "cycle", true, unread.arg("%1", ": los enlaces simbolicos forman un ciclo"), 71);
    }
    void storedSettings()
    {
        QFETCH(QString, stored);
        QFETCH(bool, options);
        QFETCH(QString, said);
        QFETCH(int, ms);
        const QString conf = path("config/Tivor/Tivor.conf");
        const QByteArray text = QString(stored).replace(QStringLiteral("%P"), pty->slavePath()).toUtf8();
        QVERIFY(QFile::remove(conf));
        QVERIFY(stored == u"folder"  ? QDir().mkdir(conf)
                : stored == u"fifo"  ? ::mkfifo(qPrintable(conf), 0600) == 0
                : stored == u"cycle" ? QFile::link(conf, conf)
                                     : testenv::writeFile(conf, text));
        const qint64 startNs = testpty::nowNs();
        QCOMPARE(run(QStringList{"send", path("hola.mnm")} + (options ? fast() : QStringList())),
                 "0||" + said.replace(QStringLiteral("%1"), conf));
        QVERIFY(pty->waitForBytes(27, 2000));
        QCOMPARE(pty->bytes().toHex(' '), kHola.toHex(' '));
        QVERIFY(pty->received().back().ns - startNs >= ms * qint64(1000000));
        QVERIFY(!stored.startsWith(u'[') || testenv::readFile(conf) == text);
    }

    // With standard error on a terminal: a bar redrawn in place, its bytes counting up to a full bar at the
    // last one, and a line end.
    void progressBarOnATerminal()
    {
        testpty::Pty terminal;
        const QByteArray device = QFile::encodeName(terminal.slavePath());
        const auto stderrOnTerminal = [device] { ::dup2(::open(device.constData(), O_RDWR | O_NOCTTY), 2); };
        QCOMPARE(run(QStringList{"send", path("hola.mnm")} + fast(), stderrOnTerminal), QStringLiteral("0||"));
        QVERIFY(terminal.settle());
        const QString shown = QString::fromUtf8(terminal.bytes());
        QVERIFY2(shown.startsWith(u'\r') && shown.endsWith(u'\n'), qPrintable(shown));
        const QStringList draws = shown.chopped(1).split(u'\r', Qt::SkipEmptyParts);
        static const QRegularExpression drawn(
            QStringLiteral("^\\[[#-]{30}\\] +\\d+% (\\d+)/27 bytes, quedan \\d+:\\d\\d $"));
        for (int i = 0, before = 0; i < draws.size(); before = drawn.match(draws[i++]).captured(1).toInt())
            QVERIFY2(drawn.match(draws[i]).captured(1).toInt() > before, qPrintable(draws[i]));
        QVERIFY2(draws.last().startsWith("[" + QString(30, u'#') + "] 100% 27/27 bytes"), qPrintable(shown));
        // Two signs: one line each, the block redrawn in place.
        testpty::Pty second;
        terminal.clear();
        QCOMPARE(run(QStringList{"send", path("hola.mnm"), "--port", second.slavePath()} + fast(), stderrOnTerminal),
                 "0||");
        QVERIFY(terminal.settle());
        const QString lines = QString::fromUtf8(terminal.bytes());
        QVERIFY2(lines.contains(QStringLiteral("\x1b[2A\r\x1b[K")) &&
                     lines.contains("\r\x1b[K" + second.slavePath() + " [") &&
                     lines.count(QStringLiteral("[##############################] 100% 27/27 bytes")) == 2,
                 qPrintable(lines));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
