// The computer's clock, fixed by tests.
#pragma once

#include <QDateTime>

namespace platform
{
QDateTime Now();
}

namespace platform::testing
{
// When valid, Now() returns this instead of the system clock.
inline QDateTime fixedNow;
}
