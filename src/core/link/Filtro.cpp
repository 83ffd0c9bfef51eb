// Filtro and the sign's character codes.
#include "core/link/Filtro.h"

#include "core/protocol/SignProtocol.h"

using signproto::LineWidth;
using signproto::signByteFor;

namespace
{
// The plain letter a character stands for (Á -> A, ç -> c, Œ -> O), or '#' when it is no letter.
QChar plainLetterOf(QChar c)
{
    switch (c.unicode()) {
    case 0x00A0: return u' '; // no-break space looks like a blank
    case 0x00C6: return u'A'; // Æ
    case 0x00E6: return u'a'; // æ
    case 0x00D8: return u'O'; // Ø
    case 0x00F8: return u'o'; // ø
    case 0x00DF: return u's'; // ß
    case 0x0152: return u'O'; // Œ
    case 0x0153: return u'o'; // œ
    case 0x00D0: return u'D'; // Ð
    case 0x00F0: return u'd'; // ð
    case 0x0110: return u'D'; // Đ
    case 0x0111: return u'd'; // đ
    case 0x0141: return u'L'; // Ł
    case 0x0142: return u'l'; // ł
    case 0x0131: return u'i'; // ı
    case 0x0126: return u'H'; // Ħ
    case 0x0127: return u'h'; // ħ
    case 0x0138: return u'k'; // ĸ
    case 0x0149: return u'n'; // ŉ
    case 0x014A: return u'N'; // Ŋ
    case 0x014B: return u'n'; // ŋ
    case 0x0166: return u'T'; // Ŧ
    case 0x0167: return u't'; // ŧ
    default: break;
    }
    if (!c.isLetter())
        return u'#';
    // Accented letters decompose into their base letter and the accents (ǡ -> ȧ -> a).
    QChar base = c;
    for (int depth = 0; depth < 4; ++depth) {
        const QString d = base.decomposition();
        if (d.isEmpty())
            break;
        base = d.at(0);
    }
    const char16_t u = base.unicode();
    if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z'))
        return base;
    return u'#';
}
} // namespace

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

QString Filtro(QString& text, quint8& width, quint8& align)
{
    qsizetype count = width == 0 ? text.size() : qsizetype(width);
    const qsizetype len = text.size();
    if (len < LineWidth) {
        if (align == 0) {
            // The count stays: with width 0 the blanks stay in the model only.
            text += QString(LineWidth - len, u' ');
        } else if (align == 2) {
            const qsizetype k = (LineWidth - len) / 2;
            text = QString(k, u' ') + text + QString(k, u' ');
            if (text.size() < LineWidth)
                text += u' ';
            count = text.size();
        }
    }

    QString result;
    result.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        // Other alignments are not padded in the model; a fixed-width record still needs its blanks.
        const QChar c = i < text.size() ? text.at(i) : QChar(u' ');
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
