// Windows-1252 bytes to text at the speed of a Latin-1 copy, for the readers of large files.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Same result as Cp1252::decode; with `byte255AsQuote` every byte 255 becomes a double quote (what RComi does),
// in the same pass.
QString decodeWindows1252(QByteArrayView bytes, bool byte255AsQuote = false);

// Reads a whole regular file; false for an empty path, a folder, or a file that cannot be opened or read.
bool readWholeFile(const QString& path, QByteArray* bytes);
