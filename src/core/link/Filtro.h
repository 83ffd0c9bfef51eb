// The character filter: page text to the characters the sign shows, padded to its 16-character line.
#pragma once

#include <QChar>
#include <QList>
#include <QString>

// Brings `text` to the sign's line by `align` (0 left, 2 centred; the padding is written back into
// `text`) and converts `width` characters (0: the whole text, 16: exactly 16) to the sign's characters.
// Every character of the result is below the command bytes: printable ASCII, or the sign's own codes.
QString Filtro(QString& text, quint8& width, quint8& align);

// The one character sent for one character of page text.
QChar signCharOf(QChar c);

// A character of page text that the sign cannot show as it is and gets instead "#" or a plain letter.
struct FilterMark
{
    int index = 0;           // position in the text
    QChar original;
    QChar shown;             // '#' or the unaccented letter sent instead
    bool unmappable = false; // true when shown is '#'
};

// The replaced characters of `text`, left to right; the text itself is not touched.
QList<FilterMark> filterMarks(const QString& text);
