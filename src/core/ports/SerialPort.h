// A sign on a serial line: QSerialPort for the line settings and the modem lines, the device held
// against other senders, and writes that reach the system at once.
#pragma once

#include "core/platform/SerialDevice.h"
#include "core/ports/SignPort.h"

#include <memory>

class QSerialPort;

class SerialPort final : public SignPort
{
public:
    // `device` as QSerialPort takes it: a path, or a name such as COM3 or ttyUSB0.
    explicit SerialPort(const QString& device);
    ~SerialPort() override;

    // A device that another Tivor or tivor-cli holds, under whatever name, is refused: the reason names
    // that process when the system says which it is.
    bool open() override;
    bool isOpen() const override;
    bool setLine(const Line& line) override;
    bool setModemLine(ModemLine which, bool on) override;
    // A device that stays full for outputStallMs counts as failed.
    bool write(const char* data, qsizetype size) override;
    bool drain() override;
    platform::WriteTarget batchTarget() const override;
    void close() override;
    QString errorText() const override { return m_error; }

private:
    bool fail(const QString& reason);
    bool closeWith(const QString& reason);
    QString inUseReason() const;

    std::unique_ptr<QSerialPort> m_port;
    platform::DeviceLock m_lock; // held while the port is open
    QString m_device;
    QString m_error;
};
