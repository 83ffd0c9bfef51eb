// The program's own folder and version, starting other programs and ending this one.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace platform
{
QString appFolder();
int versionMajor();
int versionRevision();
QString versionString(); // "1.0.8"

// Starts a program detached; false when it could not be started.
bool startProgram(const QString& program, const QStringList& arguments);

// Windows shows the compiled help (tivor.chm) with its own viewer, hh.exe; elsewhere the program shows the
// HTML document in its own help window.
#ifdef Q_OS_WIN
inline constexpr bool helpHasSystemViewer = true;
#else
inline constexpr bool helpHasSystemViewer = false;
#endif

// Ends the program at once, without closing the window first (so the close prompt does not ask again).
void endProgram();
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
// While set, endProgram() only counts: a test's event loop must keep running.
inline bool scriptedEnd = false;
inline int endCount = 0;
} // namespace platform::testing
