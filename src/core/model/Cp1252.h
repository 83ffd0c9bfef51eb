// Windows-1252, the one 8-bit character set of message files, text files and the sign's bytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Cp1252
{
// One byte per character; a character with no Windows-1252 code becomes its plain letter when it is a
// letter beyond Latin-1 ("ą" -> 'a', as the sign shows it), otherwise '?', never a control byte.
// The five positions Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) round-trip through
// U+0081.. like Windows does, so no byte of a file is ever lost.
QByteArray encode(const QString& text);

// The characters of `text` that encode() cannot keep (written as '?'), each once, in order.
QString unkept(const QString& text);

// The byte encode() writes for one character.
char byteOf(char32_t code);

// The plain letter a character stands for (Á -> A, ç -> c, Œ -> O, ą -> a), or '#' when it is no letter.
QChar plainLetterOf(QChar c);

// The Windows-1252 code of one character, or -1 when it has none.
int codeOf(char32_t ch);

// One character per byte; every byte value has one, so encode(decode(bytes)) gives the same bytes back.
QString decode(QByteArrayView bytes);

// True for the five bytes Windows-1252 leaves undefined: decode() keeps them (as C1 controls) only so that a
// file's bytes survive, they stand for no character.
bool isUndefined(unsigned char byte);
} // namespace Cp1252
