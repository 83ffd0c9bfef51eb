// The window's answer to the signals that end a program: a send in progress ends as "Cancelar" ends it.
#pragma once

#include "core/platform/EndingSignals.h"

namespace platform
{
class ProgramStarter;
}

// While it lives, Ctrl-C, SIGTERM and SIGHUP (logging out, shutting down, the terminal that started the
// window closed) no longer cut a transmission off half-way, leaving the sign waiting for the rest: a send
// in progress is cancelled as by "Cancelar" (the byte in hand, then 01 01), its dialog closes as it always
// does, and then the program ends (through `programs`; main then ends it as the signal would have). With
// no send in progress the program ends at once, as the signal always ended it.
class EndOnSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndOnSignals(platform::ProgramStarter& programs, QObject* parent = nullptr);

private:
    std::atomic<bool> m_arrived = false; // set by the handler itself; the window reads the signal through Qt
    platform::EndingSignals m_endingSignals;
};
