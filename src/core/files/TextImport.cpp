// Text files for the import: encoding detection and the split into pages.
#include "core/files/TextImport.h"

#include "core/model/Cp1252.h"
#include "core/model/Message.h"

#include <cstdint>
#include <cstring>

namespace
{
bool hasBom(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Steps over a run of ASCII bytes eight at a time.
const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end)
{
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & kHighBits)
            break;
        p += 8;
    }
    while (p != end && *p < 0x80)
        ++p;
    return p;
}

bool hasNonAscii(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    return skipAscii(p, p + bytes.size()) != p + bytes.size();
}

// The file's bytes without the byte order mark, and whether they are to be read as UTF-8.
QByteArray bodyOf(const QByteArray& bytes, bool* utf8)
{
    const bool bom = hasBom(bytes);
    const QByteArray body = bom ? QByteArray::fromRawData(bytes.constData() + 3, bytes.size() - 3) : bytes;
    *utf8 = (bom || hasNonAscii(body)) && isValidUtf8(body);
    return body;
}

QString decodeAs(bool utf8, const char* data, qsizetype size)
{
    if (!utf8)
        return Cp1252::decode(QByteArrayView(data, size));
    // The bytes were checked by isValidUtf8, so decoding needs no error paths: twice as fast as QStringDecoder.
    // Only the file's first byte order mark is dropped (by bodyOf); one that starts a later line is a character
    // like any other, so a line never reads differently by where the decoding started.
    QString out(size, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
    while (p != end) {
        const unsigned c = *p;
        if (c < 0x80) {
            *d++ = char16_t(c);
            ++p;
        } else if (c < 0xE0) {
            *d++ = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (c < 0xF0) {
            *d++ = char16_t(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            const char32_t u = ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            *d++ = QChar::highSurrogate(u);
            *d++ = QChar::lowSurrogate(u);
            p += 4;
        }
    }
    out.truncate(d - reinterpret_cast<char16_t*>(out.data()));
    return out;
}

void padLine(QString* line)
{
    if (line->size() < ImportLineWidth)
        *line += QString(ImportLineWidth - line->size(), u' ');
}
} // namespace

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while ((p = skipAscii(p, end)) != end) {
        const unsigned c = *p;
        int more;
        unsigned lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lo = 0x90; // overlong
            else if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

QString decodeTextFile(const QByteArray& bytes)
{
    bool utf8 = false;
    const QByteArray body = bodyOf(bytes, &utf8);
    return decodeAs(utf8, body.constData(), body.size());
}

QStringList importPagesFromBytes(const QByteArray& bytes, ImportNotes* notes)
{
    bool utf8 = false;
    const QByteArray body = bodyOf(bytes, &utf8);
    QStringList pages;
    // CR and LF are single bytes in both encodings and never part of a multi-byte UTF-8 sequence.
    const char* p = body.constData();
    const char* end = p + body.size();
    while (p != end && pages.size() < MaxPages) {
        const char* start = p;
        while (p != end && *p != '\r' && *p != '\n')
            ++p;
        if (p != start) {
            QString line = decodeAs(utf8, start, p - start);
            padLine(&line);
            pages.append(line);
        }
        if (p != end && *p == '\r' && p + 1 != end && p[1] == '\n')
            ++p;
        if (p != end)
            ++p;
    }
    if (notes) {
        // Counted, not decoded: a file of a million lines costs one pass over its bytes.
        notes->linesLeftOut = 0;
        for (bool text = false; p != end; ++p) {
            const bool lineEnd = *p == '\r' || *p == '\n';
            notes->linesLeftOut += lineEnd && text;
            text = !lineEnd;
            if (p + 1 == end)
                notes->linesLeftOut += text;
        }
    }
    return pages;
}

QString importNotesText(const ImportNotes& notes)
{
    if (notes.linesLeftOut == 0)
        return QString();
    return QStringLiteral("%1 lineas con texto despues de la pagina %2 no se importaron")
        .arg(notes.linesLeftOut)
        .arg(MaxPages);
}

bool readImportFile(const QString& path, QStringList* pages, FileFailure* failure, ImportNotes* notes)
{
    pages->clear();
    QByteArray bytes;
    if (!readWholeFile(path, &bytes, failure))
        return false;
    *pages = importPagesFromBytes(bytes, notes);
    return true;
}

Message messageOfPages(const QStringList& pages)
{
    Message message;
    for (int i = 0; i < pages.size() && i < MaxPages; ++i)
        message.text[i + 1] = pages[i];
    message.count = static_cast<std::uint8_t>(qBound(1, static_cast<int>(pages.size()), MaxPages));
    message.current = 1;
    return message;
}
