// The paced loop of one send, and the cancelled ending.
#include "core/link/PacedSend.h"

#include "core/platform/Wait.h"
#include "core/platform/WriteBatch.h"
#include "core/ports/SignPort.h"
#include "core/protocol/SignProtocol.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

namespace
{
// A delay in whole milliseconds, as the estimate counts it, in nanoseconds.
qint64 delayNs(double seconds)
{
    return std::max<qint64>(0, qRound64(seconds * 1000.0)) * 1000000;
}

// How far one wait may be shortened to make up for an earlier byte that went out late.
constexpr qint64 kCatchUpNs = 500000;

// How soon a fleet's line with no room is offered its byte again.
constexpr qint64 kRetryNs = 1000000;

// The ports of one send, each held for it while it runs: a second send to one of them is refused.
class PortClaims
{
public:
    explicit PortClaims(const std::vector<PacedLine>& lines)
    {
        for (const PacedLine& line : lines) {
            if (!line.port)
                continue;
            if (!line.port->claimForSend()) {
                m_taken = false;
                return;
            }
            m_claimed.push_back(line.port);
        }
    }
    ~PortClaims()
    {
        for (SignPort* port : m_claimed)
            port->releaseFromSend();
    }
    bool taken() const { return m_taken; }

private:
    std::vector<SignPort*> m_claimed;
    bool m_taken = true;
};

// One run of the paced loop. Every line keeps the nominal schedule of the first byte written to any of them,
// so all are due at the same moment and one wake-up serves them all; each one's own catch-up floor still
// keeps every gap at its delay less 0.5 ms at least.
class PacedLoop
{
public:
    PacedLoop(const QByteArray& bytes, double delayStart, double delayChar,
              const std::function<void(const PacedLine&)>& progress, bool batching)
        : m_bytes(bytes), m_startNs(delayNs(delayStart)), m_charNs(delayNs(delayChar)), m_progress(progress),
          m_batch(batching)
    {
    }

    TxOutcome run(std::vector<PacedLine>& lines, const std::function<bool()>& cancelled);

private:
    void start(std::vector<PacedLine>& lines);
    void takeDueLines(bool cancelled);
    void writeDueLines();
    void writeBatched();
    void writeSingly();
    qint64 begin(PacedLine& line);
    void wrote(PacedLine& line, bool ok, qint64 writeNs);
    void offered(PacedLine& line, SignPort::Attempt attempt, qint64 writeNs);

    const QByteArray& m_bytes;
    const qint64 m_startNs, m_charNs;
    const std::function<void(const PacedLine&)>& m_progress;
    QElapsedTimer m_clock;
    platform::WriteBatch m_batch;
    std::vector<platform::WriteBatch::Write> m_writes;
    std::vector<PacedLine*> m_running, m_due, m_batched, m_single;
    qint64 m_firstNs = -1; // the nominal start of every line's schedule
    qint64 m_soonest = 0;  // the next moment a line is due
    bool m_fleet = false;  // more than one line: none waits inline for room
};

TxOutcome PacedLoop::run(std::vector<PacedLine>& lines, const std::function<bool()>& cancelRequested)
{
    start(lines);
    bool cancelled = false;
    while (!m_running.empty()) {
        m_soonest = std::numeric_limits<qint64>::max();
        takeDueLines(cancelled);
        writeDueLines();
        // A line whose write was refused ends Failed, and the others go on.
        std::erase_if(m_running, [](const PacedLine* line) { return line->outcome == TxOutcome::Failed; });
        if (m_running.empty())
            break;
        platform::sleepUntil(m_clock, m_soonest);
        platform::processEventsOnce();
        // Read after each wait, the last one included.
        cancelled = cancelled || cancelRequested();
    }
    return cancelled ? TxOutcome::Cancelled : TxOutcome::Completed;
}

void PacedLoop::start(std::vector<PacedLine>& lines)
{
    for (PacedLine& line : lines) {
        line.sent = 0;
        line.dueNs = line.nextNs = 0;
        line.outcome = line.port ? TxOutcome::Completed : TxOutcome::Failed;
        line.lastWriteNs = line.heldSinceNs = -1;
        if (line.port && !m_bytes.isEmpty())
            m_running.push_back(&line);
    }
    m_fleet = m_running.size() > 1;
    m_clock.start();
}

// Every line whose wait is over gets its next byte; the one that got the last byte stays in the list until its
// own wait is over too, as the caller learns the outcome only after the last wait.
void PacedLoop::takeDueLines(bool cancelled)
{
    m_due.clear();
    const qint64 length = m_bytes.size();
    std::erase_if(m_running, [&](PacedLine* line) {
        if (line->nextNs > m_clock.nsecsElapsed()) {
            m_soonest = std::min(m_soonest, line->nextNs);
            return false;
        }
        if (cancelled || line->sent == length) {
            line->outcome = cancelled ? TxOutcome::Cancelled : TxOutcome::Completed;
            return true;
        }
        m_due.push_back(line);
        return false;
    });
}

// The lines that take a batch get their bytes in one call first, so the lines written one by one (RFC 2217
// signs, or all of them where the system takes no batch) do not make them late.
void PacedLoop::writeDueLines()
{
    m_writes.clear();
    m_batched.clear();
    m_single.clear();
    for (PacedLine* line : m_due) {
        const platform::WriteTarget target = m_batch.available() ? line->port->batchTarget() : platform::WriteTarget{};
        if (target.handle >= 0) {
            begin(*line);
            m_writes.push_back({target, m_bytes.constData() + line->sent, 1});
            m_batched.push_back(line);
        } else {
            m_single.push_back(line);
        }
    }
    writeBatched();
    writeSingly();
}

void PacedLoop::writeBatched()
{
    if (m_writes.empty())
        return;
    const qint64 batchStart = m_clock.nsecsElapsed();
    m_batch.run(m_writes);
    for (size_t i = 0; i < m_writes.size(); ++i) {
        PacedLine& line = *m_batched[i];
        const platform::WriteBatch::Write& w = m_writes[i];
        if (m_fleet)
            offered(line, line.port->finishTry(w.data, w.size, w.result), batchStart);
        else
            wrote(line, line.port->finishWrite(w.data, w.size, w.result) && line.port->drain(), batchStart);
    }
}

void PacedLoop::writeSingly()
{
    for (PacedLine* line : m_single) {
        const qint64 start = begin(*line);
        const char* byte = m_bytes.constData() + line->sent;
        if (m_fleet)
            offered(*line, line->port->tryWrite(byte, 1), start);
        else
            wrote(*line, line->port->write(byte, 1) && line->port->drain(), start);
    }
}

// Right before a line's write: its progress, then the moment its wait counts from. The write, the progress
// text and the event pass are thus inside the wait instead of adding to every gap, and the total stays on
// the nominal time.
qint64 PacedLoop::begin(PacedLine& line)
{
    if (m_progress)
        m_progress(line);
    const qint64 start = m_clock.nsecsElapsed();
    if (m_firstNs < 0)
        m_firstNs = start;
    if (line.sent == 0)
        line.dueNs = m_firstNs;
    return start;
}

// The write that began at `writeNs` went: the line's next byte is due on the nominal schedule, and never
// earlier than its delay less the catch-up after that start. A refused write ends the line.
void PacedLoop::wrote(PacedLine& line, bool ok, qint64 writeNs)
{
    if (!ok) {
        line.outcome = TxOutcome::Failed;
        return;
    }
    ++line.sent;
    line.lastWriteNs = writeNs;
    const qint64 delay = line.sent <= signproto::PreambleDelayBytes ? m_startNs : m_charNs;
    line.dueNs += delay;
    line.nextNs = std::max(line.dueNs, writeNs + delay - kCatchUpNs);
    m_soonest = std::min(m_soonest, line.nextNs);
}

// A fleet's line was offered its byte. One with no room waits on its own, offered the byte again shortly, while
// the others keep their schedule; past its stall limit from its last byte the sign has seen a silence it takes
// for a broken transmission, and the line fails. A line that takes the byte in time starts its schedule again.
void PacedLoop::offered(PacedLine& line, SignPort::Attempt attempt, qint64 writeNs)
{
    if (attempt != SignPort::Attempt::NoRoom) {
        if (attempt == SignPort::Attempt::Taken && line.heldSinceNs >= 0) {
            line.dueNs = writeNs;
            line.heldSinceNs = -1;
        }
        wrote(line, attempt == SignPort::Attempt::Taken, writeNs);
        return;
    }
    const qint64 now = m_clock.nsecsElapsed();
    if (line.heldSinceNs < 0)
        line.heldSinceNs = line.lastWriteNs >= 0 ? line.lastWriteNs : writeNs;
    if (now - line.heldSinceNs >= qint64(line.port->stallLimit()) * 1000000) {
        line.port->failStalled();
        line.outcome = TxOutcome::Failed;
        return;
    }
    line.nextNs = now + kRetryNs;
    m_soonest = std::min(m_soonest, line.nextNs);
}
} // namespace

PacedSend::PacedSend(QByteArray bytes, double delayStart, double delayChar, std::atomic<bool>* cancelFlag)
    : m_bytes(std::move(bytes)), m_delayStart(delayStart), m_delayChar(delayChar),
      m_cancel(cancelFlag ? *cancelFlag : m_ownCancel)
{
}

TxOutcome PacedSend::run(std::vector<PacedLine>& lines)
{
    const PortClaims claims(lines);
    if (!claims.taken())
        return TxOutcome::Busy;
    PacedLoop loop(m_bytes, m_delayStart, m_delayChar, m_progress, m_batching);
    return loop.run(lines, [this] { return m_cancel || (m_alsoCancel && m_alsoCancel()); });
}

TxOutcome PacedSend::run(SignPort& port)
{
    std::vector<PacedLine> one{PacedLine{&port}};
    const std::function<void(const PacedLine&)> observer = m_progress;
    onProgress([&](const PacedLine& line) {
        m_position = line.sent + 1;
        if (observer)
            observer(line);
    });
    const TxOutcome outcome = run(one);
    m_progress = observer;
    if (outcome == TxOutcome::Busy)
        return outcome;
    m_position = one.front().sent + (one.front().outcome == TxOutcome::Cancelled ? 0 : 1);
    return one.front().outcome;
}

int PacedSend::percent() const
{
    return length() > 0 ? int(qint64(m_position) * 100 / length()) : 0;
}

bool sendTerminator(SignPort& port)
{
    return port.Output(signproto::Terminator);
}

QString endCancelled(SignPort& port)
{
    return sendTerminator(port)
               ? QStringLiteral("Mensaje Cancelado..., y el fin 01 01")
               : QStringLiteral("Mensaje Cancelado...; el fin 01 01 no se pudo escribir (%1)").arg(port.errorText());
}

QString notOpenedText(const QString& port)
{
    return SignPort::isNetPort(port) ? QStringLiteral("no se pudo conectar con el cartel")
                                     : QStringLiteral("no se pudo abrir el puerto serie");
}

QString cancelledBeforeText(const QString& what)
{
    return QStringLiteral("%1 cancelado antes de enviar: no se envio nada").arg(what);
}
