// Reading the files the subcommands are given and writing their output, with one-line Spanish errors.
#pragma once

#include <QByteArray>
#include <QString>

namespace cli
{
// Reads the whole file. Returns -1 on success, else reports why ("no existe", "es una carpeta", ...) and
// returns StatusFile.
int readInputFile(const QString& path, QByteArray* bytes);

// Loads a message file into the model, by the program's reader: nothing of a broken file reaches the model.
// Returns -1 on success, else reports and returns StatusFile.
int loadMessage(const QString& path);

// Writes `bytes` to `path` through a temporary file that replaces the old one only when complete, or to
// standard output when `path` is empty. Returns -1 on success, else reports and returns StatusFile.
int writeOutput(const QString& path, const QByteArray& bytes);
} // namespace cli
