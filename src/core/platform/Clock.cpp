// System clock with a test override.
#include "core/platform/Clock.h"

namespace platform
{
QDateTime Now()
{
    if (testing::fixedNow.isValid())
        return testing::fixedNow;
    return QDateTime::currentDateTime();
}
} // namespace platform
