// tivor-cli run as a real process: version, help, usage errors and their exit statuses, ports.
#include "support/CliProcess.h"

#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

class TstCli : public QObject
{
    Q_OBJECT

    QTemporaryDir config;

    clitest::Result cli(const QStringList& arguments) { return clitest::run(arguments, config.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(config.isValid());
        QVERIFY2(QFile::exists(clitest::binary()), qPrintable(clitest::binary()));
    }

    void versionPrintsTheProgramsVersionText()
    {
        for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
            const auto r = cli({option});
            QCOMPARE(r.status, 0);
            QCOMPARE(r.out, QByteArray("tivor-cli 1.0.8 (Tivor v1.8)\n"));
            QCOMPARE(r.err, QByteArray());
        }
    }

    // Every help lists its lines in Spanish without accents, like every other text of the program.
    void help_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("lines");
        const QStringList port{"-p, --port PUERTO", "-b, --baud BAUDIOS", "--dy1 MS", "--dy2 MS"};
        QTest::newRow("main") << "" << QStringList{"send", "clock", "dump", "import", "show", "ports"};
        QTest::newRow("send") << "send" << port;
        QTest::newRow("clock") << "clock" << port;
        QTest::newRow("dump") << "dump" << QStringList{"-o, --output ARCHIVO", "--hex"};
        QTest::newRow("import") << "import" << QStringList{"-o, --output MENSAJE.mnm"};
        QTest::newRow("ports") << "ports" << QStringList{};
    }
    void help()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, lines);
        const auto r = cli(command.isEmpty() ? QStringList{"--help"} : QStringList{command, "--help"});
        QCOMPARE(r.status, 0);
        const QString text = QString::fromUtf8(r.out);
        QVERIFY2(text.startsWith(QStringLiteral("Uso: tivor-cli ") + (command.isEmpty() ? "COMANDO" : command)),
                 qPrintable(text));
        for (const QString& line : lines + QStringList{"-h, --help"})
            QVERIFY2(text.contains(QStringLiteral("\n  ") + line + QLatin1Char(' ')), qPrintable(line));
        QVERIFY(!text.contains(QStringLiteral("--ahora"))); // the test clock stays out of sight
        for (QChar c : text)
            QVERIFY2(c.unicode() < 128, qPrintable(QString(c)));
    }

    void withoutACommandTheHelpGoesToStandardErrorWithUsageStatus()
    {
        const auto r = cli({});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY(r.err.startsWith("Uso: tivor-cli"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown command") << QStringList{"enviar"}
                                         << "tivor-cli: comando desconocido: 'enviar' (ver tivor-cli --help)";
        QTest::newRow("unknown global option") << QStringList{"--puerto"}
                                               << "tivor-cli: opcion desconocida '--puerto' (ver tivor-cli --help)";
        QTest::newRow("unknown option of a command") << QStringList{"ports", "-x"}
                                                     << "tivor-cli: ports: opcion desconocida '-x'";
        QTest::newRow("argument too many") << QStringList{"show", "a.mnm", "b.mnm"}
                                           << "tivor-cli: show: argumento de mas: 'b.mnm'";
        QTest::newRow("option value where none goes") << QStringList{"ports", "--help=si"}
                                                      << "tivor-cli: ports: la opcion '--help' no lleva valor";
        QTest::newRow("import without -o") << QStringList{"import", "a.txt"}
                                           << "tivor-cli: import: falta -o MENSAJE.mnm, el archivo que se crea";
        QTest::newRow("-o without value") << QStringList{"import", "a.txt", "-o"}
                                          << "tivor-cli: import: falta el valor de la opcion '-o'";
        QTest::newRow("show without file") << QStringList{"show"}
                                           << "tivor-cli: show: falta el argumento MENSAJE.mnm (ver tivor-cli show --help)";
        QTest::newRow("dump -o empty") << QStringList{"dump", "a.mnm", "--output="}
                                       << "tivor-cli: dump: -o vacio: indique el archivo";
        QTest::newRow("clock at a bad moment") << QStringList{"clock", "--ahora", "ayer"}
                                               << "tivor-cli: --ahora 'ayer' no es una fecha valida";
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const auto r = cli(arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(clitest::errorLine(r), message);
    }

    void portsListsWhatTheSystemReports()
    {
        const auto r = cli({QStringLiteral("ports")});
        QCOMPARE(r.status, 0);
        QStringList expected;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
            expected << port.systemLocation();
        expected.sort();
        QStringList listed;
        for (const QByteArray& line : r.out.split('\n'))
            if (!line.isEmpty())
                listed << QString::fromUtf8(line).section(QLatin1Char(' '), 0, 0);
        QCOMPARE(listed, expected);
        if (expected.isEmpty())
            QCOMPARE(clitest::errorLine(r), QStringLiteral("tivor-cli: no se encontraron puertos serie"));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
