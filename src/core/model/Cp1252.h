// Windows-1252, the one 8-bit character set of message files, text files and the sign's bytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Cp1252
{
// One byte per character; a character with no Windows-1252 code becomes '?', never a control byte.
// The five positions Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) round-trip through
// U+0081.. like Windows does, so no byte of a file is ever lost.
QByteArray encode(const QString& text);

// The Windows-1252 code of one character, or -1 when it has none.
int codeOf(char32_t ch);

// One character per byte; every byte value has one, so encode(decode(bytes)) gives the same bytes back.
QString decode(QByteArrayView bytes);
} // namespace Cp1252
