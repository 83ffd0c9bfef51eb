// Child-process runner for the tivor-cli tests.
#include "support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>

namespace clitest
{
QProcessEnvironment environment(const QString& configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the command line must not need any display
    return env;
}

bool writeSettings(const QString& configHome, const QList<QPair<QString, QString>>& values)
{
    // Written by hand rather than through QSettings, so the test fixes the exact file the program reads.
    QMap<QString, QStringList> sections;
    for (const auto& [path, value] : values) {
        const QString section = path.section(QLatin1Char('/'), 0, 0);
        sections[section] << path.section(QLatin1Char('/'), 1) + QLatin1Char('=') + value;
    }
    QString text;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
        text += QLatin1Char('[') + it.key() + QStringLiteral("]\n") + it.value().join(QLatin1Char('\n')) +
                QStringLiteral("\n\n");
    QDir().mkpath(configHome + QStringLiteral("/Tivor"));
    QFile file(configHome + QStringLiteral("/Tivor/Tivor.conf"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

Result run(const QStringList& arguments, const QString& configHome, const std::function<void(QProcess&)>& setup,
           int timeoutMs)
{
    QProcess process;
    process.setProgram(binary());
    process.setArguments(arguments);
    process.setProcessEnvironment(environment(configHome));
    if (setup)
        setup(process);
    process.start();
    Result result;
    if (!process.waitForStarted(5000))
        return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

void keepDescriptorsFromChildren()
{
    const QStringList open = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : open) {
        const int fd = name.toInt();
        if (fd > 2) {
            const int flags = ::fcntl(fd, F_GETFD);
            if (flags >= 0)
                ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
        }
    }
}

QString errorLine(const Result& result)
{
    const QString err = QString::fromUtf8(result.err);
    if (!err.endsWith(QLatin1Char('\n')) || err.count(QLatin1Char('\n')) != 1)
        return QString();
    return err.chopped(1);
}
} // namespace clitest
