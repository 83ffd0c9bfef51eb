// Runs the real tivor-cli binary as a child process, with its own settings folder, for the CLI tests.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

namespace clitest
{
struct Result
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The tivor-cli built alongside the tests (its path is a compile definition of the test executable).
inline QString binary()
{
#ifdef TIVOR_CLI_BINARY
    return QStringLiteral(TIVOR_CLI_BINARY);
#else
    return QString();
#endif
}

// An environment whose settings store (QSettings, XDG_CONFIG_HOME) is `configHome`, so the user's own
// settings are never read or changed.
QProcessEnvironment environment(const QString& configHome);

// Writes the Tivor settings file under `configHome` with these "Section/Key" = value pairs.
bool writeSettings(const QString& configHome, const QList<QPair<QString, QString>>& values);

// Runs tivor-cli to completion (at most `timeoutMs`); `setup` may adjust the process before it starts.
Result run(const QStringList& arguments, const QString& configHome,
           const std::function<void(QProcess&)>& setup = {}, int timeoutMs = 20000);

// Marks every open descriptor of the test process close-on-exec, so a child holds no copy of them: a test's
// pseudo-terminal master must be really closed when the test closes it (a hang-up the child should see).
void keepDescriptorsFromChildren();

// The one line on standard error that an error must produce, without its line end; empty if not one line.
QString errorLine(const Result& result);
} // namespace clitest
