// A sign reached over raw TCP, tcp://HOST:PORT: the sign's bytes on the connection as they are.
#pragma once

#include "core/ports/NetPort.h"

class TcpPort final : public NetPort
{
public:
    explicit TcpPort(const QString& port);

    bool open() override;
    // The connection carries no line settings and no modem lines: there is nothing to set, and that is no
    // failure. The modem lines are still refused on a closed link.
    bool setLine(const Line&) override { return true; }
    bool setModemLine(ModemLine, bool) override { return checkOpen(); }
    bool write(const char* data, qsizetype size) override;
    platform::WriteTarget batchTarget() const override { return socketTarget(); }
};
