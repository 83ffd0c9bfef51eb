// A line to the sign, whatever carries it: a serial port, or a network connection (raw TCP, RFC 2217).
// Paced sending writes through this and never knows which it is.
#pragma once

#include "core/platform/SerialLine.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <memory>

class QThread;

class SignPort
{
public:
    using Line = platform::LineSettings;
    enum class ModemLine { Rts, Dtr };

    virtual ~SignPort() = default;
    SignPort(const SignPort&) = delete;
    SignPort& operator=(const SignPort&) = delete;

    // The port text: a whole number N is the N-th serial port (COMN on Windows, /dev/ttyS(N-1)
    // elsewhere); tcp://HOST:PORT and rfc2217://HOST:PORT are network signs; any other text is a device
    // name or path used as it is (/dev/ttyUSB0, COM3, a pseudo-terminal, a symlink).
    static bool isPortNumber(const QString& port);
    static bool isNetPort(const QString& port);
    // Why the text cannot name a port of any kind (a control character, a network address not well
    // formed, a scheme other than tcp:// and rfc2217://); empty when it may. openablePort() refuses such a
    // text; a caller that takes the texts from its user asks first, to tell a mistyped port from one
    // that cannot be reached.
    static QString textFault(const QString& port);
    // The device a serial port text stands for; empty when the text names no port.
    static QString deviceNameFor(const QString& port);
    // The device the port number N stands for, as help texts show it: /dev/ttyS<N-1>, or COM<N> on Windows.
    static QString numberedPortForm();

    // Opens with the line last set; false with errorText() when it cannot.
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    // Kept for the next open, and applied at once on an open port.
    virtual bool setLine(const Line& line) = 0;
    // Only while open. A line without modem lines (a pseudo-terminal, raw TCP) is no failure.
    virtual bool setModemLine(ModemLine which, bool on) = 0;
    // Hands the bytes on; drain() then pushes out whatever is still held on this side, so the sender's
    // waits count from the moment the system has every byte. On the first failure the port closes
    // itself and keeps the reason: a vanished device cannot keep raising errors, and a later write on
    // the closed port gives that reason again.
    virtual bool write(const char* data, qsizetype size) = 0;
    virtual bool drain() = 0;
    // Where a batch of many lines' writes may write this line's bytes in the same call to the system;
    // none where every write must go through write() (Windows, RFC 2217, a closed port, bytes still held).
    virtual platform::WriteTarget batchTarget() const { return {}; }
    // Ends a write that a batch made on batchTarget(): `taken` is what the system took, or its -errno.
    // What it left (a full device, a refusal) goes through write(), which waits for room or closes the port
    // with the system's reason. A write the system never answered may have gone out: written again it could
    // double a byte on the sign, so the line fails as stalled instead.
    virtual bool finishWrite(const char* data, qsizetype size, qint64 taken)
    {
        if (taken == platform::WriteBatch::Unanswered)
            return giveUp(stalledText());
        const qsizetype done = std::max<qint64>(taken, 0);
        return done >= size || write(data + done, size - done);
    }
    // One byte offered without waiting for room, for a line that must not hold the others of a fleet: NoRoom
    // writes nothing and leaves the port open, to be offered again. A port that cannot offer without waiting
    // waits as write() does.
    enum class Attempt { Taken, NoRoom, Failed };
    virtual Attempt tryWrite(const char* data, qsizetype size)
    {
        return write(data, size) && drain() ? Attempt::Taken : Attempt::Failed;
    }
    // finishWrite() that never waits: what the batch left is offered through tryWrite().
    Attempt finishTry(const char* data, qsizetype size, qint64 taken)
    {
        if (taken == platform::WriteBatch::Unanswered)
            return giveUp(stalledText()), Attempt::Failed;
        const qsizetype done = std::max<qint64>(taken, 0);
        if (done < size)
            return tryWrite(data + done, size - done);
        return drain() ? Attempt::Taken : Attempt::Failed;
    }
    // A line that took nothing for its stall limit while it was offered bytes: closed, with that reason.
    void failStalled() { giveUp(stalledText()); }
    // Opened on one thread, used on `thread` from now on (a network sign connects on a thread of its own while
    // others connect).
    virtual void handOverTo(QThread* thread) { Q_UNUSED(thread); }
    // Closes on request: the reason of an earlier failure is forgotten.
    virtual void close() = 0;
    // The system's reason for the last failure.
    virtual QString errorText() const = 0;

    // Longest wait for a line that takes no more bytes before a write counts as failed; a port made by
    // another keeps its maker's.
    static constexpr int DefaultStallMs = 2000;
    virtual void setStallLimit(int ms) { m_stallMs = ms; }
    int stallLimit() const { return m_stallMs; }

    // Held by a send while it writes to this port, so that a second send is refused instead of mixing its
    // bytes in. False when another send holds it.
    bool claimForSend() { return !m_claimed.exchange(true); }
    void releaseFromSend() { m_claimed = false; }

    // Writes the bytes and pushes them out before returning.
    bool Output(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()) && drain(); }

    // The reason a write on a port that was never opened, or closed on request, gives.
    static QString notOpenText() { return QStringLiteral("El puerto no esta abierto"); }
    // The reason a write to a line that takes no more bytes for the stall limit gives.
    static QString stalledText() { return QStringLiteral("El puerto no acepta datos (tiempo agotado)"); }

protected:
    SignPort() = default;
    // Closes the port on a failure, keeping `reason` for errorText(); false.
    virtual bool giveUp(const QString& reason) = 0;

private:
    std::atomic<bool> m_claimed = false;
    int m_stallMs = DefaultStallMs;
};
