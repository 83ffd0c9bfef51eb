// "Salida.txt": the message transmission written to a file instead of the sign.
#pragma once

#include <QString>

// Writes one line, a double quote, the bytes of TxBuffer exactly, a double quote, CR LF, to "Salida.txt"
// in AppFolder, replacing any old file; where AppFolder cannot be written (an installed program), to the
// per-user data folder instead. Returns the full path written, or an empty text with the reason in `error`.
QString writeSalida(QString* error = nullptr);
