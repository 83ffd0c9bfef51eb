// What a sign over TCP needs whatever runs on the connection: connecting to its address with a time
// limit, writes pushed out at once, and the reasons for what goes wrong. TcpPort sends the bytes as they
// are, Rfc2217Port as telnet.
#pragma once

#include "core/ports/SignPort.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <functional>
#include <memory>

class QTcpSocket;

class NetPort : public SignPort
{
public:
    ~NetPort() override;

    bool isOpen() const override;
    // Longest wait to connect and, for RFC 2217, for the server's answers.
    static constexpr int ConnectLimitMs = 3000;

    // Waits until the system has taken every byte. A peer that takes nothing for the stall limit, or a
    // connection that drops, fails and closes the link.
    bool drain() override;
    void close() override;
    void handOverTo(QThread* thread) override;
    QString errorText() const override { return m_error; }

protected:
    // `port` is the whole port text; it must have the rfc2217:// scheme when `rfc2217` is set, tcp:// if not.
    NetPort(const QString& port, bool rfc2217);

    // Connects and sets the socket so each byte leaves at once. Gives up after ConnectLimitMs, or at once on
    // Ctrl-C; errorText() then says why. The time limit starts here and holds for every later waitFor().
    bool connectSocket();
    // Runs the event loop until `done`, a dropped connection, the end of the open's time limit or a Ctrl-C;
    // whether `done` came.
    bool waitFor(const std::function<bool()>& done);
    // Fails a wait that did not end in what it waited for: cancelled by Ctrl-C, or for `reason`.
    bool failedWait(const QString& reason);
    // Into the socket's buffer, to leave with the next drain(); false on a closed link.
    bool queue(const QByteArray& bytes);
    // Queued and pushed out.
    bool send(const QByteArray& bytes);
    // Only while open: a closed link says so, whatever an earlier failure said.
    bool checkOpen();
    bool fail(const QString& reason);
    bool giveUp(const QString& reason) override { return fail(reason); }
    // Why the socket failed, in the program's words where it has them.
    QString socketReason() const;
    // The socket's descriptor while open with nothing left in its buffer: bytes still held there must
    // leave first.
    platform::WriteTarget socketTarget() const;
    // What the peer sent; the return is sent back before any later data.
    virtual QByteArray answerTo(const QByteArray& received);

private:
    bool notOpen();
    void closeSocket();
    void readIncoming();

    std::unique_ptr<QTcpSocket> m_socket;
    QDeadlineTimer m_openDeadline;
    QString m_port;
    QString m_error;
    bool m_rfc2217;
};
