// Building the message and date transmissions.
#include "link/Transmission.h"

#include "link/Filtro.h"
#include "link/PacedSend.h"
#include "model/Cp1252.h"
#include "model/Module1.h"
#include "settings/RegSett.h"

#include <algorithm>

using namespace Module1;

namespace
{
// Record layout of one page, by effect.
struct EffectRecord
{
    quint8 code;
    quint8 width; // 0: the whole text, 16: exactly 16 characters and a pause byte
};

EffectRecord recordFor(int effect)
{
    if (effect == EffectRotacion)
        return {0x90, 0};
    if (effect == EffectHora)
        return {0xA0, 0};
    if (effect == EffectFecha)
        return {0xA2, 0};
    if (effect >= 2 && effect <= 10)
        return {quint8(0x91 + effect - 2), 16};
    // "Estatico" (1), and any effect past the list, which only a damaged or foreign file can carry:
    // a static page still shows the text, where a guessed code could throw the sign's parsing off.
    return {0x80, 16};
}

// Pause "1".."9" is 0xC2..0xCA; a stored value past "9" is sent as "9".
char pauseByteFor(quint8 pause)
{
    return char(0xC2 + std::min<int>(pause, 8));
}

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

quint8 speedCodeFor(const QString& name)
{
    if (name == u"Media")
        return 0xE3;
    if (name == u"Lenta")
        return 0xE6;
    return 0xE0;
}

void lookUpDelays()
{
    lookUpDelay(DY1, DelayStartList, TxDelayStart);
    lookUpDelay(DY2, DelayCharList, TxDelayChar);
}

bool buildMessageTransmission()
{
    if (transmissionRunning())
        return false;
    TxSpeedName = QStringLiteral("Rapida");
    TxSpeedCode = speedCodeFor(TxSpeedName);

    QByteArray buf = txbytes::Preamble;
    buf += txbytes::MessageCommand;
    buf += char(TxSpeedCode);
    for (int page = 1; page <= MaxPages; ++page) {
        if (PageText[page].isEmpty())
            continue;
        const EffectRecord rec = recordFor(PageEffect[page]);
        quint8 width = rec.width;
        // The clock pages carry no text, but their text is still filtered (and padded) like any page.
        const QString filtered = Filtro(PageText[page], width, PageAlign[page]);
        if (PageEffect[page] == EffectHora) {
            buf += QByteArray(5, char(0xA0));
        } else if (PageEffect[page] == EffectFecha) {
            buf += char(0xA2);
            buf += char(0xC3);
        } else {
            buf += char(rec.code);
            buf += Cp1252::encode(filtered);
            if (rec.width != 0)
                buf += pauseByteFor(PagePause[page]);
        }
    }
    lookUpDelays();
    buf += txbytes::Terminator;
    if (buf.size() > txbytes::MaxLength) {
        buf.truncate(txbytes::MaxLength);
        buf += txbytes::Terminator;
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
    QByteArray buf = txbytes::Preamble;
    buf += txbytes::DateCommand;
    lookUpDelays();
    // Binary-coded decimal: the two digits of each field are the two hex digits of its byte.
    for (const QString* field : {&c.hour, &c.minute, &c.second, &c.day, &c.month, &c.year})
        buf += bcd(field->toInt());
    buf += txbytes::Terminator;
    TxBuffer = buf;
    TxLength = int(TxBuffer.size());
    return true;
}

qint64 estimatedSendMs(int length, double delayStart, double delayChar)
{
    const qint64 first = std::clamp(length, 0, 5);
    const qint64 rest = std::max(0, length - 5);
    return first * roundedMs(delayStart) + rest * roundedMs(delayChar);
}

qint64 estimatedSendMs()
{
    return estimatedSendMs(TxLength, TxDelayStart, TxDelayChar);
}
