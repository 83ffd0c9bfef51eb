// Building the message and date transmissions, and sending a transmission paced byte by byte.
#include "link/Transmission.h"

#include "link/Filtro.h"
#include "model/Cp1252.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"

#include <QElapsedTimer>
#include <algorithm>

using namespace Module1;

namespace
{
bool g_sending = false;

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
    if (g_sending)
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
    if (g_sending)
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

TxOutcome sendPaced(MSComm& port, const std::function<void()>& showProgress)
{
    if (g_sending)
        return TxOutcome::Busy;
    g_sending = true;
    struct Done
    {
        ~Done() { g_sending = false; }
    } done;

    // Events run between bytes; the bytes on their way stay the ones built.
    const QByteArray bytes = TxBuffer;
    const int length = std::clamp(TxLength, 0, int(bytes.size()));
    const qint64 startNs = roundedMs(TxDelayStart) * 1000000;
    const qint64 charNs = roundedMs(TxDelayChar) * 1000000;
    // How far one wait may be shortened to make up for an earlier byte that went out late.
    constexpr qint64 kCatchUpNs = 500000;

    QElapsedTimer clock;
    clock.start();
    qint64 due = 0; // when the next byte is due on the nominal schedule
    for (TxPos = 1; TxPos <= length; ++TxPos) {
        TxPercent = int(qint64(TxPos) * 100 / length);
        if (showProgress)
            showProgress();
        const qint64 start = clock.nsecsElapsed();
        if (TxPos == 1)
            due = start;
        if (!port.Output(bytes.mid(TxPos - 1, 1)))
            return TxOutcome::Failed;
        const qint64 delay = TxPos < 6 ? startNs : charNs;
        due += delay;
        // The wait counts from the start of this write, so the write, the progress text and the event
        // pass are inside it instead of adding to every gap; the total thus stays on the nominal time,
        // and no gap is ever shorter than the delay less 0.5 ms.
        platform::sleepUntil(clock, std::max(due, start + delay - kCatchUpNs));
        platform::processEventsOnce();
        if (TxCancel)
            return TxOutcome::Cancelled;
    }
    return TxOutcome::Completed;
}

bool sendTerminator(MSComm& port)
{
    return port.Output(txbytes::Terminator);
}

bool transmissionRunning()
{
    return g_sending;
}

void resetTransmissionState()
{
    TxBuffer.clear();
    TxSpeedName.clear();
    TxSpeedCode = 0;
    TxDelayStart = 0;
    TxDelayChar = 0;
    TxLength = 0;
    TxPos = 0;
    TxPercent = 0;
    TxInProgress = false;
    TxCancel = false;
}

struct KeepTransmissionState::Saved
{
    decltype(Module1::PageText) text = Module1::PageText;
    decltype(Module1::PageEffect) effect = Module1::PageEffect;
    decltype(Module1::PagePause) pause = Module1::PagePause;
    decltype(Module1::PageAlign) align = Module1::PageAlign;
    decltype(Module1::PageCount) pageCount = Module1::PageCount;
    decltype(Module1::CurrentPage) currentPage = Module1::CurrentPage;
    QByteArray buffer = Module1::TxBuffer;
    QString speedName = Module1::TxSpeedName;
    quint8 speedCode = Module1::TxSpeedCode;
    double delayStart = Module1::TxDelayStart;
    double delayChar = Module1::TxDelayChar;
    int length = Module1::TxLength;
};

KeepTransmissionState::KeepTransmissionState() : saved(std::make_unique<Saved>()) {}

KeepTransmissionState::~KeepTransmissionState()
{
    using namespace Module1;
    PageText = saved->text;
    PageEffect = saved->effect;
    PagePause = saved->pause;
    PageAlign = saved->align;
    PageCount = saved->pageCount;
    CurrentPage = saved->currentPage;
    TxBuffer = saved->buffer;
    TxSpeedName = saved->speedName;
    TxSpeedCode = saved->speedCode;
    TxDelayStart = saved->delayStart;
    TxDelayChar = saved->delayChar;
    TxLength = saved->length;
}
