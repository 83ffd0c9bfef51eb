// A sign reached over the network: tcp://HOST:PORT (raw bytes) or rfc2217://HOST:PORT (telnet that also
// sets the remote serial line). MSComm writes through this when its port text is such an address.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QTcpSocket;
class Rfc2217;

class NetLink
{
public:
    // The remote line as the settings give it; only an RFC 2217 server can apply it.
    struct Line
    {
        qint32 baud = 9600;
        int dataBits = 8;
        char parity = 'N';
        int stopBits = 1; // 3 stands for 1.5
        int flow = 0;     // 0 none, 1 XON/XOFF, 2 RTS/CTS
    };

    NetLink();
    ~NetLink();
    NetLink(const NetLink&) = delete;
    NetLink& operator=(const NetLink&) = delete;

    // True for a text that starts with tcp:// or rfc2217:// (any case): it is never a device path.
    static bool isNetPort(const QString& port);
    // Host (an IPv6 literal without its brackets) and port (0 when written so) of such a text; false when
    // it is not well formed.
    static bool parse(const QString& port, QString* host, quint16* tcpPort, bool* telnet);

    // Connects, and for rfc2217:// negotiates the COM port option and sets the line with RTS and DTR
    // off. Gives up after openTimeoutMs; errorText() then says why.
    bool open(const QString& port, const Line& line);
    void close();
    bool isOpen() const;

    // RFC 2217 only; over raw TCP there is nothing to set, and that is no failure. Nothing waits for the
    // server's answer.
    bool setLine(const Line& line);
    bool setModemLine(bool rts, bool on);

    // Sends the bytes and waits until the system has taken them all. A peer that takes nothing for
    // outputStallMs, or a connection that drops, fails and closes the link.
    bool write(const QByteArray& bytes);
    QString errorText() const { return m_error; }

private:
    bool send(const QByteArray& wire);
    bool fail(const QString& reason);
    void readIncoming();

    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<Rfc2217> m_telnet; // null over raw TCP
    QString m_port;
    QString m_error;
};

namespace platform::testing
{
// Longest wait to connect and, for RFC 2217, for the server's answers.
inline int openTimeoutMs = 3000;
} // namespace platform::testing
