// Sleep and one pass of events.
#include "core/platform/Wait.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

void Tiempo(double Pausa)
{
    const double ms = std::nearbyint(Pausa * 1000.0);
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

// How late the timer wakes this thread, learned from its waits: Wine's timers wake 0.2-0.4 ms late, and
// at a byte every 5 ms that alone would stretch a send by several percent.
constexpr qint64 kMaxLatenessNs = 1000000;

void sleepUntil(const QElapsedTimer& clock, qint64 deadlineNs)
{
    thread_local qint64 latenessNs = 0;
    for (;;) {
        const qint64 left = deadlineNs - clock.nsecsElapsed();
        if (left <= 0)
            return;
        // Too close for the timer to wake in time: wait out the rest here. This runs for at most the
        // timer's lateness, once per wait. Giving the processor away instead (SwitchToThread) can cost a
        // whole time slice of another program on a busy machine: 16 ms gaps were seen under Wine.
        if (left <= latenessNs) {
            while (clock.nsecsElapsed() < deadlineNs)
                YieldProcessor();
            return;
        }
        // Aimed early by the lateness; a wake before the deadline by the system's count sleeps again.
        const qint64 aim = left - latenessNs;
        LARGE_INTEGER due;
        due.QuadPart = -((aim + 99) / 100); // relative, in 100 ns units, rounded up
        const HANDLE timer = fineTimer();
        const qint64 start = clock.nsecsElapsed();
        if (timer && ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
            ::WaitForSingleObject(timer, INFINITE);
        else
            ::Sleep(DWORD((aim + 999999) / 1000000));
        const qint64 late = clock.nsecsElapsed() - start - aim;
        latenessNs = std::clamp(latenessNs + (late - latenessNs) / 8, qint64(0), kMaxLatenessNs);
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
