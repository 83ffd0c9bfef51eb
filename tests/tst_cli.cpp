// tivor-cli as a real process on real files and a real pseudo-terminal: what only the command line shows (its
// exit statuses and one-line errors, show/dump/import, stored settings, its progress bar), and its sending: one
// sender per device, many signs at once, ending a send by a signal, and the network signs' servers that misbehave.
#include "support/CliKit.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <map>

class TestCli : public CliTest
{
    Q_OBJECT
private slots:
    // One line on standard error, nothing on standard output, and nothing on the line; %1 is the folder.
    void errors_data()
    {
        const testenv::Table<QString, QString> row;
        row("no command", "", "2||Uso: tivor-cli COMANDO");
        // Help: the start of its text " ... " a line further on.
        const QString network =
            QStringLiteral(" ... Un cartel en la red: --port tcp://EQUIPO:PUERTO (TCP sin traducir; la "
                           "velocidad no se fija) o\n--port rfc2217://EQUIPO:PUERTO (telnet RFC 2217");
        row("send --help sends nothing", "send %1/hola.mnm --help", "0|Uso: tivor-cli send" + network);
        row("clock --help", "clock --help", "0|Uso: tivor-cli clock" + network);
        for (const char* command : {"show", "dump", "import", "ports"})
            QTest::addRow("%s --help", command) << QStringLiteral("%1 --help").arg(command)
                                                << QStringLiteral("0|Uso: tivor-cli %1 ... Opciones:").arg(command);
        row("unknown command", "enviar", "2||tivor-cli: comando desconocido: 'enviar' (ver tivor-cli --help)");
        row("unknown option", "ports -x", "2||tivor-cli: ports: opcion desconocida '-x'");
        row("option without its value", "send a --port", "2||tivor-cli: send: falta el valor de la opcion '--port'");
        row("a value for a switch", "dump a --hex=1", "2||tivor-cli: dump: la opcion '--hex' no lleva valor");
        row("import without -o", "import a", "2||tivor-cli: import: falta -o MENSAJE.mnm, el archivo que se crea");
        row("bad moment", "clock --ahora ayer", "2||tivor-cli: --ahora 'ayer' no es una fecha valida");
        row("--dy2 5 is not 05", "send %1/hola.mnm --dy2 5",
            "2||tivor-cli: --dy2 '5' no es una demora aceptada; "
            "use una de: 01, 02, 05, 10, 20, 30, 40, 50, 60, 70, 80, 90");
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
        auto [arguments, expected] = testenv::Table<QString, QString>::fetch();
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
        QCOMPARE(pty->settled(), QByteArray());
        QCOMPARE(testenv::readFile(path("hola.mnm")), "1,4,2,\"HOLA\"\r\n");
        for (const char* node : {"fifo", "nul"})
            QVERIFY(!QFileInfo(path(node)).isFile() && (QFileInfo::exists(path(node)) || ::geteuid() != 0));
        // A name cut at its NUL used to leave the serial library's lock file for "x" behind.
        QVERIFY(!QFile::exists(QStringLiteral("/var/lock/LCK..x")));
    }

    // A FIFO whose writer has not written yet (a pipe from another program) is waited for, not refused.
    void showFromAFifoStillBeingWritten()
    {
        // The writer, open before tivor-cli reads.
        const int fifo = ::open(qPrintable(path("fifo")), O_RDWR | O_CLOEXEC);
        QVERIFY(fifo >= 0);
        start({"show", path("fifo")});
        QVERIFY(process.waitForStarted());
        QFile wchan(QStringLiteral("/proc/%1/wchan").arg(process.processId()));
        QTRY_VERIFY((wchan.open(QIODevice::ReadOnly), wchan.seek(0), wchan.readAll().endsWith("pipe_read")));
        QVERIFY(::write(fifo, "1,4,2,\"HOLA\"\r\n", 14) == 14 && ::close(fifo) == 0);
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
        QCOMPARE(run({"dump", path("m.mnm")}, [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }),
                 QStringLiteral("3||tivor-cli: no se pudo escribir la salida estandar (No space left on device)\n"));
    }

    // Options go over the stored settings, which are read and never written; without options the stored port and
    // delays pace the send (its last byte not before the sum of the waits), and stored delays outside the lists (as
    // Opciones stores typed ones) are warned about and the default ones used. Settings that cannot be read (a
    // folder, a FIFO, a link cycle) are said to be so, and the defaults are used (the options here go over them).
    void storedSettings_data()
    {
        // stored: the text of the settings file, or what is there instead
        // said: on standard error; %1 is the settings file
        // ms: the least the send takes: the sum of its waits (71 with fast())
        const testenv::Table<QString, bool, QString, int> row;
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
        auto [stored, options, said, ms] = testenv::Table<QString, bool, QString, int>::fetch();
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
        QCOMPARE(pty->settled().toHex(' '), kHola.toHex(' '));
        QVERIFY(pty->received().back().ns - startNs >= ms * qint64(1000000));
        QVERIFY(!stored.startsWith(u'[') || testenv::readFile(conf) == text);
    }

    // Raw sign bytes are not written to a terminal. With standard error on a terminal: a bar redrawn in place, its
    // bytes counting up to a full bar at the last one, and a line end. (Several signs' block of lines: tst_faults'
    // progressFitsTheTerminal.)
    void onATerminal()
    {
        testpty::Pty terminal;
        const QByteArray device = QFile::encodeName(terminal.slavePath());
        const auto onTerminal = [device](int fd) {
            return [device, fd] { ::dup2(::open(device.constData(), O_RDWR | O_NOCTTY), fd); };
        };
        QCOMPARE(run({"dump", path("hola.mnm")}, onTerminal(1)),
                 "2||tivor-cli: dump: la salida estandar es una terminal; use --hex para verla o -o ARCHIVO para "
                 "guardarla\n");
        QVERIFY(terminal.settle() && terminal.bytes().isEmpty());
        QCOMPARE(run(QStringList{"send", path("hola.mnm")} + fast(), onTerminal(2)), QStringLiteral("0||"));
        const QString shown = QString::fromUtf8(terminal.settled());
        QVERIFY2(shown.startsWith(u'\r') && shown.endsWith(u'\n'), qPrintable(shown));
        const QStringList draws = shown.chopped(1).split(u'\r', Qt::SkipEmptyParts);
        static const QRegularExpression drawn(
            QStringLiteral("^\\[[#-]{30}\\] +\\d+% (\\d+)/27 bytes, quedan \\d+:\\d\\d $"));
        for (int i = 0, before = 0; i + 1 < draws.size(); before = drawn.match(draws[i++]).captured(1).toInt())
            QVERIFY2(drawn.match(draws[i]).captured(1).toInt() > before, qPrintable(draws[i]));
        QCOMPARE(draws.last(), "[" + QString(30, u'#') + "] 100% 27/27 bytes, quedan 0:00 "); // drawn again when done
    }

    // One sign, one sender: while one tivor-cli sends, a second one reaching the same device by its other
    // name is refused and told which process holds it; the sign gets the first message whole.
    void oneSenderPerDevice_data()
    {
        QTest::addColumn<bool>("linkFirst");
        QTest::newRow("link, then the device path") << true;
        QTest::newRow("device path, then a link") << false;
    }
    void oneSenderPerDevice()
    {
        QFETCH(bool, linkFirst);
        const QString link = path("cartel");
        QVERIFY(QFile::link(pty->slavePath(), link));
        const QString second = linkFirst ? pty->slavePath() : link;
        QProcess first;
        first.setProcessEnvironment(environment());
        first.start(TIVOR_CLI_BINARY, {"send", path("hola.mnm"), "--port", linkFirst ? link : pty->slavePath(), "--dy1",
                                       "500", "--dy2", "90"});
        QVERIFY(pty->waitForBytes(1, 5000));
        QCOMPARE(run({"send", path("hola.mnm"), "--port", second}),
                 QStringLiteral("4||tivor-cli: %1: no se pudo abrir el puerto serie (%1: el puerto esta en uso por el "
                                "proceso %2 (tivor-cli))\n")
                     .arg(second, QString::number(first.processId())));
        QVERIFY(first.waitForFinished(20000) && first.exitCode() == 0);
        QCOMPARE(pty->bytes(), kHola);
    }

    // Several signs at once, each paced on its own (its k-th byte not before the sum of the k delays before
    // it, counted from the start) and side by side (every first byte before any last one); every port named
    // gets every byte; a port that cannot be opened, or a sign that hangs up after 3 bytes (lower case: it got
    // the start, %k bytes by the report), does not stop the others, and the lines and the status say which. (A
    // port that cannot be opened alone is in oneSenderPerDevice.)
    void manySigns_data()
    {
        const testenv::Table<QString, QString, QString, QString> row;
        row("three --port", "--port %A --port %B --port %C", "", "0||", "ABC");
        row("ports file with comments, a port twice", "--ports-file %1/carteles.txt --port %C",
            "# tienda\n\n  %A \r\n\t# %B\n%C\n", "0||", "AC");
        row("a missing port among good ones", "--port %A --port %1/nada --port %B", "",
            "4||tivor-cli: %A: enviado; 27 de 27 bytes enviados\ntivor-cli: %1/nada: no se pudo abrir el puerto serie "
            "(%1/nada: No such file or directory); 0 de 27 bytes enviados\ntivor-cli: %B: enviado; 27 de 27 bytes "
            "enviados\n",
            "AB");
        row("a sign hangs up mid-send", "--port %A --port %B --port %C", "",
            "5||tivor-cli: %A: enviado; 27 de 27 bytes enviados\ntivor-cli: %B: Error #22, No se envio el Mensaje "
            "(Input/output error); %k de 27 bytes enviados\ntivor-cli: %C: enviado; 27 de 27 bytes enviados\n",
            "AbC");
        row("the only sign hangs up mid-send", "--port %B", "",
            "5||tivor-cli: %B: Error #22, No se envio el Mensaje: %k de 27 bytes enviados (Input/output error)\n", "b");
        // One sign by two names (a link, the device itself) is one sign: it gets the message once.
        row("a sign and its link", "--port %A --port %1/cartel", "", "0||", "A");
        row("a link in a ports file, its sign by --port", "--ports-file %1/carteles.txt --port %B --port %A",
            "%1/cartel\n", "0||", "AB");
    }
    void manySigns()
    {
        auto [arguments, portsFile, expected, reached] = testenv::Table<QString, QString, QString, QString>::fetch();
        testpty::Pty b, c;
        const std::map<char, testpty::Pty*> signs{{'A', pty.get()}, {'B', &b}, {'C', &c}};
        const auto fill = [&](QString text) {
            for (const auto& [name, sign] : signs)
                text.replace(QStringLiteral("%") + QLatin1Char(name), sign->slavePath());
            return text.replace(QStringLiteral("%1"), dir->path());
        };
        if (!portsFile.isEmpty())
            QVERIFY(testenv::writeFile(path("carteles.txt"), fill(portsFile).toUtf8()));
        QVERIFY(QFile::link(pty->slavePath(), path("cartel")));
        b.hangUpAfter(reached.contains(u'b') ? 3 : -1);
        const qint64 startNs = testpty::nowNs();
        const QString got =
            run(QStringList{"send", path("hola.mnm"), "--dy1", "100", "--dy2", "01"} + fill(arguments).split(u' '));
        const QString pattern = QRegularExpression::escape(fill(expected)).replace("\\%k", "(\\d+)");
        const auto told = QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(got);
        QVERIFY2(told.hasMatch(), qPrintable(got));
        qint64 lastFirst = 0, firstLast = std::numeric_limits<qint64>::max();
        for (const auto& [name, sign] : signs) {
            const QByteArray wire = sign->settled();
            const bool cut = reached.contains(QChar(QLatin1Char(name)).toLower());
            QCOMPARE(wire, reached.contains(QLatin1Char(name)) ? kHola : cut ? kHola.left(wire.size()) : QByteArray());
            QVERIFY2(!cut ||
                         (wire.size() >= 3 && wire.size() <= told.captured(1).toInt() && told.captured(1).toInt() < 27),
                     qPrintable(QStringLiteral("%1 bytes got, %2 reported").arg(wire.size()).arg(told.captured(1))));
            const auto times = sign->received();
            for (int k = 1; k < int(times.size()); ++k)
                QVERIFY2(times[size_t(k)].ns - startNs >= (std::min(k, 5) * 100 + std::max(k - 5, 0) - 1) * 1000000,
                         qPrintable(QStringLiteral("%1, byte %2").arg(QLatin1Char(name)).arg(k)));
            if (!times.empty() && !cut)
                lastFirst = std::max(lastFirst, times.front().ns), firstLast = std::min(firstLast, times.back().ns);
        }
        QVERIFY(lastFirst < firstLast);
    }

    // Like "Cancelar": the byte in hand is finished, then 01 01 in one write, status 130; on every sign at once.
    // A closing terminal sends SIGHUP twice (the kernel, then the shell), a logout SIGTERM and then SIGHUP.
    void cancelBySignal_data()
    {
        const testenv::Table<QList<int>, int> row;
        for (const auto& [name, signal] :
             {std::pair{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGQUIT", SIGQUIT}})
            row(name, {signal}, 1);
        row("SIGHUP twice", {SIGHUP, SIGHUP}, 1);
        row("SIGTERM, then SIGHUP", {SIGTERM, SIGHUP}, 1);
        row("SIGINT, three signs", {SIGINT}, 3);
        row("SIGHUP, three signs", {SIGHUP}, 3);
        // 0 signs: one rfc2217:// sign that accepts and never answers, still connecting when the signal comes.
        row("SIGINT while connecting", {SIGINT}, 0);
        row("SIGTERM while connecting", {SIGTERM}, 0);
    }
    void cancelBySignal()
    {
        auto [signalsSent, signs] = testenv::Table<QList<int>, int>::fetch();
        testpty::Pty more[2];
        std::vector<testpty::Pty*> lines{pty.get(), &more[0], &more[1]};
        lines.resize(size_t(signs));
        QStringList arguments{"send", path("hola.mnm"), "--dy1", "500"};
        for (testpty::Pty* line : lines)
            arguments << (signs > 1 ? QStringList{"--port", line->slavePath()} : QStringList());
        QTcpServer silent;
        QVERIFY(signs > 0 || silent.listen(QHostAddress::LocalHost));
        if (signs == 0)
            arguments << "--port" << QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
        start(arguments);
        const qint64 startNs = testpty::nowNs();
        QVERIFY(signs > 0 || silent.waitForNewConnection(5000));
        for (testpty::Pty* line : lines) // every sign, not only the first, has its second byte
            QVERIFY(line->waitForBytes(2, 5000));
        for (int signal : signalsSent)
            ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, 130);
        const qint64 ms = (testpty::nowNs() - startNs) / 1000000; // not the 3 s limit
        QVERIFY2(signs > 0 || ms < 2000, qPrintable(QString::number(ms)));
        QString expected =
            signs > 0 ? QString() : QStringLiteral("tivor-cli: Mensaje cancelado antes de enviar: no se envio nada\n");
        for (testpty::Pty* line : lines) {
            const QByteArray wire = line->settled();
            const int sent = int(wire.size()) - 2;
            QVERIFY2(sent == 2 || sent == 3, wire.toHex(' ').constData());
            QCOMPARE(wire, kHola.left(sent) + "\x01\x01");
            QCOMPARE(line->received().back().ns, line->received()[sent].ns);
            expected +=
                signs == 1 ? QStringLiteral("tivor-cli: Mensaje Cancelado... %1 de 27 bytes enviados, y el fin 01 01\n")
                                 .arg(sent)
                           : QStringLiteral("tivor-cli: %1: Mensaje Cancelado..., y el fin 01 01; %2 de 27 bytes "
                                            "enviados\n")
                                 .arg(line->slavePath(), QString::number(sent));
        }
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()), expected);
        QVERIFY(signs > 0 || pty->bytes().isEmpty());
    }

    // Signs behind RFC 2217 servers, all at once (each wait is the client's own 3 s), and what each server
    // heard: one that agrees and confirms the speed gets the negotiation, the line set with RTS and DTR off
    // (said twice: opening the link, then the port), then the message; one that refuses the COM port option,
    // one that never answers, one that never confirms the speed, and one whose listen queue is full (the
    // connection never completes) fail with their reason, status 4, and no message sent.
    void rfc2217Servers()
    {
        // In hex: the client's greeting, then the line at 19200 8N1 without flow control.
        const QByteArray greeting = "fffb2cfffb00fffd00";
        const QByteArray line = "fffa2c0100004b00fff0fffa2c0208fff0fffa2c0301fff0fffa2c0401fff0fffa2c0501fff0";
        struct Server
        {
            const char* says; // to the client's first bytes; null: the server never accepts
            bool confirms;    // answers the baud rate command
            QString reason;
            QByteArray heard; // a pattern of hex digits
            QByteArray got{};
            QTcpServer listener{};
            QProcess cli{};
        } servers[] = {
            {"fffd2c fffd00 fffb00", true, "", greeting + line + "(fffa2c050cfff0fffa2c0509fff0)+" + kHola.toHex()},
            {"fffe2c fffe00", false, "el servidor no acepta la opcion de puerto serie (RFC 2217)", greeting},
            {"", false, "el servidor no respondio a la opcion de puerto serie (RFC 2217)", greeting},
            {"fffd2c fffa2c6608fff0", false, "el servidor no confirmo la velocidad (RFC 2217)", greeting + line},
            {nullptr, false, "sin respuesta en 3 s (tiempo agotado)", ""},
        };
        QTcpSocket queued; // fills the queue of the server that never accepts: the kernel drops the next SYN
        for (Server& server : servers) {
            server.listener.setListenBacklogSize(server.says ? 50 : 0);
            server.listener.setMaxPendingConnections(server.says ? 30 : 0);
            QVERIFY(server.listener.listen(QHostAddress::LocalHost));
            QVERIFY(server.says || (queued.connectToHost(QHostAddress::LocalHost, server.listener.serverPort()),
                                    queued.waitForConnected(5000)));
            QObject::connect(&server.listener, &QTcpServer::newConnection, &server.listener, [&server] {
                QTcpSocket* s = server.listener.nextPendingConnection();
                QObject::connect(s, &QTcpSocket::readyRead, s, [&server, s, &got = server.got] {
                    if (got.isEmpty())
                        s->write(QByteArray::fromHex(server.says));
                    got += s->readAll();
                    const qsizetype baud = got.indexOf("\xff\xfa\x2c\x01");
                    if (server.confirms && baud >= 0 && got.size() >= baud + 10) {
                        server.confirms = false; // once, with the rate it was given
                        s->write("\xff\xfa\x2c\x65" + got.mid(baud + 4, 4) + "\xff\xf0");
                    }
                });
            });
            const QString port = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.listener.serverPort());
            server.reason = server.reason.isEmpty()
                                ? "0||"
                                : "4||tivor-cli: " + port + ": no se pudo conectar con el cartel (" + port + ": " +
                                      server.reason + ")\n";
            server.cli.setProcessEnvironment(environment());
            server.cli.start(TIVOR_CLI_BINARY, {"send", path("hola.mnm"), "--dy1", "10", "--dy2", "01", "--baud",
                                                "19200", "--port", port});
        }
        for (Server& server : servers) {
            QTRY_COMPARE_WITH_TIMEOUT(server.cli.state(), QProcess::NotRunning, 20000);
            QCOMPARE(QString::number(server.cli.exitCode()) + u'|' +
                         QString::fromUtf8(server.cli.readAllStandardOutput()) + u'|' +
                         QString::fromUtf8(server.cli.readAllStandardError()),
                     server.reason);
            const QRegularExpression expected(QRegularExpression::anchoredPattern(QString::fromLatin1(server.heard)));
            QTRY_VERIFY2(expected.match(QString::fromLatin1(server.got.toHex())).hasMatch(),
                         server.got.toHex().constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
