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
int codeOf(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return int(ch);
    for (int i = 0; i < int(kHigh.size()); ++i)
        if (kHigh[i] == ch)
            return 0x80 + i;
    return -1;
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
        const int b = codeOf(code);
        out.append(b < 0 ? '?' : char(b));
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
