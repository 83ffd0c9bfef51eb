// sd_notify talks to $NOTIFY_SOCKET only when the manager set it, so the calls are harmless by hand too.
#include "platform/ServiceNotify.h"

#ifdef TIVOR_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace platform
{
ServiceNotify::ServiceNotify(QObject* parent) : QObject(parent)
{
#ifdef TIVOR_HAVE_SYSTEMD
    connect(&m_watchdog, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
#endif
}

void ServiceNotify::ready()
{
#ifdef TIVOR_HAVE_SYSTEMD
    sd_notify(0, "READY=1");
    if (uint64_t usec = 0; sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        m_watchdog.start(int(std::max<uint64_t>(1, usec / 2000)));
#endif
}

void ServiceNotify::stopping()
{
    m_watchdog.stop();
#ifdef TIVOR_HAVE_SYSTEMD
    sd_notify(0, "STOPPING=1");
#endif
}
} // namespace platform
