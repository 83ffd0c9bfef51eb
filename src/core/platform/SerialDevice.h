// What the serial port needs of the operating system around its line: holding a device against other
// senders, naming who holds it, and telling a missing group from a busy device.
#pragma once

#include <QString>
#include <QtGlobal>

namespace platform
{
// An exclusive hold on a serial device under whatever name reaches it (a link, the device path), root
// included. Taken before the line is opened, so a refused sender never changes the holder's
// settings. On Windows a hold between Tivors, beside the exclusive open the system gives a COM port.
class DeviceLock
{
public:
    enum Result {
        Held,    // this process holds the device
        Busy,    // another process holds it
        NotHeld, // no hold is possible here (no such device, a file system without locks):
                 // opening the port itself then tells what is wrong
    };

    DeviceLock() = default;
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    Result take(const QString& device);
    void release();

private:
    qintptr m_handle = -1; // a descriptor, or a Windows handle
};

// What tells one device from another whatever name reaches it, as the hold sees it: the file system and
// inode on POSIX systems, the COM name in capitals on Windows. Empty when the name reaches no device.
QString deviceIdentity(const QString& device);

// The process that holds the device, from the system's list of locks; 0 when none is listed. Any name
// of the device finds the same holder.
qint64 deviceHolder(const QString& device);
// The short name of a running process; empty when the system does not say.
QString processName(qint64 pid);
// True when the device exists and this user may not write to it (not a hold by another program).
bool deviceAccessDenied(const QString& device);

// Windows opens a COM port for one program at a time and refuses every other open as "access denied": there
// that refusal means the port is in use, and no process can be named.
constexpr bool deniedMeansInUse =
#ifdef Q_OS_WIN
    true;
#else
    false;
#endif

} // namespace platform
