// Building the message and date transmissions.
#include "core/link/Transmission.h"

#include "core/link/Filtro.h"
#include "core/link/PacedSend.h"
#include "core/protocol/SignProtocol.h"
#include "core/model/Cp1252.h"
#include "core/model/Module1.h"
#include "core/settings/RegSett.h"

#include <algorithm>

using namespace Module1;
using namespace signproto;

namespace
{
bool lookUpDelay(const QString& text, const QStringList& list, double& seconds)
{
    if (!list.contains(text))
        return false;
    seconds = text.toInt() / 1000.0;
    return true;
}

char bcd(int value)
{
    value %= 100;
    return char(((value / 10) << 4) | (value % 10));
}

qint64 roundedMs(double seconds)
{
    return std::max<qint64>(0, qRound64(seconds * 1000.0));
}
} // namespace

void lookUpDelays()
{
    lookUpDelay(DY1, signproto::DelayStartList, TxDelayStart);
    lookUpDelay(DY2, signproto::DelayCharList, TxDelayChar);
}

bool buildMessageTransmission()
{
    if (transmissionRunning())
        return false;
    TxSpeedName = speedName(Speeds.front().code);
    TxSpeedCode = speedCodeFor(TxSpeedName);

    QByteArray buf(Preamble.data(), qsizetype(Preamble.size()));
    buf += char(MessageCommand);
    buf += char(TxSpeedCode);
    for (int page = 1; page <= MaxPages; ++page) {
        if (PageText[page].isEmpty())
            continue;
        const Effect& effect = effectOf(PageEffect[page]);
        quint8 width = effect.width;
        // The clock pages carry no text, but their text is still filtered (and padded) like any page.
        const QString filtered = Filtro(PageText[page], width, PageAlign[page]);
        if (effect.kind == Kind::Clock) {
            buf += clockRecord(PageEffect[page]);
            continue;
        }
        buf += char(effect.code);
        buf += Cp1252::encode(filtered);
        if (effect.kind == Kind::Line)
            buf += char(pauseByteFor(PagePause[page]));
    }
    lookUpDelays();
    buf += Terminator;
    if (buf.size() > MaxLength) {
        buf.truncate(MaxLength);
        buf += Terminator;
    }
    TxBuffer = buf;
    TxLength = int(TxBuffer.size());
    return true;
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

bool buildDateTransmission(const QDateTime& when)
{
    if (transmissionRunning())
        return false;
    const ClockTexts c = clockTextsOf(when);
    QByteArray buf(Preamble.data(), qsizetype(Preamble.size()));
    buf += char(ClockCommand);
    lookUpDelays();
    // Binary-coded decimal: the two digits of each field are the two hex digits of its byte.
    for (const QString* field : {&c.hour, &c.minute, &c.second, &c.day, &c.month, &c.year})
        buf += bcd(field->toInt());
    buf += Terminator;
    TxBuffer = buf;
    TxLength = int(TxBuffer.size());
    return true;
}

qint64 estimatedSendMs(int length, double delayStart, double delayChar)
{
    const qint64 first = std::clamp(length, 0, PreambleDelayBytes);
    const qint64 rest = std::max(0, length - PreambleDelayBytes);
    return first * roundedMs(delayStart) + rest * roundedMs(delayChar);
}

qint64 estimatedSendMs()
{
    return estimatedSendMs(TxLength, TxDelayStart, TxDelayChar);
}
