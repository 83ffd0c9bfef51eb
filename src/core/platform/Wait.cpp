// Sleep and one pass of events.
#include "core/platform/Wait.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>
#include <time.h>

void Tiempo(double Pausa)
{
    const double ms = std::nearbyint(Pausa * 1000.0 * platform::testing::waitScale);
    if (ms > 0)
        platform::sleepMs(static_cast<qint64>(ms));
    platform::processEventsOnce();
}

namespace platform
{
void sleepMs(qint64 ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void sleepUntil(const QElapsedTimer& clock, qint64 deadlineNs)
{
    for (;;) {
        const qint64 left = deadlineNs - clock.nsecsElapsed();
        if (left <= 0)
            return;
        timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        nanosleep(&ts, nullptr);
    }
}

void processEventsOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
} // namespace platform
