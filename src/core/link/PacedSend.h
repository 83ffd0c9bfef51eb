// Sending a built transmission to the sign paced byte by byte, its cancelled ending, and the shared
// transmission state's reset.
#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

class SignPort;

enum class TxOutcome {
    Completed, // every byte written, each followed by its wait
    Cancelled, // TxCancel found set after a byte: the caller shows its text, then sendTerminator()
    Failed,    // a write was refused; no terminator follows
    Busy,      // another transmission is being sent: nothing was done
};

// Sends TxBuffer one byte per write. Before each byte TxPos and TxPercent are set and `showProgress`
// runs; after it the wait of TxDelayStart (bytes 1 to 5) or TxDelayChar, counted from the start of
// that byte's write, with one pass of pending events; then TxCancel is read.
TxOutcome sendPaced(SignPort& port, const std::function<void()>& showProgress = {});

// One sign among several that get the same transmission at once, with its own schedule.
struct PacedLine
{
    SignPort* port = nullptr; // null: a line that could not be opened, left out
    int sent = 0;             // bytes of TxBuffer written to it
    TxOutcome outcome = TxOutcome::Busy; // Completed, Cancelled or Failed once sendPacedMany returns
    qint64 dueNs = 0;  // when its next byte is due on the nominal schedule
    qint64 nextNs = 0; // when its next byte may go: never before its delay less the catch-up
};

// Sends TxBuffer to every line in parallel from this one thread, each line paced as sendPaced paces one
// (the same delays, counted from that line's own writes, and the same catch-up). Before each byte
// `showProgress` runs with its line. A line whose write is refused ends Failed and the others go on.
// When TxCancel is found set after a wait, every line still sending ends Cancelled once its own wait is
// over; the caller then writes each one's terminator. Leaves TxPos and TxPercent alone. Returns Busy when
// another transmission is being sent (nothing done), Cancelled when TxCancel stopped it, else Completed.
TxOutcome sendPacedMany(std::vector<PacedLine>& lines, const std::function<void(const PacedLine&)>& showProgress = {});

// The terminator 0x01 0x01 in one write, at once: the ending of a cancelled transmission.
bool sendTerminator(SignPort& port);

// True while sendPaced runs.
bool transmissionRunning();

// Resets the transmission state as at the start of the run (the default delays, nothing built).
void resetTransmissionState();
