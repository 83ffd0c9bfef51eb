// Sending a built transmission to the sign paced byte by byte, and its cancelled ending.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <vector>

class SignPort;

enum class TxOutcome {
    Completed, // every byte written, each followed by its wait
    Cancelled, // the cancel was found requested after a byte: the caller shows its text, then sendTerminator()
    Failed,    // a write was refused; no terminator follows
    Busy,      // the port is taking another transmission: nothing was done
};

// One sign among those that get the same transmission at once, with its own schedule.
struct PacedLine
{
    SignPort* port = nullptr;            // null: a line that could not be opened, left out
    int sent = 0;                        // bytes of the transmission written to it
    TxOutcome outcome = TxOutcome::Busy; // Completed, Cancelled or Failed once the send has run
    qint64 dueNs = 0;                    // when its next byte is due on the nominal schedule
    qint64 nextNs = 0;                   // when its next byte may go: never before its delay less the catch-up
    qint64 lastWriteNs = -1;             // when its last byte went
    qint64 heldSinceNs = -1;             // since when a line with no room has been waiting for it (-1: it is not)
};

// One transmission on its way to one sign or many: its own bytes, delays, progress and cancel. Sends run
// at the same time on different threads, each to its own ports; a port takes one transmission at a time.
class PacedSend
{
public:
    // `delayStart` follows each of the first five bytes, `delayChar` every later one (seconds). The cancel is
    // the send's own, or `cancelFlag` where the caller has one already (a signal handler's).
    PacedSend(QByteArray bytes, double delayStart, double delayChar, std::atomic<bool>* cancelFlag = nullptr);
    PacedSend(const PacedSend&) = delete;
    PacedSend& operator=(const PacedSend&) = delete;

    const QByteArray& bytes() const { return m_bytes; }
    int length() const { return int(m_bytes.size()); }
    double delayStart() const { return m_delayStart; }
    double delayChar() const { return m_delayChar; }

    // Runs on the sending thread right before each byte, with the line about to get it.
    void onProgress(std::function<void(const PacedLine&)> observer) { m_progress = std::move(observer); }
    // Every line still sending ends Cancelled once its own wait is over. From any thread; a signal handler
    // sets the flag itself.
    void cancel() { m_cancel = true; }
    // Also cancelled once `condition` holds, read at the same moments as the cancel (a signal that ends the
    // program, say, whose handler cannot reach the send).
    void alsoCancelWhen(std::function<bool()> condition) { m_alsoCancel = std::move(condition); }
    // Off: every write goes to the system on its own, as where the system takes no batch of writes.
    void setBatching(bool on) { m_batching = on; }
    std::atomic<bool>& cancelFlag() { return m_cancel; }

    // Sends to every line at once from this one thread, one byte per write; the writes of the lines due
    // together go to the system in one call where it takes batches. After each byte comes its wait, counted
    // from the start of that byte's write; each wake-up lets pending events run once and then reads the
    // cancel. A line whose write is refused ends Failed and the others go on. With more than one line, a line
    // with no room for its byte is not waited for: it is offered the byte again on its own while the others keep
    // their schedule, and ends Failed when its stall limit passes from its last byte; if it takes the byte in
    // time, its schedule starts again from there. Busy (nothing done) when one
    // of the ports is taking another transmission; else Cancelled when the cancel stopped it, or Completed.
    TxOutcome run(std::vector<PacedLine>& lines);
    // The same for one line, whose outcome it returns; position() follows it.
    TxOutcome run(SignPort& port);

    // 1-based position of the byte in hand on the last line that reported progress: the one refused, the
    // last one sent when cancelled, one past the end when all went. Readable from any thread.
    int position() const { return m_position; }
    int percent() const;

private:
    QByteArray m_bytes;
    double m_delayStart;
    double m_delayChar;
    std::function<void(const PacedLine&)> m_progress;
    std::atomic<bool> m_ownCancel = false;
    std::atomic<bool>& m_cancel;
    bool m_batching = true;
    std::function<bool()> m_alsoCancel;
    std::atomic<int> m_position = 0;
};

// What the user is told of a transmission that did not go through, in the send dialogs and in tivor-cli.
inline QString notSentText()
{
    return QStringLiteral("Error #22, No se envio el Mensaje");
}

// The terminator 0x01 0x01 in one write, at once: the ending of a cancelled transmission.
bool sendTerminator(SignPort& port);
// Ends a cancelled transmission with the terminator and says so, or why the terminator could not be written.
QString endCancelled(SignPort& port);
// A sign whose port did not open; a network sign has no serial port to speak of.
QString notOpenedText(const QString& port);
// A cancel that came before the first byte; `what` is the transmission ("Mensaje", "Hora").
QString cancelledBeforeText(const QString& what);
