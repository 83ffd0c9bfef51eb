#include "support/CliKit.h"

#include <QDir>
#include <QTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

QProcessEnvironment CliTest::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

void CliTest::start(const QStringList& arguments, const std::function<void()>& inChild)
{
    process.setProcessEnvironment(environment());
    process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(TIVOR_CLI_BINARY), arguments);
}

QString CliTest::run(const QStringList& arguments, const std::function<void()>& inChild)
{
    start(arguments, inChild);
    process.waitForFinished(20000);
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::number(status) + u'|' + QString::fromUtf8(process.readAllStandardOutput()) + u'|' +
           QString::fromUtf8(process.readAllStandardError());
}

bool CliTest::settings(const QByteArray& text)
{
    return QDir().mkpath(path("config/Tivor")) && testenv::writeFile(path("config/Tivor/Tivor.conf"), text);
}

void CliTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    pty = std::make_unique<testpty::Pty>();
    QVERIFY2(pty->ok(), qPrintable(pty->error()));
    QVERIFY(settings("[COM]\nPort=" + pty->slavePath().toUtf8() + "\n[PGM]\nDY1=10\nDY2=05\n"));
    for (const auto& [name, bytes] : QList<QPair<QString, QByteArray>>{
             {"hola.mnm", "1,4,2,\"HOLA\"\r\n"}, {"300.mnm", "300,0,0,\"x\"\r\n"}, {"vacio.mnm", ""},
             {"blanco.txt", "\r\n\n\r"}, {"p1.mnm", "13,0,0,\"x\"\r\n"}, {"uno.txt", "uno\n"},
             {"malo.mnm", "1,4,2,\"HOLA\"\r\n1,4,\"x\"\r\n"}})
        QVERIFY(testenv::writeFile(path(name), bytes));
    QVERIFY(QFile::setPermissions(path("uno.txt"), QFile::ReadOwner));
    QVERIFY(::mkfifo(qPrintable(path("fifo")), 0600) == 0 && QFile::link("ciclo", path("ciclo")));
    QVERIFY(QFile::link("hola.mnm", path("enlace.mnm")) &&
            ::link(qPrintable(path("hola.mnm")), qPrintable(path("duro.mnm"))) == 0);
    QVERIFY(::geteuid() != 0 || ::mknod(qPrintable(path("nul")), S_IFCHR | 0666, makedev(1, 3)) == 0);
}

// A failed check must not leave a sender running into the next test.
void CliTest::cleanup()
{
    process.kill();
    process.waitForFinished();
}
