// tivor-cli import, show and their file errors, run as a real process on real files; output files are atomic.
#include "support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace
{
bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The child may write at most `bytes` bytes into any one file: a larger write fails (EFBIG) instead of
// killing it, which stands for a full disk in the middle of writing.
std::function<void(QProcess&)> fileSizeLimit(rlim_t bytes)
{
    return [bytes](QProcess& p) {
        p.setChildProcessModifier([bytes] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    };
}
} // namespace

class TstCliFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir config;
    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString& name) const { return dir->filePath(name); }
    clitest::Result cli(const QStringList& arguments, const std::function<void(QProcess&)>& setup = {})
    {
        return clitest::run(arguments, config.path(), setup);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void importThenShow()
    {
        // UTF-8 with CR LF, an empty line, a line of blanks, a line over 16 characters, a last line without end.
        QVERIFY(writeBytes(path("avisos.txt"), "Hola\r\n\r\nAdi\xc3\xb3s amigos del cartel\r\n   \r\nfin"));
        const auto imported = cli({"import", path("avisos.txt"), "-o", path("avisos.mnm")});
        QCOMPARE(imported.status, 0);
        QCOMPARE(imported.out, QByteArray());
        QCOMPARE(imported.err, QByteArray());
        QCOMPARE(readBytes(path("avisos.mnm")), QByteArray("0,0,0,\"Hola            \"\r\n"
                                                           "0,0,0,\"Adi\xf3s amigos del cartel\"\r\n"
                                                           "0,0,0,\"                \"\r\n"
                                                           "0,0,0,\"fin             \"\r\n"));

        const auto shown = cli({"show", path("avisos.mnm")});
        QCOMPARE(shown.status, 0);
        QCOMPARE(shown.err, QByteArray());
        QCOMPARE(QString::fromUtf8(shown.out),
                 QStringLiteral("Pagina  Efecto    Pausa  Alineacion  Texto\n"
                                "     1  Rotacion  1      izquierda   \"Hola            \"\n"
                                "     2  Rotacion  1      izquierda   \"Adi\u00f3s amigos del cartel\"\n"
                                "     3  Rotacion  1      izquierda   \"                \"\n"
                                "     4  Rotacion  1      izquierda   \"fin             \"\n"));
    }

    void importReadsWindows1252AndStopsAt64Pages()
    {
        QByteArray text = "Ni\xf1o\n"; // Windows-1252: not valid UTF-8
        for (int i = 2; i <= 70; ++i)
            text += "linea " + QByteArray::number(i) + "\n";
        QVERIFY(writeBytes(path("largo.txt"), text));
        const auto r = cli({"import", path("largo.txt"), "--output", path("largo.mnm")});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> records = readBytes(path("largo.mnm")).split('\n');
        QCOMPARE(records.size(), 65); // 64 records and the empty rest after the last line end
        QCOMPARE(records.first(), QByteArray("0,0,0,\"Ni\xf1o            \"\r"));
        QCOMPARE(records.at(63), QByteArray("0,0,0,\"linea 64        \"\r"));
    }

    void showListsEveryPageWithItsNames()
    {
        // Two pages from the file format's own example, then codes no list holds and a tab in a text.
        QVERIFY(writeBytes(path("m.mnm"), "1,3,2,\"HOLA MUNDO\"\r\n0,0,0,\"DIGA \xffSI\xff\"\r\n"
                                          "11,0,0,\" Hora 00:00:00 \"\r\n9,8,2,\"\xd1" "and\xfa\"\r\n"
                                          "13,200,1,\"x\ty\"\r\n"));
        const auto r = cli({"show", path("m.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out),
                 QStringLiteral("Pagina  Efecto         Pausa       Alineacion  Texto\n"
                                "     1  Estatico       4           centrado    \"HOLA MUNDO\"\n"
                                "     2  Rotacion       1           izquierda   \"DIGA \"SI\"\"\n"
                                "     3  Hora           1           izquierda   \" Hora 00:00:00 \"\n"
                                "     4  Mirilla  [16]  9           centrado    \"\u00d1and\u00fa\"\n"
                                "     5  codigo 13      codigo 200  codigo 1    \"x\\x09y\"\n"));
    }

    void showOfAFileWithoutRecordsListsNoPage()
    {
        QVERIFY(writeBytes(path("vacio.mnm"), ""));
        const auto r = cli({"show", path("vacio.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("Pagina  Efecto  Pausa  Alineacion  Texto\n"));
    }

    void dumpWritesTheTransmissionAsSalidaHoldsIt_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("transmission"); // hex
        QTest::newRow("HOLA, Estatico, centred, pause 5")
            << QByteArray("1,4,2,\"HOLA\"\r\n")
            << QByteArray("57 2D 4E 54 39 DF E0 80 20 20 20 20 20 20 48 4F 4C 41 20 20 20 20 20 20 C6 01 01");
        QTest::newRow("Hora") << QByteArray("11,0,0,\" Hora 00:00:00 \"\r\n")
                              << QByteArray("57 2D 4E 54 39 DF E0 A0 A0 A0 A0 A0 01 01");
        QTest::newRow("Fecha") << QByteArray("12,0,0,\"Fecha 12/07/07 \"\r\n")
                               << QByteArray("57 2D 4E 54 39 DF E0 A2 C3 01 01");
        QTest::newRow("Rotacion keeps the whole text") << QByteArray("0,0,0,\"A\xf1o\"\r\n")
                                                       << QByteArray("57 2D 4E 54 39 DF E0 90 41 15 6F 01 01");
        QTest::newRow("two records back to back, quotes as they are")
            << QByteArray("0,0,0,\"\xff@\xff\"\r\n1,8,0,\"abcdefghijklmnopq\"\r\n")
            << QByteArray("57 2D 4E 54 39 DF E0 90 22 1E 22 80 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 CA 01 01");
    }

    void dumpWritesTheTransmissionAsSalidaHoldsIt()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, transmission);
        QVERIFY(writeBytes(path("m.mnm"), file));
        const QByteArray expected = '"' + QByteArray::fromHex(transmission) + "\"\r\n";
        const auto r = cli({"dump", path("m.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out.toHex(' '), expected.toHex(' '));
        // The same bytes into a file.
        const auto toFile = cli({"dump", path("m.mnm"), "-o", path("salida.txt")});
        QCOMPARE(toFile.status, 0);
        QCOMPARE(toFile.out, QByteArray());
        QCOMPARE(readBytes(path("salida.txt")), expected);
    }

    void dumpOfALongMessageIsCutAt8000Bytes()
    {
        // One Rotacion page of 7991 characters: 8001 bytes, so the first 8000 and the terminator once more.
        QVERIFY(writeBytes(path("largo.mnm"), "0,0,0,\"" + QByteArray(7991, 'a') + "\"\r\n"));
        const auto r = cli({"dump", path("largo.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.size(), 8002 + 4);
        QCOMPARE(r.out, "\"W-NT9\xdf\xe0\x90" + QByteArray(7991, 'a') + "\x01\x01\x01\"\r\n");
        const auto hex = cli({"dump", "--hex", path("largo.mnm")});
        QCOMPARE(hex.status, 0);
        const QList<QByteArray> lines = hex.out.split('\n');
        QCOMPARE(lines.size(), 4);
        // The cut record keeps the first byte of its terminator; the terminator sent again has its own line.
        QVERIFY(lines.at(1).startsWith("0007  90 61 61 "));
        QVERIFY(lines.at(1).endsWith(" 61 61 01  |." + QByteArray(7991, 'a') + ".|"));
        QCOMPARE(lines.at(2), QByteArray("1F40  01 01                                                  |..|"));
    }

    void dumpHexShowsOneRecordPerLine()
    {
        QVERIFY(writeBytes(path("m.mnm"), "1,4,2,\"HOLA\"\r\n0,0,0,\"A\xf1o\"\r\n11,0,0,\"x\"\r\n12,0,0,\"x\"\r\n"));
        const auto r = cli({"dump", "--hex", path("m.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromLatin1(r.out),
                 QStringLiteral("0000  57 2D 4E 54 39 DF E0                                   |W-NT9..|\n"
                                "0007  80 20 20 20 20 20 20 48 4F 4C 41 20 20 20 20 20 20 C6  |.      HOLA      .|\n"
                                "0019  90 41 15 6F                                            |.A.o|\n"
                                "001D  A0 A0 A0 A0 A0                                         |.....|\n"
                                "0022  A2 C3                                                  |..|\n"
                                "0024  01 01                                                  |..|\n"));
    }

    void dumpOfAMessageWithoutText()
    {
        QVERIFY(writeBytes(path("vacio.mnm"), ""));
        const auto r = cli({"dump", path("vacio.mnm"), "-o", path("salida.txt")});
        QCOMPARE(r.status, 3);
        QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: %1: Error #21, No Hay mensaje cargado (ninguna pagina "
                                                       "tiene texto)").arg(path("vacio.mnm")));
        QVERIFY(!QFile::exists(path("salida.txt")));
    }

    void dumpThatCannotFinishWritingKeepsTheOldFile()
    {
        QVERIFY(writeBytes(path("m.mnm"), "0,0,0,\"" + QByteArray(500, 'x') + "\"\r\n"));
        const QByteArray old = "\"anterior\"\r\n";
        QVERIFY(writeBytes(path("salida.txt"), old));
        const auto r = cli({"dump", path("m.mnm"), "-o", path("salida.txt")}, fileSizeLimit(100));
        QCOMPARE(r.status, 3);
        QVERIFY2(clitest::errorLine(r).startsWith(QStringLiteral("tivor-cli: %1: no se pudo escribir (").arg(path("salida.txt"))),
                 r.err.constData());
        QVERIFY(clitest::errorLine(r).endsWith(QStringLiteral("); el archivo anterior queda como estaba")));
        QCOMPARE(readBytes(path("salida.txt")), old);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"m.mnm", "salida.txt"}));
    }

    void dumpToAFullStandardOutput()
    {
        QVERIFY(writeBytes(path("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
        const auto r = cli({"dump", path("m.mnm")}, [](QProcess& p) { p.setStandardOutputFile("/dev/full"); });
        QCOMPARE(r.status, 3);
        QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: no se pudo escribir la salida estandar (No space left on device)"));
    }

    void fileErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message"); // %1 stands for the temporary folder
        QTest::newRow("missing message file") << QStringList{"show", "%1/nada.mnm"} << "%1/nada.mnm: no existe";
        QTest::newRow("a folder") << QStringList{"show", "%1"} << "%1: es una carpeta, no un archivo";
        QTest::newRow("effect code over 255") << QStringList{"show", "%1/300.mnm"}
                                              << "%1/300.mnm: no es un archivo de mensajes valido";
        QTest::newRow("65 records") << QStringList{"show", "%1/65.mnm"}
                                    << "%1/65.mnm: no es un archivo de mensajes valido";
        QTest::newRow("record cut short") << QStringList{"show", "%1/corto.mnm"}
                                          << "%1/corto.mnm: no es un archivo de mensajes valido";
        QTest::newRow("missing text file") << QStringList{"import", "%1/nada.txt", "-o", "%1/x.mnm"}
                                           << "%1/nada.txt: no existe";
        QTest::newRow("text without lines") << QStringList{"import", "%1/blanco.txt", "-o", "%1/x.mnm"}
                                            << "%1/blanco.txt: no tiene lineas con texto; no se creo %1/x.mnm";
        QTest::newRow("output is a folder") << QStringList{"import", "%1/uno.txt", "-o", "%1"}
                                            << "%1: no se pudo escribir (%1 no es un archivo)";
        QTest::newRow("output folder missing") << QStringList{"import", "%1/uno.txt", "-o", "%1/no/x.mnm"}
                                               << "";
    }

    void fileErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QVERIFY(writeBytes(path("300.mnm"), "300,0,0,\"x\"\r\n"));
        QVERIFY(writeBytes(path("65.mnm"), QByteArray("1,0,0,\"x\"\r\n").repeated(65)));
        QVERIFY(writeBytes(path("corto.mnm"), "1,0,0,\"x\"\r\n1,0"));
        QVERIFY(writeBytes(path("blanco.txt"), "\r\n\n\r"));
        QVERIFY(writeBytes(path("uno.txt"), "uno\n"));
        for (QString& a : arguments)
            a.replace(QStringLiteral("%1"), dir->path());
        const auto r = cli(arguments);
        QCOMPARE(r.status, 3);
        QCOMPARE(r.out, QByteArray());
        const QString line = clitest::errorLine(r);
        if (message.isEmpty()) // the system's own reason follows the name
            QVERIFY2(line.startsWith(QStringLiteral("tivor-cli: %1/no/x.mnm: no se pudo escribir (").arg(dir->path())),
                     qPrintable(line));
        else
            QCOMPARE(line, QStringLiteral("tivor-cli: ") + message.replace(QStringLiteral("%1"), dir->path()));
        QVERIFY(!QFile::exists(path("x.mnm")));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("import without -o") << QStringList{"import", "a.txt"}
                                           << "tivor-cli: import: falta -o MENSAJE.mnm, el archivo que se crea";
        QTest::newRow("import without input") << QStringList{"import", "-o", "a.mnm"}
                                              << "tivor-cli: import: falta el argumento TEXTO.txt (ver tivor-cli import --help)";
        QTest::newRow("-o without value") << QStringList{"import", "a.txt", "-o"}
                                          << "tivor-cli: import: falta el valor de la opcion '-o'";
        QTest::newRow("show without file") << QStringList{"show"}
                                           << "tivor-cli: show: falta el argumento MENSAJE.mnm (ver tivor-cli show --help)";
        QTest::newRow("dump -o empty") << QStringList{"dump", "a.mnm", "--output="}
                                       << "tivor-cli: dump: -o vacio: indique el archivo";
        QTest::newRow("show of two files") << QStringList{"show", "a.mnm", "b.mnm"}
                                           << "tivor-cli: show: argumento de mas: 'b.mnm'";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const auto r = cli(arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(clitest::errorLine(r), message);
    }

    void importThatCannotFinishWritingKeepsTheOldFile()
    {
        QByteArray text;
        for (int i = 1; i <= 64; ++i)
            text += "pagina " + QByteArray::number(i) + "\n";
        QVERIFY(writeBytes(path("largo.txt"), text));
        const QByteArray old = "1,0,0,\"anterior\"\r\n";
        QVERIFY(writeBytes(path("m.mnm"), old));

        const auto r = cli({"import", path("largo.txt"), "-o", path("m.mnm")}, fileSizeLimit(200));
        QCOMPARE(r.status, 3);
        QVERIFY2(clitest::errorLine(r).startsWith(QStringLiteral("tivor-cli: %1: no se pudo escribir").arg(path("m.mnm"))),
                 r.err.constData());
        QCOMPARE(readBytes(path("m.mnm")), old);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"largo.txt", "m.mnm"}));
    }

    void importDoesNotReplaceAReadOnlyFile()
    {
        QVERIFY(writeBytes(path("uno.txt"), "uno\n"));
        const QByteArray old = "1,0,0,\"guardado\"\r\n";
        QVERIFY(writeBytes(path("m.mnm"), old));
        QVERIFY(QFile::setPermissions(path("m.mnm"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const auto r = cli({"import", path("uno.txt"), "-o", path("m.mnm")});
        QCOMPARE(r.status, 3);
        QCOMPARE(clitest::errorLine(r),
                 QStringLiteral("tivor-cli: %1: no se pudo escribir (%1 es de solo lectura)").arg(path("m.mnm")));
        QCOMPARE(readBytes(path("m.mnm")), old);
    }
};

QTEST_GUILESS_MAIN(TstCliFiles)
#include "tst_cli_files.moc"
