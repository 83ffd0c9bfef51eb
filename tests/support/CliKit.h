// tivor-cli run as a real process on real files, in a folder of its own, with a real pseudo-terminal as
// the sign: what the command-line tests share.
#pragma once
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

class CliTest : public QObject
{
    Q_OBJECT
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<testpty::Pty> pty;
    QProcess process;

    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList fast() const { return {"--port", pty->slavePath(), "--dy1", "10", "--dy2", "01"}; }
    // Its own settings folder (the user's settings are never read or changed) and no display.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return env;
    }
    void start(const QStringList& arguments, const std::function<void()>& inChild = {})
    {
        process.setProcessEnvironment(environment());
        process.setChildProcessModifier(inChild);
        process.start(QStringLiteral(TIVOR_CLI_BINARY), arguments);
    }
    // Runs to the end: "status|standard output|standard error".
    QString run(const QStringList& arguments, const std::function<void()>& inChild = {})
    {
        start(arguments, inChild);
        process.waitForFinished(20000);
        const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::number(status) + u'|' + QString::fromUtf8(process.readAllStandardOutput()) + u'|' +
               QString::fromUtf8(process.readAllStandardError());
    }
    // What tivor-cli dump writes for a message file, without the quotes and line end around it.
    QByteArray dumped(const QByteArray& messageFile)
    {
        if (!testenv::writeFile(path("dump.mnm"), messageFile))
            return {};
        start({"dump", path("dump.mnm")});
        process.waitForFinished(10000);
        const QByteArray line = process.readAllStandardOutput();
        return line.mid(1, line.size() - 4);
    }
    // tivor-cli import's message file for a text file, through dump.
    QByteArray importedDump(const QByteArray& text)
    {
        if (!testenv::writeFile(path("import.txt"), text) ||
            !run({"import", path("import.txt"), "-o", path("import.mnm")}).startsWith("0|"))
            return {};
        return dumped(testenv::readFile(path("import.mnm")));
    }
    // The stored settings tivor-cli reads.
    [[nodiscard]] bool settings(const QByteArray& text)
    {
        return QDir().mkpath(path("config/Tivor")) && testenv::writeFile(path("config/Tivor/Tivor.conf"), text);
    }

protected slots:
    // Each test: a new folder with the files the tests read, a new sign, settings that name it.
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        pty = std::make_unique<testpty::Pty>();
        QVERIFY2(pty->ok(), qPrintable(pty->error()));
        QVERIFY(settings("[COM]\nPort=" + pty->slavePath().toUtf8() + "\n[PGM]\nDY1=10\nDY2=05\n"));
        for (const auto& [name, bytes] :
             QList<QPair<QString, QByteArray>>{{"hola.mnm", "1,4,2,\"HOLA\"\r\n"},
                                               {"300.mnm", "300,0,0,\"x\"\r\n"},
                                               {"vacio.mnm", ""},
                                               {"blanco.txt", "\r\n\n\r"},
                                               {"p1.mnm", "13,0,0,\"x\"\r\n"},
                                               {"uno.txt", "uno\n"},
                                               {"malo.mnm", "1,4,2,\"HOLA\"\r\n1,4,\"x\"\r\n"},
                                               {"comentarios.txt", "# tienda\n\n"},
                                               {"cero.txt", QByteArray("x\0y\n", 4)}})
            QVERIFY(testenv::writeFile(path(name), bytes));
        QVERIFY(QFile::setPermissions(path("uno.txt"), QFile::ReadOwner));
        QVERIFY(::mkfifo(qPrintable(path("fifo")), 0600) == 0 && QFile::link("ciclo", path("ciclo")));
        QVERIFY(QFile::link("hola.mnm", path("enlace.mnm")) &&
                ::link(qPrintable(path("hola.mnm")), qPrintable(path("duro.mnm"))) == 0);
        QVERIFY(::geteuid() != 0 || ::mknod(qPrintable(path("nul")), S_IFCHR | 0666, makedev(1, 3)) == 0);
    }
    // A failed check must not leave a sender running into the next test.
    void cleanup()
    {
        process.kill();
        process.waitForFinished();
    }
};
