// Test environment helpers.
#include "support/TestEnv.h"

#include <csignal>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace testenv
{
Doubles& doubles()
{
    static Doubles current;
    return current;
}

void reset(const QTemporaryDir& dir, double waitScale)
{
    // In place: a window made before still holds these doubles.
    doubles() = Doubles();
    doubles().clock.waitScale = waitScale;
    const QString settingsFile = dir.filePath(QStringLiteral("Tivor.conf"));
    QFile::remove(settingsFile);
    doubles().settings = platform::SettingsStore::inFile(settingsFile);
}

bool noUnexpectedPrompts()
{
    const Doubles& d = doubles();
    for (const auto& box : d.prompter.unexpected)
        qWarning("unanswered message box: %s / %s", qPrintable(box.title), qPrintable(box.text));
    for (const auto& dlg : d.files.unexpected)
        qWarning("unanswered file dialog, filter %s", qPrintable(dlg.filter));
    return d.prompter.unexpected.isEmpty() && d.files.unexpected.isEmpty() && d.prompter.answers.isEmpty() &&
           d.files.fileNames.isEmpty();
}

void onNextModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [timer, deadline, action]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            action(modal);
    });
    timer->start(10);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 peakMemoryKb(qint64 pid)
{
    const QByteArray text = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    return text.contains("VmHWM:") ? text.mid(text.indexOf("VmHWM:") + 6).trimmed().split(' ').value(0).toLongLong()
                                   : 0;
}

#ifdef Q_OS_WIN
bool FileSizeLimit::available()
{
    return false;
}

FileSizeLimit::FileSizeLimit(long long)
{
    qFatal("no file-size limit on Windows: skip the test");
}

FileSizeLimit::~FileSizeLimit() = default;
#else
bool FileSizeLimit::available()
{
    return true;
}

FileSizeLimit::FileSizeLimit(long long bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    savedCurrent = limit.rlim_cur;
    savedMaximum = limit.rlim_max;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot set the file-size limit");
}

FileSizeLimit::~FileSizeLimit()
{
    const rlimit saved{static_cast<rlim_t>(savedCurrent), static_cast<rlim_t>(savedMaximum)};
    setrlimit(RLIMIT_FSIZE, &saved);
}
#endif
} // namespace testenv
