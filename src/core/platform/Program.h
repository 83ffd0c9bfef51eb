// The program's own folder and version, starting other programs and ending this one.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace platform
{
QString appFolder();
int versionMajor();
int versionRevision();
QString versionString(); // "1.0.8"

// Raises this process's limit of open files as far as the system allows (a fleet holds a few descriptors per
// sign, more than a shell's usual soft limit of 1024 allows for hundreds of signs) and returns it; -1 where
// there is no such limit.
qint64 raiseOpenFilesLimit();

// Starts other programs and ends this one; the window and its help reach them through one of these, so a
// test can record what would have been started or ended without its own process going away.
class ProgramStarter
{
public:
    virtual ~ProgramStarter() = default;
    // Starts a program detached; false when it could not be started.
    virtual bool start(const QString& program, const QStringList& arguments) = 0;
    // Ends the program at once, without closing the window first (so the close prompt does not ask again).
    virtual void endThisProgram() = 0;
};

// The operating system's processes and this program's event loop.
class SystemProgramStarter final : public ProgramStarter
{
public:
    bool start(const QString& program, const QStringList& arguments) override;
    void endThisProgram() override;
};
} // namespace platform
