// Ctrl-C and the other ways a session ends a program, taken as a request to stop after the byte in hand.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>

namespace platform
{
// While one lives, the signals that end a program from its terminal or session no longer end it at once:
// SIGINT (Ctrl-C), SIGTERM (kill, shutting down), SIGHUP (the terminal closed, an ssh session dropped) and
// SIGQUIT; on Windows the console's Ctrl-C, Ctrl-Break and closing the console. Each sets `flag` from the
// handler, which does nothing else, and `arrived` is then emitted from the event loop. A second Ctrl-C
// ends the program at once, as the user asks for when even the terminator does not get out; the others may
// come twice in a row (a closing terminal sends SIGHUP from the kernel and again from the shell, a logout
// SIGTERM and then SIGHUP) and are one request.
class EndingSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndingSignals(std::atomic<bool>& flag, QObject* parent = nullptr);
    ~EndingSignals() override;

    // The first signal that arrived, 0 while none has.
    static int received();
    // True while one lives and a signal has come: a wait that does not run the sending loop (connecting
    // to a network sign) looks at this to stop at once.
    static bool pending();
    // Ends the program as the first signal would have had it not been caught (on Windows: exit status 130).
    [[noreturn]] static void endAsReceived();

signals:
    void arrived(int signal);

private:
    struct Handlers;
    std::unique_ptr<Handlers> m_handlers;
};
} // namespace platform
