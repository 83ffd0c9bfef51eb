// The far end of a paced send where there are no pseudo-terminals (Windows): a TCP receiver on the loopback
// interface, reading in a thread of its own and stamping every byte as it arrives. The sender reaches it
// through its tcp:// port text, so the same pacing code runs as for a serial line. Same calls as the tests'
// pseudo-terminal helper, as far as the pacing benchmark uses it.
#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace benchsink
{
struct Received
{
    unsigned char byte;
    qint64 ns; // nowNs() when the receiver got it: bytes of one read share it
};

qint64 nowNs(); // monotonic, the clock of QElapsedTimer

class LoopbackSink
{
public:
    LoopbackSink();
    ~LoopbackSink();
    LoopbackSink(const LoopbackSink&) = delete;
    LoopbackSink& operator=(const LoopbackSink&) = delete;

    bool ok() const { return m_port > 0; }
    QString error() const { return m_error; }
    QString slavePath() const; // the port text for the sender: tcp://127.0.0.1:PORT
    std::vector<Received> received() const;
    bool waitForBytes(int count, int timeoutMs) const;
    bool setReaderRealtime(); // the receiving thread at the highest priority the system gives

private:
    void readLoop();

    std::atomic<int> m_port{0};
    QString m_error;
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::atomic<bool> m_stop{false}, m_raisePriority{false};
    std::thread m_reader;
};
} // namespace benchsink
