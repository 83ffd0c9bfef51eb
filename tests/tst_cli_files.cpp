// tivor-cli import, show and their file errors, run as a real process on real files; output files are atomic.
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace
{
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
        QVERIFY(testenv::writeFile(path("avisos.txt"), "Hola\r\n\r\nAdi\xc3\xb3s amigos del cartel\r\n   \r\nfin"));
        const auto imported = cli({"import", path("avisos.txt"), "-o", path("avisos.mnm")});
        QCOMPARE(imported.status, 0);
        QCOMPARE(imported.out, QByteArray());
        QCOMPARE(imported.err, QByteArray());
        QCOMPARE(testenv::readFile(path("avisos.mnm")), QByteArray("0,0,0,\"Hola            \"\r\n"
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
        QVERIFY(testenv::writeFile(path("largo.txt"), text));
        const auto r = cli({"import", path("largo.txt"), "--output", path("largo.mnm")});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> records = testenv::readFile(path("largo.mnm")).split('\n');
        QCOMPARE(records.size(), 65); // 64 records and the empty rest after the last line end
        QCOMPARE(records.first(), QByteArray("0,0,0,\"Ni\xf1o            \"\r"));
        QCOMPARE(records.at(63), QByteArray("0,0,0,\"linea 64        \"\r"));
    }

    void showListsEveryPageWithItsNames()
    {
        // Two pages from the file format's own example, then codes no list holds and a tab in a text.
        QVERIFY(testenv::writeFile(path("m.mnm"), "1,3,2,\"HOLA MUNDO\"\r\n0,0,0,\"DIGA \xffSI\xff\"\r\n"
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
        QVERIFY(testenv::writeFile(path("vacio.mnm"), ""));
        const auto r = cli({"show", path("vacio.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("Pagina  Efecto  Pausa  Alineacion  Texto\n"));
    }

    // Records back to back, quotes as they are, the same bytes on standard output and into a file.
    void dumpWritesTheTransmissionAsSalidaHoldsIt()
    {
        QVERIFY(testenv::writeFile(path("m.mnm"), "0,0,0,\"\xff@\xff\"\r\n1,8,0,\"abcdefghijklmnopq\"\r\n"));
        const QByteArray expected = "\"W-NT9\xdf\xe0\x90\"\x1e\"\x80" "abcdefghijklmnop\xca\x01\x01\"\r\n";
        const auto r = cli({"dump", path("m.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out.toHex(' '), expected.toHex(' '));
        const auto toFile = cli({"dump", path("m.mnm"), "-o", path("salida.txt")});
        QCOMPARE(toFile.status, 0);
        QCOMPARE(toFile.out, QByteArray());
        QCOMPARE(testenv::readFile(path("salida.txt")), expected);
    }

    void dumpOfALongMessageIsCutAt8000Bytes()
    {
        // One Rotacion page of 7991 characters: 8001 bytes, so the first 8000 and the terminator once more.
        QVERIFY(testenv::writeFile(path("largo.mnm"), "0,0,0,\"" + QByteArray(7991, 'a') + "\"\r\n"));
        const auto r = cli({"dump", path("largo.mnm")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, "\"W-NT9\xdf\xe0\x90" + QByteArray(7991, 'a') + "\x01\x01\x01\"\r\n");
    }

    void dumpHexShowsOneRecordPerLine()
    {
        QVERIFY(testenv::writeFile(path("m.mnm"), "1,4,2,\"HOLA\"\r\n0,0,0,\"A\xf1o\"\r\n11,0,0,\"x\"\r\n12,0,0,\"x\"\r\n"));
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

    void dumpToAFullStandardOutput()
    {
        QVERIFY(testenv::writeFile(path("m.mnm"), "1,4,2,\"HOLA\"\r\n"));
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
        QTest::newRow("dump without text") << QStringList{"dump", "%1/vacio.mnm", "-o", "%1/x.mnm"}
                                           << "%1/vacio.mnm: Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)";
        QTest::newRow("missing text file") << QStringList{"import", "%1/nada.txt", "-o", "%1/x.mnm"}
                                           << "%1/nada.txt: no existe";
        QTest::newRow("text without lines") << QStringList{"import", "%1/blanco.txt", "-o", "%1/x.mnm"}
                                            << "%1/blanco.txt: no tiene lineas con texto; no se creo %1/x.mnm";
        QTest::newRow("output is a folder") << QStringList{"import", "%1/uno.txt", "-o", "%1"}
                                            << "%1: no se pudo escribir (%1 no es un archivo)";
    }

    void fileErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QVERIFY(testenv::writeFile(path("300.mnm"), "300,0,0,\"x\"\r\n"));
        QVERIFY(testenv::writeFile(path("vacio.mnm"), ""));
        QVERIFY(testenv::writeFile(path("blanco.txt"), "\r\n\n\r"));
        QVERIFY(testenv::writeFile(path("uno.txt"), "uno\n"));
        for (QString& a : arguments)
            a.replace(QStringLiteral("%1"), dir->path());
        const auto r = cli(arguments);
        QCOMPARE(r.status, 3);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: ") + message.replace(QStringLiteral("%1"), dir->path()));
        QVERIFY(!QFile::exists(path("x.mnm")));
    }

    // Page 1 is shown as soon as a message is opened, so every command refuses a page 1 whose effect or pause the
    // lists do not hold, as the window does; the last entries of the lists load.
    void firstPageCodes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("firstRecord");
        QTest::addColumn<bool>("refused");
        QTest::newRow("show, effect 13") << "show" << QByteArray("13,0,0,\"x\"") << true;
        QTest::newRow("dump, pause 9") << "dump" << QByteArray("0,9,0,\"x\"") << true;
        QTest::newRow("send, effect 255, before the port") << "send" << QByteArray("255,0,0,\"x\"") << true;
        QTest::newRow("show, last effect and pause") << "show" << QByteArray("12,8,0,\"x\"") << false;
        QTest::newRow("dump, last effect and pause") << "dump" << QByteArray("12,8,0,\"x\"") << false;
    }

    void firstPageCodes()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, firstRecord);
        QFETCH(bool, refused);
        // Page 2 holds codes no list has: only page 1 is checked.
        QVERIFY(testenv::writeFile(path("m.mnm"), firstRecord + "\r\n13,200,0,\"y\"\r\n"));
        const auto r = cli({command, path("m.mnm")});
        if (!refused) {
            QCOMPARE(r.err, QByteArray());
            QCOMPARE(r.status, 0);
            QVERIFY(!r.out.isEmpty());
            return;
        }
        QCOMPARE(r.status, 3);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: %1: no es un archivo de mensajes valido (la pagina 1 "
                                                       "tiene un efecto o una pausa fuera de las listas)")
                                            .arg(path("m.mnm")));
    }

    // Output files are written whole or not at all: a write that fails half-way (a file-size limit standing
    // for a full disk) or a read-only file leaves the old file as it was, and no temporary file behind.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("reason");
        // The system's reason stands between the parentheses.
        QTest::newRow("dump cut short") << "dump" << 100 << false
                                        << "(File too large); el archivo anterior queda como estaba";
        QTest::newRow("import cut short") << "import" << 200 << false << "(File too large)";
        QTest::newRow("import over a read-only file") << "import" << 0 << true << "(%1 es de solo lectura)";
    }

    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, command);
        QFETCH(int, limit);
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        QByteArray text;
        for (int i = 1; i <= 64; ++i)
            text += "pagina " + QByteArray::number(i) + "\n";
        QVERIFY(testenv::writeFile(path("in"), command == u"dump" ? "0,0,0,\"" + QByteArray(500, 'x') + "\"\r\n" : text));
        const QByteArray old = "1,0,0,\"anterior\"\r\n";
        QVERIFY(testenv::writeFile(path("out"), old));
        if (readOnly)
            QVERIFY(QFile::setPermissions(path("out"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const auto r = cli({command, path("in"), "-o", path("out")}, limit ? fileSizeLimit(rlim_t(limit)) : nullptr);
        QCOMPARE(r.status, 3);
        const QString line = clitest::errorLine(r);
        QVERIFY2(line.startsWith(QStringLiteral("tivor-cli: %1: no se pudo escribir (").arg(path("out"))), qPrintable(line));
        QVERIFY2(line.endsWith(reason.contains(u'%') ? reason.arg(path("out")) : reason), qPrintable(line));
        QCOMPARE(testenv::readFile(path("out")), old);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"in", "out"}));
    }
};

QTEST_GUILESS_MAIN(TstCliFiles)
#include "tst_cli_files.moc"
