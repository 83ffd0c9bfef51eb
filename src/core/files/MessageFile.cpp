// Writer and reader of .mnm message files.
#include "core/files/MessageFile.h"

#include "core/model/Cp1252.h"
#include "core/protocol/SignProtocol.h"

#include <cstring>

namespace
{
constexpr QChar kQuote = u'"';
constexpr QChar kStoredQuote = QChar(0xFF);
// The file's byte for "ÿ" stands for a double quote, so a real "ÿ" is kept as the plain letter.
constexpr QChar kYDiaeresis = QChar(0xFF);

// A small cursor over the file's bytes; every method moves forward only, so parsing is one pass.
class Reader
{
public:
    explicit Reader(const QByteArray& bytes) : p(bytes.constData()), end(bytes.constData() + bytes.size()) {}

    bool atEnd() const { return p == end; }

    void skipBlanks()
    {
        while (p != end && (*p == ' ' || *p == '\t'))
            ++p;
    }
    void skipBlanksAndLineEnds()
    {
        while (p != end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
            ++p;
    }
    // CR LF, LF or CR alone.
    bool takeLineEnd()
    {
        if (p == end)
            return false;
        if (*p == '\r') {
            ++p;
            if (p != end && *p == '\n')
                ++p;
            return true;
        }
        if (*p == '\n') {
            ++p;
            return true;
        }
        return false;
    }

    // A whole number 0..255 between optional blanks, then a comma or a line end.
    bool number(int* value)
    {
        skipBlanksAndLineEnds();
        int v = 0;
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9') {
            v = v * 10 + (*p - '0');
            if (v > 255)
                return false;
            ++p;
        }
        if (p == start)
            return false;
        skipBlanks();
        if (p != end && *p == ',')
            ++p;
        else if (!takeLineEnd())
            return false;
        *value = v;
        return true;
    }

    // A double-quoted text reaching to the next double quote; the rest of its line must be blank.
    bool text(QString* value)
    {
        skipBlanksAndLineEnds();
        if (p == end || *p != '"')
            return false;
        ++p;
        const char* close = static_cast<const char*>(memchr(p, '"', size_t(end - p)));
        if (!close)
            return false;
        // RComi works in place on the fresh text: a long text is copied once, not three times.
        QString s = RComi(Cp1252::decode(QByteArrayView(p, close - p)));
        p = close + 1;
        skipBlanks();
        if (p != end && !takeLineEnd())
            return false;
        *value = std::move(s);
        return true;
    }

private:
    const char* p;
    const char* end;
};
} // namespace

QString WComi(const QString& xmen)
{
    QString out = xmen;
    out.replace(kQuote, kStoredQuote);
    return out;
}

QString RComi(QString xmen)
{
    xmen.replace(kStoredQuote, kQuote);
    return xmen;
}

QByteArray messageFileBytes(const Message& message)
{
    QByteArray out;
    for (int i = 1; i <= MaxPages; ++i) {
        if (message.text[i].isEmpty())
            continue;
        out += QByteArray::number(message.effect[i]);
        out += ',';
        out += QByteArray::number(message.pause[i]);
        out += ',';
        out += QByteArray::number(message.align[i]);
        out += ",\"";
        out += Cp1252::encode(WComi(QString(message.text[i]).replace(kYDiaeresis, u'y')));
        out += "\"\r\n";
    }
    return out;
}

bool writeMessageFile(const QString& path, const Message& message, QString* error)
{
    FileFailure failure;
    if (writeFileAtomically(path, messageFileBytes(message), &failure))
        return true;
    if (error)
        *error = failure.reason;
    return false;
}

bool parseMessageFile(const QByteArray& bytes, QList<MessageRecord>* records)
{
    records->clear();
    Reader in(bytes);
    for (;;) {
        in.skipBlanksAndLineEnds();
        if (in.atEnd())
            return true;
        if (records->size() == MaxMessageRecords) {
            records->clear();
            return false;
        }
        MessageRecord r;
        if (!in.number(&r.effect) || !in.number(&r.pause) || !in.number(&r.align) || !in.text(&r.text)) {
            records->clear();
            return false;
        }
        records->append(std::move(r));
    }
}

bool readMessageFile(const QString& path, QList<MessageRecord>* records)
{
    records->clear();
    QByteArray bytes;
    return readWholeFile(path, &bytes) && parseMessageFile(bytes, records);
}

MessageLoad loadMessage(const QString& path, Message& message, FileFailure* failure)
{
    QByteArray bytes;
    FileFailure why;
    const bool read = readWholeFile(path, &bytes, &why);
    if (failure)
        *failure = why;
    // A path named by mistake (a disk image, /dev/zero) must not cost the message that is open.
    if (why.kind == FileFailure::TooLarge)
        return MessageLoad::TooLarge;
    message.clear();
    message.count = 1;
    message.current = 1;
    if (!read)
        return MessageLoad::Unreadable;
    QList<MessageRecord> records;
    if (!parseMessageFile(bytes, &records))
        return MessageLoad::Broken;
    if (records.isEmpty())
        return MessageLoad::Empty;
    // Page 1 is shown at once, and its lists cannot show a code they do not hold.
    if (records.first().effect >= signproto::EffectCount || records.first().pause >= signproto::PauseList.size())
        return MessageLoad::FirstPageCodes;
    for (int i = 0; i < records.size(); ++i) {
        const int page = i + 1;
        message.effect[page] = static_cast<std::uint8_t>(records[i].effect);
        message.pause[page] = static_cast<std::uint8_t>(records[i].pause);
        message.align[page] = static_cast<std::uint8_t>(records[i].align);
        message.text[page] = std::move(records[i].text);
    }
    message.count = static_cast<std::uint8_t>(records.size());
    return MessageLoad::Pages;
}

QString unkeptInMessageFile(const QString& text)
{
    QString lost = Cp1252::unkept(text);
    if (text.contains(kYDiaeresis))
        lost += kYDiaeresis;
    return lost;
}

QString unkeptCharactersText(const QString& lost)
{
    QString asQuestionMarks = lost;
    asQuestionMarks.remove(kYDiaeresis);
    QStringList parts;
    if (!asQuestionMarks.isEmpty())
        parts << QStringLiteral("caracteres que el archivo no puede guardar, escritos como \"?\": %1")
                     .arg(asQuestionMarks);
    if (lost.contains(kYDiaeresis))
        parts << QStringLiteral("\"%1\" no se puede guardar en el archivo, escrito como \"y\"").arg(kYDiaeresis);
    return parts.join(QStringLiteral("; "));
}
