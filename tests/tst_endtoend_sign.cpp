// The tivor-sign program as a real process: its link, its text and JSON output, signals and refusals.
#include "link/SerialLink.h"
#include "link/SignProtocol.h"
#include "link/PacedSend.h"
#include "link/Transmission.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "settings/RegSett.h"
#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <unistd.h>

using namespace Module1;

namespace
{
QString program()
{
#ifdef TIVOR_SIGN_PROGRAM
    return QStringLiteral(TIVOR_SIGN_PROGRAM);
#else
    return QString();
#endif
}

// One running tivor-sign, read line by line.
struct Sign
{
    QProcess process;

    bool start(const QStringList& args, const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        process.start(program(), args);
        return process.waitForStarted(5000);
    }
    QString line(int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired() && process.state() == QProcess::Running)
            process.waitForReadyRead(50);
        return QString::fromUtf8(process.readLine()).trimmed();
    }
    QJsonObject json(int timeoutMs = 10000) { return QJsonDocument::fromJson(line(timeoutMs).toUtf8()).object(); }
    bool stop(int sig)
    {
        ::kill(pid_t(process.processId()), sig);
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    ~Sign()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
};

QProcessEnvironment environmentWith(const QString& runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (runtimeDir.isEmpty())
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    else
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    return env;
}

bool writeTo(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && f.write(bytes) == bytes.size();
}

// A run of tivor-sign that is expected to refuse: its exit code and its standard error.
QPair<int, QString> refusal(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program(), args);
    if (!p.waitForFinished(5000))
        return {-1, QString()};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError()).trimmed()};
}
} // namespace

class TestEndToEndSign : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
    }

    void init()
    {
        testenv::reset(m_dir);
        resetTransmissionState();
    }

    void jsonShowsWhatTivorSends()
    {
        QTemporaryDir runtime;
        Sign s;
        QVERIFY(s.start({QStringLiteral("--headless"), QStringLiteral("--json")}, environmentWith(runtime.path())));
        const QJsonObject start = s.json();
        QCOMPARE(start.value(QStringLiteral("tipo")).toString(), QStringLiteral("inicio"));
        const QString link = start.value(QStringLiteral("enlace")).toString();
        QCOMPARE(link, runtime.filePath(QStringLiteral("tivor-sign")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), start.value(QStringLiteral("dispositivo")).toString());

        // The operator's settings: the link as the port, the shortest delays.
        ComPort = link;
        ComBaud = QStringLiteral("9600");
        DY1 = QStringLiteral("10");
        DY2 = QStringLiteral("01");
        PageCount = 3;
        PageText[1] = QString::fromUtf8("Año");
        PageEffect[1] = 1;
        PagePause[1] = 4;
        PageAlign[1] = AlignCenter;
        PageText[2] = QStringLiteral("Texto que pasa entero");
        PageText[3] = signproto::placeholderOf(signproto::EffectHora);
        PageEffect[3] = signproto::EffectHora;
        MSComm port;
        QVERIFY(openComPort(port));
        QVERIFY(buildMessageTransmission());
        QCOMPARE(sendPaced(port), TxOutcome::Completed);

        const QJsonObject msg = s.json();
        QCOMPARE(msg.value(QStringLiteral("tipo")).toString(), QStringLiteral("mensaje"));
        QVERIFY(msg.value(QStringLiteral("completa")).toBool());
        QCOMPARE(msg.value(QStringLiteral("bytes")).toInt(), TxLength);
        QCOMPARE(msg.value(QStringLiteral("velocidad")).toString(), QStringLiteral("Rapida"));
        const QJsonArray pages = msg.value(QStringLiteral("paginas")).toArray();
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[0].toObject().value(QStringLiteral("efecto")).toString(), QStringLiteral("Estatico"));
        QCOMPARE(pages[0].toObject().value(QStringLiteral("pausa")).toInt(), 5);
        QCOMPARE(pages[0].toObject().value(QStringLiteral("texto")).toString(), QString::fromUtf8("      Año       "));
        QCOMPARE(pages[1].toObject().value(QStringLiteral("efecto")).toString(), QStringLiteral("Rotacion"));
        QCOMPARE(pages[1].toObject().value(QStringLiteral("texto")).toString(), QStringLiteral("Texto que pasa entero"));
        QCOMPARE(pages[2].toObject().value(QStringLiteral("efecto")).toString(), QStringLiteral("Hora"));
        QCOMPARE(msg.value(QStringLiteral("errores")).toArray().size(), 0);

        QVERIFY(buildDateTransmission(QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9))));
        QCOMPARE(sendPaced(port), TxOutcome::Completed);
        const QJsonObject clock = s.json();
        QCOMPARE(clock.value(QStringLiteral("tipo")).toString(), QStringLiteral("hora"));
        QCOMPARE(clock.value(QStringLiteral("hora")).toString(), QStringLiteral("14:05:09"));
        QCOMPARE(clock.value(QStringLiteral("fecha")).toString(), QStringLiteral("05/12/26"));

        port.setPortOpen(false);
        QVERIFY(s.stop(SIGTERM));
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(link + QStringLiteral(".lock")));
    }

    void headlessTextAndSigint()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("cartel"));
        Sign s;
        QVERIFY(s.start({QStringLiteral("--headless"), QStringLiteral("--link"), link}, environmentWith(dir.path())));
        QVERIFY(s.line().startsWith(QStringLiteral("Cartel virtual escuchando en /dev/pts/")));
        QVERIFY(s.line().startsWith(QStringLiteral("Enlace: ") + link));
        // Any program can write to the link; a cancelled second message and a stray byte follow.
        QVERIFY(writeTo(link, QByteArray::fromHex("572D4E5439DFE080202020202020484F4C41202020202020C60101")));
        QCOMPARE(s.line(), QStringLiteral("Mensaje: 1 paginas, 27 bytes, velocidad Rapida"));
        QCOMPARE(s.line(), QStringLiteral("Pagina  1  Estatico   pausa 5  |      HOLA      |"));
        QVERIFY(writeTo(link, QByteArray::fromHex("572D4E5439DFE0914142430101")));
        QCOMPARE(s.line(), QStringLiteral("Mensaje: 0 paginas, 13 bytes, velocidad Rapida (con errores: el cartel la descarta)"));
        QCOMPARE(s.line(), QStringLiteral("Error: registro LLuvia (0x91) cortado por el terminador tras 3 de 16 caracteres"));
        QVERIFY(writeTo(link, QByteArray::fromHex("572D4E5439B0140509051226010178")));
        QCOMPARE(s.line(), QStringLiteral("Hora 14:05:09 Fecha 05/12/26"));
        QCOMPARE(s.line(), QStringLiteral("Error: byte 0x78 despues del terminador"));
        QVERIFY(s.stop(SIGINT));
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void fallbackWithoutRuntimeFolder()
    {
        QTemporaryDir tmp;
        QProcessEnvironment env = environmentWith(QString());
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        Sign s;
        QVERIFY(s.start({QStringLiteral("--json")}, env));
        QCOMPARE(s.json().value(QStringLiteral("enlace")).toString(),
                 tmp.filePath(QStringLiteral("tivor-sign-%1").arg(::getuid())));
        QVERIFY(s.stop(SIGTERM));
    }

    void replacesItsOwnStaleLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("cartel"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/987654"), link));
        Sign s;
        QVERIFY(s.start({QStringLiteral("--json"), QStringLiteral("--link"), link}, environmentWith(dir.path())));
        const QJsonObject start = s.json();
        QCOMPARE(QFileInfo(link).symLinkTarget(), start.value(QStringLiteral("dispositivo")).toString());

        // A second virtual sign on the same link is refused; the first keeps its link.
        const auto [code, err] = refusal({QStringLiteral("--json"), QStringLiteral("--link"), link}, environmentWith(dir.path()));
        QCOMPARE(code, 1);
        QVERIFY2(err.contains(QStringLiteral("otro cartel virtual ya usa el enlace")), qPrintable(err));
        QCOMPARE(QFileInfo(link).symLinkTarget(), start.value(QStringLiteral("dispositivo")).toString());
        QVERIFY(s.stop(SIGTERM));
    }

    void refusesAPathTakenBySomethingElse_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link elsewhere") << "link";
    }
    void refusesAPathTakenBySomethingElse()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cartel"));
        if (kind == QLatin1String("file"))
            QVERIFY(testenv::writeFile(path, "datos del usuario"));
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("cartel")));
        else
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("otro")), path));
        const auto [code, err] = refusal({QStringLiteral("--headless"), QStringLiteral("--link"), path}, environmentWith(dir.path()));
        QCOMPARE(code, 1);
        QCOMPARE(err, QStringLiteral("tivor-sign: %1 ya existe y no es un enlace de un cartel virtual: elija otra ruta con --link").arg(path));
        if (kind == QLatin1String("file"))
            QCOMPARE(testenv::readFile(path), QByteArray("datos del usuario"));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".lock")));
    }

    void commandLine()
    {
        QProcess p;
        p.start(program(), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY(help.contains(QStringLiteral("--port <dispositivo>")));
        QVERIFY(help.contains(QStringLiteral("Cartel virtual de Tivor")));
        for (QChar c : help)
            QVERIFY(c.unicode() < 0x80);
        const auto [code, err] = refusal({QStringLiteral("--json"), QStringLiteral("--baud"), QStringLiteral("rapido")},
                                         environmentWith(m_dir.path()));
        QCOMPARE(code, 2);
        QCOMPARE(err, QStringLiteral("tivor-sign: velocidad no valida: rapido"));
        const auto [code2, err2] = refusal({QStringLiteral("--headless"), QStringLiteral("--port"), QStringLiteral("/dev/no-existe")},
                                           environmentWith(m_dir.path()));
        QCOMPARE(code2, 1);
        QVERIFY2(err2.startsWith(QStringLiteral("tivor-sign: no se puede abrir /dev/no-existe")), qPrintable(err2));
    }
};

QTEST_MAIN(TestEndToEndSign)
#include "tst_endtoend_sign.moc"
