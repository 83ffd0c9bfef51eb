// Text files for the import: encoding detection and the split into pages.
#include "core/files/TextImport.h"

#include "core/model/Cp1252.h"
#include "core/model/Message.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstring>
#include <utility>

namespace
{
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

bool hasNonAscii(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return skipAscii(p, p + bytes.size()) != p + bytes.size();
}

enum class Form { Bytes, Utf16LE, Utf16BE };

// The file's bytes without their byte order mark, and how they are stored.
Form formOf(const QByteArray& bytes, QByteArrayView* body)
{
    const QByteArrayView all(bytes);
    for (const auto& [bom, form] : {std::pair{"\xFF\xFE", Form::Utf16LE}, std::pair{"\xFE\xFF", Form::Utf16BE}})
        if (bytes.startsWith(bom)) {
            *body = all.sliced(2);
            return form;
        }
    *body = bytes.startsWith("\xEF\xBB\xBF") ? all.sliced(3) : all;
    return Form::Bytes;
}

// The lines of a file's body, split before they are decoded: CR LF, CR alone and LF alone end a line. In UTF-16
// they are two-byte units, which no surrogate holds; in the other forms single bytes, which no multi-byte UTF-8
// sequence holds.
class LineSplitter
{
public:
    LineSplitter(QByteArrayView body, Form form)
        : m_p(body.data()), m_end(body.data() + body.size()), m_form(form), m_unit(form == Form::Bytes ? 1 : 2)
    {
    }
    bool atEnd() const { return m_p == m_end; }

    // The next line without its end, which `ending` gets when asked.
    QByteArrayView next(QLatin1StringView* ending = nullptr)
    {
        const char* start = m_p;
        if (m_form == Form::Bytes) // the common case, kept to a plain byte loop
            while (m_p != m_end && *m_p != '\r' && *m_p != '\n')
                ++m_p;
        else
            while (m_end - m_p >= m_unit && unitAt(m_p) != u'\r' && unitAt(m_p) != u'\n')
                m_p += m_unit;
        if (m_end - m_p < m_unit)
            m_p = m_end; // an odd last byte of UTF-16 ends the last line
        const QByteArrayView line(start, m_p - start);
        QLatin1StringView end;
        if (m_p != m_end) {
            const bool cr = unitAt(m_p) == u'\r';
            m_p += m_unit;
            end = QLatin1StringView(cr ? "\r" : "\n");
            if (cr && m_end - m_p >= m_unit && unitAt(m_p) == u'\n') {
                m_p += m_unit;
                end = QLatin1StringView("\r\n");
            }
        }
        if (ending)
            *ending = end;
        return line;
    }

private:
    char16_t unitAt(const char* p) const
    {
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        if (m_form == Form::Bytes)
            return b[0];
        return m_form == Form::Utf16LE ? char16_t(b[0] | b[1] << 8) : char16_t(b[0] << 8 | b[1]);
    }

    const char* m_p;
    const char* m_end;
    Form m_form;
    int m_unit;
};

QString decodeUtf8(const char* data, qsizetype size)
{
    // The bytes were checked by isValidUtf8, so decoding needs no error paths: twice as fast as QStringDecoder.
    // Only the file's first byte order mark is dropped (by formOf); one that starts a later line is a character
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

// Qt's UTF-16 decoder passes unpaired surrogates through without an error: they are no characters, so they
// become "?" here, as every character a page cannot show does.
bool replaceUnpairedSurrogates(QString* text)
{
    bool replaced = false;
    for (qsizetype i = 0; i < text->size(); ++i) {
        if (text->at(i).isHighSurrogate() && i + 1 < text->size() && text->at(i + 1).isLowSurrogate())
            ++i;
        else if (text->at(i).isSurrogate())
            (*text)[i] = u'?', replaced = true;
    }
    return replaced;
}

// One line of the file as text, and what of it `notes` must name (`page` is the page it makes). The five bytes
// Windows-1252 leaves undefined become "?": kept as their C1 controls they would be invisible in the window and
// go to the sign as "#".
QString decodeLine(QByteArrayView line, Form form, int page, ImportNotes* notes, bool* utf8)
{
    if (form != Form::Bytes) {
        QStringDecoder decoder(form == Form::Utf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        // An odd last byte of the file is half a character.
        const bool oddByte = line.size() % 2 != 0;
        QString text = decoder.decode(line.first(line.size() - oddByte));
        if (oddByte)
            text += u'?';
        if (replaceUnpairedSurrogates(&text) || oddByte)
            notes->notUtf16Pages << page;
        return text;
    }
    if (!hasNonAscii(line))
        return Cp1252::decode(line);
    if (isValidUtf8(line)) {
        *utf8 = true;
        return decodeUtf8(line.data(), line.size());
    }
    notes->cp1252Pages << page;
    QString text = Cp1252::decode(line);
    for (qsizetype i = 0; i < line.size(); ++i)
        if (Cp1252::isUndefined(uchar(line[i]))) {
            text[i] = u'?';
            if (!notes->undefinedBytes.contains(line[i]))
                notes->undefinedBytes += line[i];
        }
    return text;
}

void padLine(QString* line)
{
    if (line->size() < ImportLineWidth)
        *line += QString(ImportLineWidth - line->size(), u' ');
}

QString listed(const QList<int>& pages)
{
    QStringList numbers;
    for (int page : pages)
        numbers << QString::number(page);
    return numbers.join(QStringLiteral(", "));
}
} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
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
    QByteArrayView body;
    const Form form = formOf(bytes, &body);
    ImportNotes notes;
    bool utf8 = false;
    QString text;
    for (LineSplitter lines(body, form); !lines.atEnd();) {
        QLatin1StringView ending;
        const QByteArrayView line = lines.next(&ending);
        text += decodeLine(line, form, 0, &notes, &utf8) + ending;
    }
    return text;
}

QStringList importPagesFromBytes(const QByteArray& bytes, ImportNotes* notes)
{
    QByteArrayView body;
    const Form form = formOf(bytes, &body);
    ImportNotes found;
    bool utf8 = false;
    QStringList pages;
    LineSplitter lines(body, form);
    while (!lines.atEnd() && pages.size() < MaxPages) {
        if (const QByteArrayView line = lines.next(); !line.isEmpty()) {
            QString text = decodeLine(line, form, int(pages.size()) + 1, &found, &utf8);
            padLine(&text);
            pages.append(text);
        }
    }
    // A file without UTF-8 lines is simply Windows-1252, nothing to name.
    if (!utf8)
        found.cp1252Pages.clear();
    if (!notes)
        return pages;
    // Counted, not decoded: a file of a million lines costs one pass over its bytes.
    while (!lines.atEnd())
        found.linesLeftOut += !lines.next().isEmpty();
    *notes = found;
    return pages;
}

QString importNotesText(const ImportNotes& notes)
{
    QStringList parts;
    if (!notes.cp1252Pages.isEmpty())
        parts << QStringLiteral("paginas que no son UTF-8 valido, leidas como Windows-1252: %1")
                     .arg(listed(notes.cp1252Pages));
    if (!notes.undefinedBytes.isEmpty())
        parts << QStringLiteral("bytes que Windows-1252 no define, leidos como \"?\": 0x%1")
                     .arg(QString::fromLatin1(notes.undefinedBytes.toHex(',').toUpper().replace(",", ", 0x")));
    if (!notes.notUtf16Pages.isEmpty())
        parts << QStringLiteral("paginas con partes que no son UTF-16 valido, leidas como \"?\": %1")
                     .arg(listed(notes.notUtf16Pages));
    if (notes.linesLeftOut > 0)
        parts << QStringLiteral("%1 lineas con texto despues de la pagina %2 no se importaron")
                     .arg(notes.linesLeftOut)
                     .arg(MaxPages);
    return parts.join(QStringLiteral("; "));
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
