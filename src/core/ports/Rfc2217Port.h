// A sign reached over telnet with the COM-PORT-OPTION (RFC 2217), rfc2217://HOST:PORT: the server sets its
// serial line as asked and passes the sign's bytes on.
#pragma once

#include "core/ports/NetPort.h"
#include "core/ports/Rfc2217.h"

class Rfc2217Port final : public NetPort
{
public:
    explicit Rfc2217Port(const QString& port);

    // Connects, negotiates the COM port option and sets the line with RTS and DTR off. Gives up after
    // ConnectLimitMs; errorText() then says why.
    bool open() override;
    // Sent to the server; nothing waits for its answer.
    bool setLine(const Line& line) override;
    bool setModemLine(ModemLine which, bool on) override;
    // Data as telnet carries it; the commands go through send() as they are. No batch of writes: the data
    // is escaped and the answers to the server go in between.
    bool write(const char* data, qsizetype size) override;

private:
    QByteArray answerTo(const QByteArray& received) override;

    Rfc2217 m_telnet;
    Line m_line;
};
