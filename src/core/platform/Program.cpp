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

int versionMajor() { return TIVOR_VERSION_MAJOR; }
int versionRevision() { return TIVOR_VERSION_PATCH; }
QString versionString() { return QStringLiteral(TIVOR_VERSION_STRING); }

bool startProgram(const QString& program, const QStringList& arguments)
{
    if (testing::scriptedPrograms) {
        testing::startedPrograms.append({program, arguments});
        return testing::startResult;
    }
    return QProcess::startDetached(program, arguments);
}

void endProgram()
{
    if (testing::scriptedEnd) {
        ++testing::endCount;
        return;
    }
    // Leaves the event loop without closing the window, so Form_Unload does not ask a second time.
    QCoreApplication::exit(0);
}
} // namespace platform
