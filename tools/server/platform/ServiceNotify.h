// The service manager's side of a long-running server: systemd's notify socket (readiness, stopping, the
// watchdog). Without a service manager, or in a build without libsystemd, it does nothing.
#pragma once

#include <QObject>
#include <QTimer>

namespace platform
{
class ServiceNotify : public QObject
{
    Q_OBJECT
public:
    explicit ServiceNotify(QObject* parent = nullptr);

    // READY=1; from then on WATCHDOG=1 at half the interval the manager asks for (WatchdogSec=), from the event
    // loop, so that a loop that hangs is restarted.
    void ready();
    // STOPPING=1: the server is ending its jobs and will exit.
    void stopping();

private:
    QTimer m_watchdog;
};
} // namespace platform
