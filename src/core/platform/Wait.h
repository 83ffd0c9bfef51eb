// Sleeping and letting the window system run once: the only way a running command yields.
#pragma once

#include <QElapsedTimer>

// Waits `Pausa` seconds (rounded to whole milliseconds, ties to even), then runs pending events once.
void Tiempo(double Pausa);

namespace platform
{
void sleepMs(qint64 ms);
// Sleeps until `deadlineNs` on `clock` (nanoseconds since the timer started); returns at once if past.
void sleepUntil(const QElapsedTimer& clock, qint64 deadlineNs);
void processEventsOnce();
} // namespace platform
