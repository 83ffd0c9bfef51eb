// Text files for the import: encoding detection and the split into pages.
#include "files/TextImport.h"

#include "model/Cp1252.h"
#include "model/Module1.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace
{
bool hasBom(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

bool hasNonAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
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
        return Cp1252::decode(QByteArray::fromRawData(data, size));
    // Only the file's first byte order mark is dropped (by bodyOf); one that starts a later line is a character
    // like any other, so a line never reads differently by where the decoding started.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(data, size));
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
    while (p != end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
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

QStringList importPages(const QString& text)
{
    QStringList pages;
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    while (p != end && pages.size() < Module1::MaxPages) {
        const QChar* start = p;
        while (p != end && *p != u'\r' && *p != u'\n')
            ++p;
        if (p != start) {
            QString line(start, p - start);
            padLine(&line);
            pages.append(line);
        }
        if (p != end && *p == u'\r' && p + 1 != end && p[1] == u'\n')
            ++p;
        if (p != end)
            ++p;
    }
    return pages;
}

QStringList importPagesFromBytes(const QByteArray& bytes)
{
    bool utf8 = false;
    const QByteArray body = bodyOf(bytes, &utf8);
    QStringList pages;
    // CR and LF are single bytes in both encodings and never part of a multi-byte UTF-8 sequence.
    const char* p = body.constData();
    const char* end = p + body.size();
    while (p != end && pages.size() < Module1::MaxPages) {
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
    return pages;
}

bool readImportFile(const QString& path, QStringList* pages)
{
    pages->clear();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *pages = importPagesFromBytes(bytes);
    return true;
}
