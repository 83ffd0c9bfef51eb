// The address of a sign reached over the network, read from a port text: tcp://HOST:PORT (raw bytes) or
// rfc2217://HOST:PORT (telnet that also sets the remote serial line).
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

struct NetAddress
{
    QString host;     // an IPv6 literal without its brackets
    quint16 port = 0; // 0 when written so: a text that no connection can use
    bool rfc2217 = false;

    // Nothing when the text is not such an address, well formed (no path, user, query or fragment).
    static std::optional<NetAddress> parse(const QString& text);

    // The host's addresses: itself when written as one, else what the system's resolver gives (nothing when it
    // gives nothing). Waits for the resolver.
    QList<QHostAddress> addresses() const;
    // The same sign under another spelling: the same kind, the same port and an address in common
    // (tcp://localhost:P and TCP://127.0.0.1:P).
    static bool sameSign(const NetAddress& a, const QList<QHostAddress>& aAt, const NetAddress& b,
                         const QList<QHostAddress>& bAt);
};
