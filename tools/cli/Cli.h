// The command line's entry point, its exit statuses and the helpers every subcommand shares.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

namespace cli
{
// Distinct statuses so that a script can tell what went wrong without reading the message.
enum Status {
    StatusOk = 0,
    StatusUsage = 2,        // unknown command or option, missing argument, a value that is not accepted
    StatusFile = 3,         // a file that cannot be read, is not a message file, or cannot be written
    StatusPort = 4,         // the port (a serial line or a network sign) cannot be opened
    StatusTransmission = 5, // the port failed while the transmission was being written
    StatusCancelled = 130,  // stopped by SIGINT or SIGTERM; the terminator was written (128 + SIGINT, like shells)
};

// Parses the whole command line and runs the subcommand; returns the exit status.
int run(const QStringList& arguments);

// Prints "tivor-cli: <message>" on one line of standard error and returns `status`.
int fail(int status, const QString& message);

// Writes text to standard output in the locale's encoding (UTF-8 here); false when it could not be written.
bool printOut(const QString& text);

// A subcommand's parser with "-h, --help"; `usage` is the text after "tivor-cli " in the usage line.
struct Command
{
    QString name;
    QString usage;
    QString description;
    QList<QCommandLineOption> options;
    QStringList positionalNames; // exactly these positional arguments are required
};

// Parses `arguments` (the subcommand's own, without its name). Returns -1 when the command should run,
// else the status to exit with (help printed, or a usage error reported).
int parseCommand(QCommandLineParser& parser, const Command& command, const QStringList& arguments);

// The subcommands; `arguments` start with the subcommand's name.
int cmdSend(const QStringList& arguments);
int cmdClock(const QStringList& arguments);
int cmdDump(const QStringList& arguments);
int cmdImport(const QStringList& arguments);
int cmdShow(const QStringList& arguments);
int cmdPorts(const QStringList& arguments);
} // namespace cli
