// Paced sending of the built transmission, the cancelled ending, and the shared state's reset.
#include "core/link/PacedSend.h"

#include "core/protocol/SignProtocol.h"
#include "core/link/Transmission.h"
#include "core/model/Module1.h"
#include "core/ports/SignPort.h"
#include "core/platform/Wait.h"
#include "core/platform/WriteBatch.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

using namespace Module1;

namespace
{
// Set while a transmission is being sent: a second transmission must not interleave its bytes with this one.
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

int builtLength()
{
    return std::clamp(TxLength, 0, int(TxBuffer.size()));
}

// Events run between bytes; the bytes on their way stay the ones built, with the delays then in force.
Schedule scheduleOfBuilt()
{
    return {TxBuffer, builtLength(), delayNs(TxDelayStart), delayNs(TxDelayChar)};
}
} // namespace

TxOutcome sendPaced(std::vector<PacedLine>& lines, const std::function<void(const PacedLine&)>& showProgress)
{
    const Sending sending;
    if (!sending.taken)
        return TxOutcome::Busy;
    const Schedule schedule = scheduleOfBuilt();
    const QByteArray& bytes = schedule.bytes;
    const int length = schedule.length;
    const qint64 startNs = schedule.startNs, charNs = schedule.charNs;
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
    platform::WriteBatch batch;
    std::vector<platform::WriteBatch::Write> writes;
    std::vector<PacedLine*> due, batched, single;
    // Every line keeps the nominal schedule of the first byte written to any of them, so all are due at
    // the same moment and one wake-up serves them all; each one's own catch-up floor still keeps every
    // gap at its delay less 0.5 ms at least.
    qint64 firstNs = -1;
    qint64 soonest = 0;
    // Right before a line's write: its progress, then the moment its wait counts from. The write, the
    // progress text and the event pass are thus inside the wait instead of adding to every gap, and the
    // total stays on the nominal time.
    const auto begin = [&](PacedLine& line) {
        if (showProgress)
            showProgress(line);
        const qint64 start = clock.nsecsElapsed();
        if (firstNs < 0)
            firstNs = start;
        if (line.sent == 0)
            line.dueNs = firstNs;
        return start;
    };
    // The write that began at `writeNs` went: the line's next byte is due on the nominal schedule, and
    // never earlier than its delay less the catch-up after that start. A refused write ends the line.
    const auto wrote = [&](PacedLine& line, bool ok, qint64 writeNs) {
        if (!ok) {
            line.outcome = TxOutcome::Failed;
            return;
        }
        ++line.sent;
        const qint64 delay = line.sent <= signproto::PreambleDelayBytes ? startNs : charNs;
        line.dueNs += delay;
        line.nextNs = std::max(line.dueNs, writeNs + delay - kCatchUpNs);
        soonest = std::min(soonest, line.nextNs);
    };
    bool cancelled = false;
    while (!running.empty()) {
        soonest = std::numeric_limits<qint64>::max();
        // Every line whose wait is over gets its next byte; the one that got the last byte stays in the
        // list until its own wait is over too, as the caller learns the outcome only after the last wait.
        due.clear();
        std::erase_if(running, [&](PacedLine* line) {
            if (line->nextNs > clock.nsecsElapsed()) {
                soonest = std::min(soonest, line->nextNs);
                return false;
            }
            // TxCancel is read after each wait, the last one included.
            if (cancelled || line->sent == length) {
                line->outcome = cancelled ? TxOutcome::Cancelled : TxOutcome::Completed;
                return true;
            }
            due.push_back(line);
            return false;
        });
        // The lines that take a batch get their bytes in one call first, so the lines written one by one
        // (RFC 2217 signs, or all of them where the system takes no batch) do not make them late.
        for (PacedLine* line : due) {
            const platform::WriteTarget target = batch.available() ? line->port->batchTarget() : platform::WriteTarget{};
            if (target.handle >= 0) {
                begin(*line);
                writes.push_back({target, bytes.constData() + line->sent, 1});
                batched.push_back(line);
            } else {
                single.push_back(line);
            }
        }
        if (!writes.empty()) {
            const qint64 batchStart = clock.nsecsElapsed();
            batch.run(writes);
            for (size_t i = 0; i < writes.size(); ++i) {
                PacedLine& line = *batched[i];
                wrote(line, line.port->finishWrite(writes[i].data, writes[i].size, writes[i].result) && line.port->drain(),
                      batchStart);
            }
        }
        for (PacedLine* line : single) {
            const qint64 start = begin(*line);
            wrote(*line, line->port->write(bytes.constData() + line->sent, 1) && line->port->drain(), start);
        }
        writes.clear();
        batched.clear();
        single.clear();
        // A line whose write was refused ends Failed, and the others go on.
        std::erase_if(running, [](const PacedLine* line) { return line->outcome == TxOutcome::Failed; });
        if (running.empty())
            break;
        platform::sleepUntil(clock, soonest);
        platform::processEventsOnce();
        cancelled = cancelled || TxCancel;
    }
    return cancelled ? TxOutcome::Cancelled : TxOutcome::Completed;
}

TxOutcome sendPaced(SignPort& port, const std::function<void()>& showProgress)
{
    std::vector<PacedLine> one{PacedLine{&port}};
    const int length = builtLength();
    const TxOutcome outcome = sendPaced(one, [&](const PacedLine& line) {
        TxPos = line.sent + 1;
        TxPercent = int(qint64(TxPos) * 100 / length);
        if (showProgress)
            showProgress();
    });
    if (outcome == TxOutcome::Busy)
        return outcome;
    // TxPos ends on the byte in hand: the one refused, the last one sent when cancelled, one past the
    // end when all went.
    TxPos = one.front().sent + (one.front().outcome == TxOutcome::Cancelled ? 0 : 1);
    return one.front().outcome;
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
