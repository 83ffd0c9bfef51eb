// A sign on a serial line: the line the system gives (platform::SerialLine), held against other senders,
// with the program's own texts for what goes wrong.
#pragma once

#include "core/platform/SerialDevice.h"
#include "core/ports/SignPort.h"

class SerialPort final : public SignPort
{
public:
    // `device` as the system names it: a path, or a name such as COM3.
    explicit SerialPort(const QString& device);
    ~SerialPort() override;

    // A device that another Tivor or tivor-cli holds, under whatever name, is refused: the reason names
    // that process when the system says which it is.
    bool open() override;
    bool isOpen() const override;
    bool setLine(const Line& line) override;
    bool setModemLine(ModemLine which, bool on) override;
    // A device that stays full for the stall limit counts as failed.
    bool write(const char* data, qsizetype size) override;
    bool drain() override;
    Attempt tryWrite(const char* data, qsizetype size) override;
    platform::WriteTarget batchTarget() const override;
    void close() override;
    QString errorText() const override { return m_error; }

protected:
    bool giveUp(const QString& reason) override { return closeWith(reason); }

private:
    bool fail(const QString& reason);
    bool closeWith(const QString& reason);
    bool ended(platform::DeviceWrite result);
    QString inUseReason() const;

    platform::SerialLine m_line;
    platform::DeviceLock m_lock; // held while the port is open
    QString m_device;
    QString m_error;
};
