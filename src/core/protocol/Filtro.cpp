// Filtro and the sign's character codes.
#include "core/protocol/Filtro.h"

#include "core/model/Cp1252.h"
#include "core/protocol/SignProtocol.h"

using Cp1252::plainLetterOf;
using signproto::LineWidth;
using signproto::signByteFor;

QChar signCharOf(QChar c)
{
    const char16_t u = c.unicode();
    // Half of a character outside the 16-bit range: its halves are no characters of their own.
    if (c.isSurrogate())
        return u'#';
    // A letter beyond Latin-1 is its base letter, whatever its low byte: "ą" (0x0105) is no control.
    if (u > 0xFF && c.isLetter() && signByteFor(u) < 0)
        return plainLetterOf(c);
    const int b = u & 0xFF;
    if (b < 32)
        return u'#';
    if (b < 128) {
        if (const int code = signByteFor(u); code >= 0)
            return QChar(char16_t(code)); // "@"
        if (u < 0x7F)
            return c;
        if (u == 0x7F)
            return u'#'; // DEL is a control byte as well
        // Above U+00FF with a printable low byte (Œ, …, š): its own code would be a command byte.
        return plainLetterOf(c);
    }
    // Bytes from 0x80 up are commands to the sign, so every character of this class that has no code of
    // its own has to end up as printable ASCII.
    const int code = signByteFor(u);
    if (code >= 0)
        return QChar(char16_t(code));
    return plainLetterOf(c);
}

QString paddedText(const QString& text, quint8 align)
{
    const qsizetype len = text.size();
    if (len >= LineWidth)
        return text;
    if (align == 0)
        return text + QString(LineWidth - len, u' ');
    if (align != 2)
        return text;
    const qsizetype k = (LineWidth - len) / 2;
    QString centred = QString(k, u' ') + text + QString(k, u' ');
    if (centred.size() < LineWidth)
        centred += u' ';
    return centred;
}

QString Filtro(const QString& text, quint8 width, quint8 align)
{
    const QString padded = paddedText(text, align);
    // A centred text goes out with its blanks, a left-aligned one of width 0 without them.
    const qsizetype count = width != 0 ? qsizetype(width) : align == 2 ? padded.size() : text.size();
    QString result;
    result.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        // Other alignments are not padded; a fixed-width record still needs its blanks.
        const QChar c = i < padded.size() ? padded.at(i) : QChar(u' ');
        result += signCharOf(c);
    }
    return result;
}

QList<FilterMark> filterMarks(const QString& text)
{
    QList<FilterMark> marks;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar shown = signCharOf(c);
        if (shown == c || signByteFor(c.unicode()) >= 0)
            continue;
        marks.append(FilterMark{int(i), c, shown, shown == u'#'});
    }
    return marks;
}
