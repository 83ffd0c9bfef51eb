// Building the message and date transmissions.
#include "core/protocol/MessageBuilder.h"

#include "core/model/Cp1252.h"
#include "core/protocol/Filtro.h"
#include "core/protocol/SignProtocol.h"

#include <algorithm>

using namespace signproto;

namespace
{
char bcd(int value)
{
    value %= 100;
    return char(((value / 10) << 4) | (value % 10));
}
} // namespace

Message paddedMessage(Message pages)
{
    // Clock pages too: their text is not sent, but it is filtered, and padded, like any page's.
    for (int page = 1; page <= MaxPages; ++page)
        if (!pages.text[page].isEmpty())
            pages.text[page] = paddedText(pages.text[page], pages.align[page]);
    return pages;
}

QByteArray pageRecord(const QString& text, std::uint8_t effectCode, std::uint8_t pause, std::uint8_t align)
{
    if (text.isEmpty())
        return QByteArray();
    const Effect& effect = effectOf(effectCode);
    if (effect.kind == Kind::Clock)
        return clockRecord(effectCode);
    QByteArray record(1, char(effect.code));
    record += Cp1252::encode(Filtro(text, effect.width, align));
    if (effect.kind == Kind::Line)
        record += char(pauseByteFor(pause));
    return record;
}

QByteArray messageHeader()
{
    QByteArray header(Preamble.data(), qsizetype(Preamble.size()));
    header += char(MessageCommand);
    header += char(speedCodeFor(speedName(Speeds.front().code)));
    return header;
}

// Header, every record, terminator: the transmission before the length cap, which the cut is measured on.
static QByteArray uncappedTransmission(const Message& pages)
{
    QByteArray buf = messageHeader();
    for (int page = 1; page <= MaxPages; ++page)
        buf += pageRecord(pages.text[page], pages.effect[page], pages.pause[page], pages.align[page]);
    return buf + Terminator;
}

QByteArray messageTransmission(const Message& pages)
{
    QByteArray buf = uncappedTransmission(pages);
    if (buf.size() > MaxLength) {
        buf.truncate(MaxLength);
        buf += Terminator;
    }
    return buf;
}

int bytesLeftOut(const Message& message)
{
    const qsizetype records = uncappedTransmission(message).size() - Terminator.size();
    return int(std::max<qsizetype>(0, records - MaxLength));
}

QString bytesLeftOutText(int bytes)
{
    if (bytes <= 0)
        return QString();
    return QStringLiteral("el mensaje pasa de %1 bytes: sus ultimos %2 bytes no se envian").arg(MaxLength).arg(bytes);
}

ClockTexts clockTextsOf(const QDateTime& when)
{
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0')); };
    const QDate d = when.date();
    const QTime t = when.time();
    // The last two digits of the year, also for years that are not written with four.
    return ClockTexts{two(t.hour()), two(t.minute()), two(t.second()),
                      two(d.day()),  two(d.month()),  two(std::abs(d.year()) % 100)};
}

QByteArray dateTransmission(const QDateTime& when)
{
    const ClockTexts c = clockTextsOf(when);
    QByteArray buf(Preamble.data(), qsizetype(Preamble.size()));
    buf += char(ClockCommand);
    // Binary-coded decimal: the two digits of each field are the two hex digits of its byte.
    for (const QString* field : {&c.hour, &c.minute, &c.second, &c.day, &c.month, &c.year})
        buf += bcd(field->toInt());
    buf += Terminator;
    return buf;
}
