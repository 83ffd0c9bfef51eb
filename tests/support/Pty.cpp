// Pseudo-terminal pair with a reader thread that timestamps every byte.
#include "support/Pty.h"

#include "platform/PseudoTerminal.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace testpty
{
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Pty::Pty()
{
    // Close-on-exec everywhere: a child process holding the master would hide a hang-up from the program.
    int fd = -1;
    if (!openRawPty(&fd, &m_slaveKeep, &m_slavePath, &m_error))
        return;
    m_master = fd;
    m_reader = std::thread([this] { readLoop(); });
}

void Pty::stopReader()
{
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

Pty::~Pty()
{
    stopReader();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void Pty::readLoop()
{
    unsigned char buf[4096];
    while (!m_stop) {
        pollfd fd = {m_master, POLLIN, 0}; // a short timeout: the stop flag is seen soon
        if (m_paused) {
            ::usleep(1000);
            continue;
        }
        if (const int ready = ::poll(&fd, 1, 5); ready <= 0) {
            m_emptyPolls += ready == 0;
            continue;
        }
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        const qint64 t = nowNs();
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR)))
            break;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (ssize_t i = 0; i < n; ++i)
            m_received.push_back(Received{buf[i], t});
        if (m_hangUpAfter >= 0 && int(m_received.size()) >= m_hangUpAfter) {
            ::close(m_master);
            m_master = -1;
            m_hungUp = true;
            return;
        }
    }
}

QByteArray Pty::bytes() const
{
    QByteArray out;
    for (const Received& r : received())
        out += char(r.byte);
    return out;
}

std::vector<Received> Pty::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

bool Pty::waitForBytes(int count, int timeoutMs) const
{
    for (const qint64 end = nowNs() + qint64(timeoutMs) * 1000000; nowNs() <= end; ::usleep(1000)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (int(m_received.size()) >= count)
            return true;
    }
    return false;
}

bool Pty::settle(int timeoutMs) const
{
    const int from = m_emptyPolls;
    for (const qint64 end = nowNs() + qint64(timeoutMs) * 1000000; nowNs() <= end; ::usleep(1000)) {
        if (m_hungUp || m_master < 0 || m_emptyPolls >= from + 2)
            return true;
    }
    return false;
}

void Pty::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
}

void Pty::hangUp()
{
    stopReader();
    m_hungUp = true;
}

bool Pty::setReaderRealtime()
{
    sched_param param{};
    param.sched_priority = 10;
    return m_reader.joinable() && pthread_setschedparam(m_reader.native_handle(), SCHED_FIFO, &param) == 0;
}
} // namespace testpty
