// Building the message and date transmissions, and sending a transmission paced byte by byte.
#include "link/Transmission.h"

#include "link/Filtro.h"
#include "link/SignProtocol.h"
#include "model/Cp1252.h"
#include "model/Module1.h"
#include "platform/MSComm.h"
#include "platform/Wait.h"
#include "settings/RegSett.h"

#include <QElapsedTimer>
#include <algorithm>

using namespace Module1;
using namespace signproto;

namespace
{
bool g_sending = false;

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
    if (g_sending)
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
    if (g_sending)
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
    return port.Output(signproto::Terminator);
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
