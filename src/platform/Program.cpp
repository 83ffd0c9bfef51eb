// Folder, version and process start.
#include "platform/Program.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform
{
QString appFolder()
{
    return QCoreApplication::applicationDirPath();
}

int versionMajor() { return TIVOR_VERSION_MAJOR; }
int versionMinor() { return TIVOR_VERSION_MINOR; }
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

bool openDocument(const QString& path)
{
    if (testing::scriptedPrograms) {
        testing::startedPrograms.append({QStringLiteral("<open>"), {path}});
        return testing::startResult;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
} // namespace platform
