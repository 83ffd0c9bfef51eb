// Writer and reader of .mnm message files.
#include "files/MessageFile.h"

#include "files/FastDecode.h"
#include "model/Cp1252.h"
#include "model/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace
{
constexpr QChar kQuote = u'"';
constexpr QChar kStoredQuote = QChar(0xFF);

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

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
        // Decoded and passed through RComi in one pass: one copy of a long text, not three.
        QString s = decodeWindows1252(QByteArrayView(p, close - p), true);
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

QString RComi(const QString& xmen)
{
    QString out = xmen;
    out.replace(kStoredQuote, kQuote);
    return out;
}

QByteArray messageFileBytes()
{
    using namespace Module1;
    QByteArray out;
    for (int i = 1; i <= MaxPages; ++i) {
        if (PageText[i].isEmpty())
            continue;
        out += QByteArray::number(PageEffect[i]);
        out += ',';
        out += QByteArray::number(PagePause[i]);
        out += ',';
        out += QByteArray::number(PageAlign[i]);
        out += ",\"";
        out += Cp1252::encode(WComi(PageText[i]));
        out += "\"\r\n";
    }
    return out;
}

bool writeMessageFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    // Only a regular file (or a link to one) is replaced: a folder, a device or a pipe is never a message file.
    if (path.isEmpty() || info.isDir() || (info.exists() && !info.isFile())) {
        setError(error, QStringLiteral("%1 no es un archivo").arg(path));
        return false;
    }
    // Renaming over a read-only file would succeed in a writable folder; the user protected it, so refuse,
    // also when running as root, who may write anything but still sees the file marked read-only.
    // (The "User" bits are what access() says for us, so only the file's own mode bits count here.)
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite))) {
        setError(error, QStringLiteral("%1 es de solo lectura").arg(path));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    const QByteArray bytes = messageFileBytes();
    // QSaveFile::commit() renames even when its final flush fails (Qt 6.4: a disk that fills up mid-write
    // left a cut file in place of the old one), so the flush is done and checked here first.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A failed flush leaves Qt with no text of its own ("Unknown error"); the system's is better.
        const int systemError = errno;
        const QString text = file.errorString();
        setError(error, systemError != 0 && (text.isEmpty() || text == QLatin1String("Unknown error"))
                            ? QString::fromLocal8Bit(std::strerror(systemError))
                            : text);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
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
