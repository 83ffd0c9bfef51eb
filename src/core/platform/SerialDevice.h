// What the serial port needs of the operating system beyond QSerialPort: holding a device against other
// senders, naming who holds it, telling a missing group from a busy device, and writing to the open
// device without a buffer of its own in between.
#pragma once

#include <QIODevice>
#include <QString>

namespace platform
{
// How the serial port is opened. Linux: write-only, so that a vanished device raises nothing while the
// port is idle (there is no read notifier). Windows refuses the line settings on a COM port opened for
// writing only ("Access denied"), so it is opened for both there.
QIODevice::OpenMode serialOpenMode();

// An exclusive hold on a serial device under whatever name reaches it (a link, the device path), root
// included. Taken before QSerialPort touches the line, so a refused sender never changes the holder's
// settings. Windows opens a COM port exclusively by itself: nothing to hold there.
class DeviceLock
{
public:
    enum Result {
        Held,      // this process holds the device
        Busy,      // another process holds it
        NotHeld,   // no hold is possible here (no such device, a file system without locks, Windows):
                   // opening the port itself then tells what is wrong
    };

    DeviceLock() = default;
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    Result take(const QString& device);
    void release();

private:
    int m_fd = -1;
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

// Writing straight to the open device's handle, so that a byte reaches the system in one call.
// Not on Windows, where QSerialPort's overlapped writes are the way to the device.
constexpr bool directDeviceWrites =
#ifdef Q_OS_WIN
    false;
#else
    true;
#endif

enum class DeviceWrite { Written, Stalled, Failed };
// Writes every byte to `handle`, an open non-blocking device. A device that takes nothing for `stallMs`
// gives Stalled; a refused write (the device hung up, or vanished) Failed, with the system's reason in
// `error`.
DeviceWrite writeToDevice(qintptr handle, const char* data, qsizetype size, int stallMs, QString* error);
} // namespace platform
