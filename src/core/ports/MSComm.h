// The serial-port control the windows and dialogs hold: the port text and its line settings as
// properties, and the port that text names (a serial line or a network sign) behind them.
#pragma once

#include "core/ports/SignPort.h"

#include <QByteArray>
#include <QString>
#include <memory>

class MSComm final : public SignPort
{
public:
    MSComm();
    ~MSComm() override;

    // True while the port is open.
    bool PortOpen() const;
    // true opens the port named by the port text with the line settings given; false closes it. Returns
    // false when the port could not be opened; errorText() then says why.
    bool setPortOpen(bool open);

    // The port text (see SignPort for its forms); taken at the next open.
    void setCommPort(const QString& port);

    // Line settings "baud,parity,data,stop", e.g. "9600,N,8,1". A baud that is not a positive whole
    // number, or any other part out of range, is refused: false, and the previous settings stay.
    bool setSettings(const QString& settings);

    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both (taken as RTS/CTS). Taken at the next open.
    void setHandshaking(int mode);

    // Modem lines, only while open.
    bool setRTSEnable(bool on);
    bool setDTREnable(bool on);

    bool open() override { return setPortOpen(true); }
    bool isOpen() const override { return PortOpen(); }
    bool setLine(const Line& line) override;
    bool setModemLine(ModemLine which, bool on) override;
    // Fails on a port never opened or closed on request; a port closed by a failure gives its reason.
    bool write(const char* data, qsizetype size) override;
    bool drain() override;
    Attempt tryWrite(const char* data, qsizetype size) override;
    platform::WriteTarget batchTarget() const override
    {
        return m_port ? m_port->batchTarget() : platform::WriteTarget{};
    }
    bool finishWrite(const char* data, qsizetype size, qint64 taken) override;
    void close() override { setPortOpen(false); }
    void handOverTo(QThread* thread) override
    {
        if (m_port)
            m_port->handOverTo(thread);
    }
    void setStallLimit(int ms) override;
    // The system's reason for the last failure (open, settings, modem line or write).
    QString errorText() const override { return m_error; }

protected:
    bool giveUp(const QString& reason) override;

private:
    bool fail(const QString& reason);

    std::unique_ptr<SignPort> m_port; // since the last open; closed by a failure, it keeps the reason
    Line m_line;
    QString m_commPort;
    QString m_error;
};
