// tivor-cli run as a real process on real files, in a folder of its own, with a real pseudo-terminal as
// the sign: what the command-line tests share.
#pragma once
#include "support/Pty.h"
#include "support/TestEnv.h"

#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>

inline const QByteArray kHola = QByteArray::fromHex("572D4E5439DFE080 202020202020 484F4C41 202020202020 C60101");

class CliTest : public QObject
{
    Q_OBJECT
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<testpty::Pty> pty;
    QProcess process;

    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList fast() const { return {"--port", pty->slavePath(), "--dy1", "10", "--dy2", "01"}; }
    // Its own settings folder (the user's settings are never read or changed) and no display.
    QProcessEnvironment environment() const;
    void start(const QStringList& arguments, const std::function<void()>& inChild = {});
    // Runs to the end: "status|standard output|standard error".
    QString run(const QStringList& arguments, const std::function<void()>& inChild = {});
    // The stored settings tivor-cli reads.
    [[nodiscard]] bool settings(const QByteArray& text);

protected slots:
    // Each test: a new folder with the files the tests read, a new sign, settings that name it.
    void init();
    void cleanup();
};
