// A pseudo-terminal pair for tests: the program opens the slave path like a serial port, the test reads
// what arrives on the master side, with a timestamp for every byte.
//
//   testpty::Pty pty;                       // opened, raw mode, reading in a thread at once
//   openComPort(port, {pty.slavePath(), "9600"}); // "/dev/pts/N"
//   QVERIFY(pty.waitForBytes(27, 2000));
//   pty.hangUpAfter(10);                    // the other end goes away after 10 bytes
#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace testpty
{
struct Received
{
    unsigned char byte;
    qint64 ns; // nowNs() when the reader got it: bytes of one write share it
};

qint64 nowNs(); // monotonic, the clock of QElapsedTimer

class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return m_master >= 0; }
    QString error() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; } // for the line settings a program set on the slave

    QByteArray bytes() const;
    std::vector<Received> received() const;
    bool waitForBytes(int count, int timeoutMs) const; // without running events
    // Once true, every byte the program wrote before the call is in bytes(): the reader has since found
    // the master empty twice (its poll also waits for bytes still on their way through the kernel). What
    // a program wrote and returned from, or wrote and ended, can then be compared whole, extras included.
    bool settle(int timeoutMs = 5000) const;
    // All the bytes once settle() is true; else a text no line carries, for the comparison to show.
    QByteArray settled() const { return settle() ? bytes() : QByteArrayLiteral("(the line never went quiet)"); }
    void clear();

    void hangUp(); // closes the master now: later writes to the slave fail
    void hangUpAfter(int count) { m_hangUpAfter = count; }
    void setPaused(bool paused) { m_paused = paused; } // a far end that stops reading
    bool setReaderRealtime(); // for the benchmarks' timestamps; false when the system does not allow it

private:
    void readLoop();
    void stopReader();

    std::atomic<int> m_master{-1};
    int m_slaveKeep = -1; // held open so the master never reports a hang-up of its own
    QString m_slavePath, m_error;
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::atomic<bool> m_stop{false}, m_hungUp{false}, m_paused{false};
    std::atomic<int> m_hangUpAfter{-1};
    std::atomic<int> m_emptyPolls{0};
    std::thread m_reader;
};
} // namespace testpty
