// Reading the files the subcommands are given and writing their output, with one-line Spanish errors.
#pragma once

#include "core/files/FileIO.h"
#include "core/model/Message.h"

#include <QByteArray>
#include <QString>

namespace cli
{
// Reports why `path` could not be read ("no existe", "es una carpeta", ...) and returns StatusFile.
int readFailure(const QString& path, const FileFailure& failure);

// Loads a message file into the model by the window's own rules: a broken file, or page 1 with codes the
// lists do not hold, is refused. Returns -1 on success, else reports and returns StatusFile.
int loadMessageFile(const QString& path, Message& message);

// Writes `bytes` to `path` by the program's atomic writer, or to standard output when `path` is empty.
// Returns -1 on success, else reports and returns StatusFile.
int writeOutput(const QString& path, const QByteArray& bytes);

// Refuses an output that is the input file itself (by device and inode: through a link, "./" or a hard link
// too), before anything is read or written. Returns -1 when they differ, else reports and returns StatusFile.
int refuseSameFile(const QString& input, const QString& output);
} // namespace cli
