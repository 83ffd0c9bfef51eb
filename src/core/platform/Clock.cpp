// The system clock.
#include "core/platform/Clock.h"

#include "core/platform/Wait.h"

namespace platform
{
void Clock::pause(double seconds) const
{
    Tiempo(seconds);
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

const Clock& systemClock()
{
    static const SystemClock clock;
    return clock;
}
} // namespace platform
