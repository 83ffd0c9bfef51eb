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

// One sign among those that get the same transmission at once, with its own schedule.
struct PacedLine
{
    SignPort* port = nullptr; // null: a line that could not be opened, left out
    int sent = 0;             // bytes of TxBuffer written to it
    TxOutcome outcome = TxOutcome::Busy; // Completed, Cancelled or Failed once sendPaced returns
    qint64 dueNs = 0;  // when its next byte is due on the nominal schedule
    qint64 nextNs = 0; // when its next byte may go: never before its delay less the catch-up
};

// Sends TxBuffer to every line at once from this one thread, one byte per write; the writes of the lines
// due together go to the system in one call where it takes batches. Before each byte `showProgress` runs
// with its line; after it comes the wait of TxDelayStart (bytes 1 to 5) or TxDelayChar, counted from the
// start of that byte's write, and each wake-up lets pending events run once and then reads TxCancel. A line whose write is refused ends Failed and the others go on. When
// TxCancel is found set, every line still sending ends Cancelled once its own wait is over, the last
// byte's included; the caller then writes each one's terminator. Returns Busy when another transmission
// is being sent (nothing done), Cancelled when TxCancel stopped it, else Completed.
TxOutcome sendPaced(std::vector<PacedLine>& lines, const std::function<void(const PacedLine&)>& showProgress = {});

// The same for one line, which also keeps TxPos and TxPercent on the byte in hand for `showProgress`.
TxOutcome sendPaced(SignPort& port, const std::function<void()>& showProgress = {});

// The terminator 0x01 0x01 in one write, at once: the ending of a cancelled transmission.
bool sendTerminator(SignPort& port);

// True while a transmission is being sent.
bool transmissionRunning();

// Resets the transmission state as at the start of the run (the default delays, nothing built).
void resetTransmissionState();
