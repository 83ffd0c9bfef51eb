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

    void helpListsEveryCommandInSpanish()
    {
        const auto r = cli({QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        const QString text = QString::fromUtf8(r.out);
        QVERIFY(text.startsWith(QStringLiteral("Uso: tivor-cli COMANDO")));
        for (const char* command : {"  send ", "  clock ", "  dump ", "  import ", "  show ", "  ports "})
            QVERIFY2(text.contains(QLatin1String(command)), command);
        // Spanish without accents, like every other text of the program.
        for (QChar c : text)
            QVERIFY2(c.unicode() < 128, qPrintable(QString(c)));
    }

    void commandHelpShowsItsOptions()
    {
        const auto r = cli({QStringLiteral("ports"), QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("Uso: tivor-cli ports\n"));
        QVERIFY(r.out.contains("-h, --help"));
    }

    void everyCommandHasItsHelp_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("options");
        const QStringList port{"-p, --port PUERTO", "-b, --baud BAUDIOS", "--dy1 MS", "--dy2 MS"};
        QTest::newRow("send") << "send" << port;
        QTest::newRow("clock") << "clock" << port;
        QTest::newRow("dump") << "dump" << QStringList{"-o, --output ARCHIVO", "--hex"};
        QTest::newRow("import") << "import" << QStringList{"-o, --output MENSAJE.mnm"};
        QTest::newRow("show") << "show" << QStringList{};
        QTest::newRow("ports") << "ports" << QStringList{};
    }

    void everyCommandHasItsHelp()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, options);
        const auto r = cli({command, QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        const QString text = QString::fromUtf8(r.out);
        QVERIFY2(text.startsWith(QStringLiteral("Uso: tivor-cli ") + command), qPrintable(text));
        for (const QString& option : options + QStringList{"-h, --help"})
            QVERIFY2(text.contains(QStringLiteral("\n  ") + option + QLatin1Char(' ')), qPrintable(option));
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
        QTest::newRow("unknown option of a command") << QStringList{"ports", "--all"}
                                                     << "tivor-cli: ports: opcion desconocida '--all'";
        QTest::newRow("unknown short option") << QStringList{"ports", "-x"}
                                              << "tivor-cli: ports: opcion desconocida '-x'";
        QTest::newRow("argument too many") << QStringList{"ports", "COM1"}
                                           << "tivor-cli: ports: argumento de mas: 'COM1'";
        QTest::newRow("option value where none goes") << QStringList{"ports", "--help=si"}
                                                      << "tivor-cli: ports: la opcion '--help' no lleva valor";
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
