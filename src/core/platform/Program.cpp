// Folder, version, process start and the program's end.
#include "core/platform/Program.h"

#include <QCoreApplication>
#include <QProcess>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace platform
{
QString appFolder()
{
    return QCoreApplication::applicationDirPath();
}

int versionMajor()
{
    return TIVOR_VERSION_MAJOR;
}
int versionRevision()
{
    return TIVOR_VERSION_PATCH;
}
QString versionString()
{
    return QStringLiteral(TIVOR_VERSION_STRING);
}

bool SystemProgramStarter::start(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void SystemProgramStarter::endThisProgram()
{
    // Leaves the event loop without closing the window, so Form_Unload does not ask a second time.
    QCoreApplication::exit(0);
}

qint64 raiseOpenFilesLimit()
{
#ifdef Q_OS_WIN
    return -1;
#else
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : qint64(limit.rlim_cur);
#endif
}
} // namespace platform
