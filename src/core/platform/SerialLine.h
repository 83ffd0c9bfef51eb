// A serial line that Tivor only ever writes to: the sign never answers. Opened, set up and written the
// way each system allows: through QSerialPort on POSIX systems, with writes straight to the device's
// descriptor; through the plain Win32 comm calls on Windows, where QSerialPort's overlapped reading
// (an event wait armed at every open) has nothing to read here and does not work everywhere.
#pragma once

#include "core/platform/WriteBatch.h"

#include <QString>
#include <functional>
#include <memory>

namespace platform
{
// The line as the settings give it: "9600,N,8,1" and a handshake.
struct LineSettings
{
    qint32 baud = 9600;
    int dataBits = 8;
    char parity = 'N'; // 'N', 'E', 'O', 'M', 'S'
    int stopBits = 1;  // 3 stands for 1.5
    int flow = 0;      // 0 none, 1 XON/XOFF, 2 RTS/CTS
};

enum class DeviceWrite { Written, Stalled, Failed };

class SerialLine
{
public:
    enum class OpenFault {
        None,
        Denied, // the system refused the open as not allowed: a missing group, or (Windows) a port in use
        Other,  // no such device, or anything else: errorText() says what
    };
    enum class ModemResult { Set, Unsupported, Failed };

    SerialLine();
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // `device` as the system names it: a path, or COM3. The line is set up from the settings last applied.
    OpenFault open(const QString& device);
    bool isOpen() const;
    // Kept for the next open, and set at once on an open line.
    bool apply(const LineSettings& settings);
    // A line without modem lines (a pseudo-terminal), or RTS taken by the handshake, answers Unsupported.
    ModemResult setModemLine(bool rts, bool on);
    // Every byte, or Stalled when the line takes nothing for `stallMs`, or Failed with the system's reason.
    DeviceWrite write(const char* data, qsizetype size, int stallMs);
    // Whatever is still held on this side goes to the system.
    DeviceWrite drain(int stallMs);
    // Where a batch may write this line's bytes; none on Windows.
    WriteTarget batchTarget() const;
    void close();
    // The system's reason for the last failure.
    QString errorText() const;
    // Called, with the reason, when the line fails while events run outside a write (a device that
    // vanished): the line is then already closed.
    void onFailure(std::function<void(const QString&)> handler);

private:
    struct Device;
    std::unique_ptr<Device> m_device;
};
} // namespace platform
