// Windows-1252 tables: bytes 0x80..0x9F are the only ones that differ from Latin-1.
#include "core/model/Cp1252.h"

#include <array>

namespace
{
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

namespace Cp1252
{
// The plain letter a character stands for (Á -> A, ç -> c, Œ -> O), or '#' when it is no letter.
QChar plainLetterOf(QChar c)
{
    switch (c.unicode()) {
    case 0x00A0:
        return u' '; // no-break space looks like a blank
    case 0x00C6:
        return u'A'; // Æ
    case 0x00E6:
        return u'a'; // æ
    case 0x00D8:
        return u'O'; // Ø
    case 0x00F8:
        return u'o'; // ø
    case 0x00DF:
        return u's'; // ß
    case 0x0152:
        return u'O'; // Œ
    case 0x0153:
        return u'o'; // œ
    case 0x00D0:
        return u'D'; // Ð
    case 0x00F0:
        return u'd'; // ð
    case 0x0110:
        return u'D'; // Đ
    case 0x0111:
        return u'd'; // đ
    case 0x0141:
        return u'L'; // Ł
    case 0x0142:
        return u'l'; // ł
    case 0x0131:
        return u'i'; // ı
    case 0x0126:
        return u'H'; // Ħ
    case 0x0127:
        return u'h'; // ħ
    case 0x0138:
        return u'k'; // ĸ
    case 0x0149:
        return u'n'; // ŉ
    case 0x014A:
        return u'N'; // Ŋ
    case 0x014B:
        return u'n'; // ŋ
    case 0x0166:
        return u'T'; // Ŧ
    case 0x0167:
        return u't'; // ŧ
    default:
        break;
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

int codeOf(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return int(ch);
    for (int i = 0; i < int(kHigh.size()); ++i)
        if (kHigh[i] == ch)
            return 0x80 + i;
    return -1;
}

char byteOf(char32_t code)
{
    if (const int b = codeOf(code); b >= 0)
        return char(b);
    // A letter the set lacks is kept as the letter the sign shows for it, so what is saved is what is sent.
    if (code > 0xFF && code <= 0xFFFF && QChar(char16_t(code)).isLetter())
        if (const QChar plain = plainLetterOf(QChar(char16_t(code))); plain != u'#')
            return char(plain.unicode());
    return '?';
}

QString unkept(const QString& text)
{
    QString lost;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t code = c.unicode();
        qsizetype len = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
            len = 2;
        }
        const QString ch = text.mid(i, len);
        if (byteOf(code) == '?' && code != u'?' && !lost.contains(ch))
            lost += ch;
        i += len - 1;
    }
    return lost;
}

QByteArray encode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        }
        out.append(byteOf(code));
    }
    return out;
}

QString decode(QByteArrayView bytes)
{
    // A Latin-1 copy first (vectorised by Qt), then only the few bytes where Windows-1252 differs are fixed,
    // so a large file decodes at the speed of a copy.
    QString out = QString::fromLatin1(bytes);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    QChar* d = nullptr;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (b[i] < 0x80 || b[i] > 0x9F)
            continue;
        if (!d)
            d = out.data();
        d[i] = QChar(kHigh[b[i] - 0x80]);
    }
    return out;
}
} // namespace Cp1252
