// The program's own folder and version, and starting other programs.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace platform
{
QString appFolder();
int versionMajor();
int versionMinor();
int versionRevision();
QString versionString(); // "1.0.8"

// Starts a program detached; false when it could not be started.
bool startProgram(const QString& program, const QStringList& arguments);
// Opens a local file in the desktop's viewer for its type; false when none took it.
bool openDocument(const QString& path);
} // namespace platform

namespace platform::testing
{
struct StartedProgram
{
    QString program;
    QStringList arguments;
};
// While scripted, nothing is started: calls are recorded and answer `startResult`.
inline bool scriptedPrograms = false;
inline bool startResult = true;
inline QList<StartedProgram> startedPrograms;
} // namespace platform::testing
