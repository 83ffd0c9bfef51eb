// A sign reached over the network: tcp://HOST:PORT (raw bytes) or rfc2217://HOST:PORT (telnet that also
// sets the remote serial line).
#pragma once

#include "core/ports/SignPort.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QTcpSocket;
class Rfc2217;

class NetLink final : public SignPort
{
public:
    explicit NetLink(const QString& port);
    ~NetLink() override;

    // Host (an IPv6 literal without its brackets) and port (0 when written so) of such a text; false when
    // it is not well formed.
    static bool parse(const QString& port, QString* host, quint16* tcpPort, bool* telnet);

    // Connects, and for rfc2217:// negotiates the COM port option and sets the line with RTS and DTR
    // off. Gives up after openTimeoutMs; errorText() then says why.
    bool open() override;
    bool isOpen() const override;
    // Only an RFC 2217 server can apply them; over raw TCP there is nothing to set, and that is no
    // failure. Nothing waits for the server's answer.
    bool setLine(const Line& line) override;
    bool setModemLine(ModemLine which, bool on) override;
    // Waits until the system has taken every byte. A peer that takes nothing for outputStallMs, or a
    // connection that drops, fails and closes the link.
    bool write(const char* data, qsizetype size) override;
    bool drain() override;
    platform::WriteTarget batchTarget() const override;
    void close() override;
    QString errorText() const override { return m_error; }

private:
    bool send(const QByteArray& wire); // a telnet command as it is, pushed out
    bool notOpen();
    bool fail(const QString& reason);
    void closeSocket();
    void readIncoming();

    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<Rfc2217> m_telnet; // null over raw TCP
    Line m_line;
    QString m_port;
    QString m_error;
};

namespace platform::testing
{
// Longest wait to connect and, for RFC 2217, for the server's answers.
inline int openTimeoutMs = 3000;
} // namespace platform::testing
