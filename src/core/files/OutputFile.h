// "Salida.txt": a transmission written to a file instead of the sign.
#pragma once

#include <QByteArray>
#include <QString>

// The file's one line: a double quote, the bytes exactly (quotes inside as they are), a double quote, CR LF.
QByteArray salidaLine(const QByteArray& transmission);

// Writes salidaLine(transmission) to "Salida.txt" in `programFolder`, replacing any old file; where that folder
// cannot be written (an installed program) or is not given, to the per-user data folder instead. Returns the
// full path written, or an empty text with the reason in `error`.
QString writeSalida(const QString& programFolder, const QByteArray& transmission, QString* error = nullptr);

// The per-user folder "Salida.txt" goes to when the program's folder cannot take it.
QString salidaFallbackFolder();
