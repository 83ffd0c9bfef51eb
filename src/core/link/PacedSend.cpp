// Paced sending of the built transmission, the cancelled ending, and the shared state's reset.
#include "core/link/PacedSend.h"

#include "core/protocol/SignProtocol.h"
#include "core/link/Transmission.h"
#include "core/model/Module1.h"
#include "core/ports/SignPort.h"
#include "core/platform/Wait.h"

#include <QElapsedTimer>
#include <algorithm>

using namespace Module1;

namespace
{
// Set while sendPaced runs: a second transmission must not interleave its bytes with this one.
bool g_sending = false;

// A delay in whole milliseconds, as the estimate counts it, in nanoseconds.
qint64 delayNs(double seconds)
{
    return std::max<qint64>(0, qRound64(seconds * 1000.0)) * 1000000;
}

// How far one wait may be shortened to make up for an earlier byte that went out late.
constexpr qint64 kCatchUpNs = 500000;

// One transmission at a time: a second start, from an event run between bytes, is refused.
struct Sending
{
    const bool taken = !g_sending;
    Sending() { g_sending = true; }
    ~Sending()
    {
        if (taken)
            g_sending = false;
    }
};

struct Schedule
{
    QByteArray bytes;
    int length;
    qint64 startNs, charNs;
};

// Events run between bytes; the bytes on their way stay the ones built, with the delays then in force.
Schedule scheduleOfBuilt()
{
    const int length = std::clamp(TxLength, 0, int(TxBuffer.size()));
    return {TxBuffer, length, delayNs(TxDelayStart), delayNs(TxDelayChar)};
}
} // namespace

TxOutcome sendPaced(SignPort& port, const std::function<void()>& showProgress)
{
    const Sending sending;
    if (!sending.taken)
        return TxOutcome::Busy;
    const auto [bytes, length, startNs, charNs] = scheduleOfBuilt();

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
        const qint64 delay = TxPos <= signproto::PreambleDelayBytes ? startNs : charNs;
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

TxOutcome sendPacedMany(std::vector<PacedLine>& lines, const std::function<void(const PacedLine&)>& showProgress)
{
    const Sending sending;
    if (!sending.taken)
        return TxOutcome::Busy;
    const auto [bytes, length, startNs, charNs] = scheduleOfBuilt();
    std::vector<PacedLine*> running;
    for (PacedLine& line : lines) {
        line.sent = 0;
        line.dueNs = line.nextNs = 0;
        line.outcome = line.port ? TxOutcome::Completed : TxOutcome::Failed;
        if (line.port && length > 0)
            running.push_back(&line);
    }

    QElapsedTimer clock;
    clock.start();
    bool cancelled = false;
    while (!running.empty()) {
        // Every line whose wait is over gets its next byte; the one that got the last byte stays in the
        // list until its own wait is over too, as sendPaced returns only after the last wait.
        for (auto it = running.begin(); it != running.end();) {
            PacedLine& line = **it;
            const qint64 now = clock.nsecsElapsed();
            if (line.nextNs > now) {
                ++it;
                continue;
            }
            if (cancelled || line.sent == length) {
                line.outcome = cancelled && line.sent < length ? TxOutcome::Cancelled : TxOutcome::Completed;
                it = running.erase(it);
                continue;
            }
            if (showProgress)
                showProgress(line);
            const qint64 start = clock.nsecsElapsed();
            if (line.sent == 0)
                line.dueNs = start;
            if (!line.port->Output(bytes.mid(line.sent, 1))) {
                line.outcome = TxOutcome::Failed;
                it = running.erase(it);
                continue;
            }
            ++line.sent;
            const qint64 delay = line.sent <= signproto::PreambleDelayBytes ? startNs : charNs;
            line.dueNs += delay;
            line.nextNs = std::max(line.dueNs, start + delay - kCatchUpNs);
            ++it;
        }
        if (running.empty())
            break;
        const auto soonest = std::min_element(running.begin(), running.end(),
                                              [](const PacedLine* a, const PacedLine* b) { return a->nextNs < b->nextNs; });
        platform::sleepUntil(clock, (*soonest)->nextNs);
        platform::processEventsOnce();
        cancelled = cancelled || TxCancel;
    }
    return cancelled ? TxOutcome::Cancelled : TxOutcome::Completed;
}

bool sendTerminator(SignPort& port)
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
    TxDelayStart = defaultDelayStart;
    TxDelayChar = defaultDelayChar;
    TxLength = 0;
    TxPos = 0;
    TxPercent = 0;
    TxInProgress = false;
    TxCancel = false;
}
