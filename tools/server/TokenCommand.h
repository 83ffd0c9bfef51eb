// "tivor-server token add NAME --scope SCOPE [--config FILE]": a new token, shown once, its hash kept in the
// configuration.
#pragma once

#include <QString>
#include <QStringList>

struct CommandOutput
{
    int status = 0;
    QString out;   // standard output: the token, or the help
    QString error; // standard error, one line without the program's name
};

// `arguments` from "token" on.
CommandOutput tokenCommand(const QStringList& arguments);
