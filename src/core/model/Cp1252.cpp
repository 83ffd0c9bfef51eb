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

// What stands for the letters Unicode does not decompose (Æ, ß, Ł, ...) and for the no-break space.
struct PlainLetter
{
    char16_t code;
    char16_t letter;
};
constexpr std::array<PlainLetter, 23> kPlainLetters = {{
    {0x00A0, u' '}, // no-break space looks like a blank
    {0x00C6, u'A'}, // Æ
    {0x00E6, u'a'}, // æ
    {0x00D8, u'O'}, // Ø
    {0x00F8, u'o'}, // ø
    {0x00DF, u's'}, // ß
    {0x0152, u'O'}, // Œ
    {0x0153, u'o'}, // œ
    {0x00D0, u'D'}, // Ð
    {0x00F0, u'd'}, // ð
    {0x0110, u'D'}, // Đ
    {0x0111, u'd'}, // đ
    {0x0141, u'L'}, // Ł
    {0x0142, u'l'}, // ł
    {0x0131, u'i'}, // ı
    {0x0126, u'H'}, // Ħ
    {0x0127, u'h'}, // ħ
    {0x0138, u'k'}, // ĸ
    {0x0149, u'n'}, // ŉ
    {0x014A, u'N'}, // Ŋ
    {0x014B, u'n'}, // ŋ
    {0x0166, u'T'}, // Ŧ
    {0x0167, u't'}, // ŧ
}};

// Accented letters decompose into their base letter and the accents (ǡ -> ȧ -> a); '#' when the base is not
// one of A..Z or a..z.
QChar baseLetterOf(QChar c)
{
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

namespace Cp1252
{
// The plain letter a character stands for (Á -> A, ç -> c, Œ -> O), or '#' when it is no letter.
QChar plainLetterOf(QChar c)
{
    for (const PlainLetter& p : kPlainLetters)
        if (p.code == c.unicode())
            return p.letter;
    if (!c.isLetter())
        return u'#';
    return baseLetterOf(c);
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

bool isUndefined(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] == byte;
}
} // namespace Cp1252
