// The character filter: page text to the characters the sign shows, padded to its 16-character line.
#pragma once

#include <QChar>
#include <QList>
#include <QString>

// `text` brought to the sign's line by `align` (0 left, 2 centred) and `width` characters of it (0: as many
// as the text has, 16: exactly 16) converted to the sign's characters. With width 0 a left-aligned text
// goes out as long as it is: its blanks are only the model's (see paddedText). Every character of the
// result is below the command bytes: printable ASCII, or the sign's own codes.
QString Filtro(const QString& text, quint8 width, quint8 align);

// A text shorter than the sign's line filled up with blanks by `align` (0 after it, 2 around it, the odd
// one after); any other text, or another alignment, as it is. What a send leaves in the model.
QString paddedText(const QString& text, quint8 align);

// The one character sent for one character of page text.
QChar signCharOf(QChar c);

// A character of page text that the sign cannot show as it is and gets instead "#" or a plain letter.
struct FilterMark
{
    int index = 0; // position in the text
    QChar original;
    QChar shown;             // '#' or the unaccented letter sent instead
    bool unmappable = false; // true when shown is '#'
};

// The replaced characters of `text`, left to right; the text itself is not touched.
QList<FilterMark> filterMarks(const QString& text);
