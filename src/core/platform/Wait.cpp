// Sleep and one pass of events.
#include "core/platform/Wait.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

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

#ifdef Q_OS_WIN
namespace
{
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
// Sleep() ticks at 15.6 ms unless the whole system's timer is raised; a high-resolution waitable timer
// (Windows 10 1803 on) wakes within a fraction of a millisecond without that. One per thread, kept.
HANDLE fineTimer()
{
    thread_local const HANDLE timer = [] {
        HANDLE t = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        return t ? t : ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }();
    return timer;
}
} // namespace

void sleepUntil(const QElapsedTimer& clock, qint64 deadlineNs)
{
    // The timer may wake a little early by the system's count: the loop sleeps again until the deadline.
    for (;;) {
        const qint64 left = deadlineNs - clock.nsecsElapsed();
        if (left <= 0)
            return;
        LARGE_INTEGER due;
        due.QuadPart = -((left + 99) / 100); // relative, in 100 ns units, rounded up
        const HANDLE timer = fineTimer();
        if (timer && ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
            ::WaitForSingleObject(timer, INFINITE);
        else
            ::Sleep(DWORD((left + 999999) / 1000000));
    }
}
#else
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
#endif

void processEventsOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
} // namespace platform
