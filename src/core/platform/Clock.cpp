// The system clock.
#include "core/platform/Clock.h"

namespace platform
{
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
