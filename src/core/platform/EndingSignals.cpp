// The ending signals: POSIX handlers with a self-pipe, or the Windows console's control handler.
#include "core/platform/EndingSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iterator>

#ifdef Q_OS_WIN
#include <QTimer>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace platform
{
namespace
{
// Only lock-free atomics and sig_atomic_t are touched from a handler.
std::atomic<std::atomic<bool>*> g_flag{nullptr};
volatile std::sig_atomic_t g_received = 0;
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void noteArrival(int signal)
{
    if (g_received == 0)
        g_received = signal;
    if (std::atomic<bool>* flag = g_flag.load())
        flag->store(true);
}
} // namespace

#ifdef Q_OS_WIN
namespace
{
std::atomic<bool> g_ended{false};

// Runs on a thread of its own. Closing the console ends the process as soon as this returns, so the
// program gets the few seconds Windows allows to finish the byte in hand and write the terminator.
BOOL WINAPI onConsoleControl(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        noteArrival(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        noteArrival(SIGTERM);
        for (int i = 0; i < 450 && !g_ended.load(); ++i)
            ::Sleep(10);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

struct EndingSignals::Handlers
{
    QTimer poll; // the handler's thread must not touch Qt: the event loop looks at the flag instead
};

EndingSignals::EndingSignals(std::atomic<bool>& flag, QObject* parent)
    : QObject(parent), m_handlers(std::make_unique<Handlers>())
{
    g_received = 0;
    g_flag.store(&flag);
    g_ended.store(false);
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    m_handlers->poll.setInterval(50);
    connect(&m_handlers->poll, &QTimer::timeout, this, [this] {
        if (g_received != 0) {
            m_handlers->poll.stop();
            emit arrived(int(g_received));
        }
    });
    m_handlers->poll.start();
}

EndingSignals::~EndingSignals()
{
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    g_flag.store(nullptr);
    g_ended.store(true);
}

void EndingSignals::endAsReceived()
{
    g_ended.store(true);
    std::exit(130);
}
#else
namespace
{
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void onEndingSignal(int signal)
{
    const int saved = errno;
    noteArrival(signal);
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}
} // namespace

struct EndingSignals::Handlers
{
    struct sigaction old[std::size(kSignals)] = {};
    std::unique_ptr<QSocketNotifier> notifier;
};

EndingSignals::EndingSignals(std::atomic<bool>& flag, QObject* parent)
    : QObject(parent), m_handlers(std::make_unique<Handlers>())
{
    g_received = 0;
    g_flag.store(&flag);
    if (g_pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) == 0) {
            // Neither end may hold up the handler or the reader, nor leak into a started program.
            for (const int fd : g_pipe) {
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
                ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        } else {
            g_pipe[0] = g_pipe[1] = -1;
        }
    }
    if (g_pipe[1] >= 0) {
        m_handlers->notifier = std::make_unique<QSocketNotifier>(g_pipe[1], QSocketNotifier::Read);
        connect(m_handlers->notifier.get(), &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(g_pipe[1], bytes, sizeof bytes) > 0) {
            }
            emit arrived(int(g_received));
        });
    }
    for (size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction action = {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        // The sending loop's waits resume after the interruption and read the flag after every byte.
        action.sa_flags = SA_RESTART | (kSignals[i] == SIGINT ? SA_RESETHAND : 0);
        ::sigaction(kSignals[i], &action, &m_handlers->old[i]);
    }
}

EndingSignals::~EndingSignals()
{
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &m_handlers->old[i], nullptr);
    g_flag.store(nullptr);
}

void EndingSignals::endAsReceived()
{
    const int signal = g_received != 0 ? int(g_received) : SIGTERM;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}
#endif

int EndingSignals::received()
{
    return int(g_received);
}

bool EndingSignals::pending()
{
    return g_flag.load() != nullptr && g_received != 0;
}
} // namespace platform
