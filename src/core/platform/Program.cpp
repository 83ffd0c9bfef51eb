// Folder, version, process start and the program's end.
#include "core/platform/Program.h"

#include <QCoreApplication>
#include <QProcess>

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
} // namespace platform
