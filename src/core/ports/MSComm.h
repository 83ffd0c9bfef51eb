// The serial-port control the sign link writes through: a small write-only control over QSerialPort, or
// over a network connection when the port text is tcp:// or rfc2217://.
#pragma once

#include "core/ports/NetLink.h"
#include "core/ports/SignPort.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QSerialPort;

class MSComm : public SignPort
{
public:
    MSComm();
    ~MSComm() override;
    MSComm(const MSComm&) = delete;
    MSComm& operator=(const MSComm&) = delete;

    // True while the port is open.
    bool PortOpen() const;
    // true opens the port (write-only) with the port text and line settings given; false closes it.
    // Returns false when the port could not be opened; errorText() then says why. A device that another
    // Tivor or tivor-cli holds, under whatever name, is refused: the reason names that process when the
    // system says which it is.
    bool setPortOpen(bool open);

    // The port text: a whole number N is the N-th port (COMN on Windows, /dev/ttyS(N-1) elsewhere);
    // tcp://HOST:PORT and rfc2217://HOST:PORT are network signs (see NetLink); any other text is a device
    // name or path used as it is (/dev/ttyUSB0, a pseudo-terminal, a symlink).
    void setCommPort(const QString& port);
    // The device the port text stands for; empty when the text names no port.
    QString deviceName() const;
    static QString deviceNameFor(const QString& port);
    static bool isPortNumber(const QString& port);

    // Line settings "baud,parity,data,stop", e.g. "9600,N,8,1". A baud that is not a positive whole
    // number, or any other part out of range, is refused: false, and the previous settings stay.
    bool setSettings(const QString& settings);
    QString Settings() const { return m_settings; }

    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both (taken as RTS/CTS).
    void setHandshaking(int mode);
    // The line is set up with these sizes, but they change nothing here: the control flushes every
    // write at once and never reads.
    void setOutBufferSize(int) {}
    void setInputLen(int) {}

    // Modem lines, only while open. A device without modem lines (a pseudo-terminal, raw TCP) is no failure.
    bool setRTSEnable(bool on);
    bool setDTREnable(bool on);

    // Writes the bytes and pushes them to the device before returning. Fails on a closed port; on the
    // first failed write the port is closed at once, so a vanished device cannot keep raising errors.
    bool Output(const QByteArray& bytes) override;

    // The system's reason for the last failure (open, settings, modem line or write).
    QString errorText() const override { return m_error; }

private:
    bool fail(const QString& reason);
    bool waitWritable();
    bool lockDevice(const QString& device);
    void closePort();

    std::unique_ptr<QSerialPort> m_port;
    std::unique_ptr<NetLink> m_net; // while a network port is open
    NetLink::Line m_line;
    QString m_commPort;
    QString m_settings;
    QString m_error;
    int m_lockFd = -1; // holds the lock on the device itself while the port is open
};

namespace platform::testing
{
// Longest wait for a device that accepts no more bytes before a write counts as failed.
inline int outputStallMs = 2000;
// Counts Output calls that reached an open port, so tests can tell one write per byte.
inline int outputCalls = 0;
} // namespace platform::testing
