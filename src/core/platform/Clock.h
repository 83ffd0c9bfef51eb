// The computer's clock, behind an interface so that a test can hand in a clock of its own.
#pragma once

#include <QDateTime>

namespace platform
{
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Waits `seconds` (rounded to whole milliseconds), then lets pending events run once: the program's own
    // pauses (a message left on the status line, a dialog's closing wait), which a test may shorten.
    virtual void pause(double seconds) const;
};

// The system's clock, local time.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};

// One system clock for the widgets that are built before anyone can hand them a clock.
const Clock& systemClock();
} // namespace platform
