// A pseudo-terminal pair for tests: the program opens the slave path like a serial port, the test
// reads what arrives on the master side, with a timestamp for every byte.
//
//   testpty::Pty pty;                       // opened, raw mode, reading in a thread at once
//   QVERIFY2(pty.ok(), qPrintable(pty.error()));
//   Module1::ComPort = pty.slavePath();     // "/dev/pts/N"
//   ... send ...
//   QVERIFY(pty.waitForBytes(27, 2000));
//   QCOMPARE(pty.bytes(), expected);
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
    qint64 ns; // nowNs() when the reader got it
};

// Monotonic nanoseconds (the clock of QElapsedTimer and std::chrono::steady_clock).
qint64 nowNs();
// CPU time this process has used, in nanoseconds (a busy loop shows up here, a sleeping one does not).
qint64 cpuNs();

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

    // Everything received so far, and with timestamps.
    QByteArray bytes() const;
    std::vector<Received> received() const;
    // Waits (without running events) until at least `count` bytes have arrived.
    bool waitForBytes(int count, int timeoutMs) const;
    // Forgets what was received.
    void clear();

    // Closes the master at once (the far end hangs up): later writes to the slave fail.
    void hangUp();
    // Closes the master from the reader as soon as `count` bytes have arrived in all.
    void hangUpAfter(int count);
    bool hungUp() const { return m_hungUp; }

    // A far end that stops reading (while paused the system buffers fill up and writes must wait).
    void setPaused(bool paused) { m_paused = paused; }

    // Benchmarks on a busy machine: runs the reader at real-time priority so its timestamps stay close to
    // the moment the bytes arrive. False when the system does not allow it.
    bool setReaderRealtime();

private:
    void readLoop();
    void stopReader();

    std::atomic<int> m_master{-1};
    int m_slaveKeep = -1; // held open so the master never reports a hang-up of its own
    QString m_slavePath;
    QString m_error;
    mutable std::mutex m_mutex;
    std::vector<Received> m_received;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_paused{false};
    std::atomic<int> m_hangUpAfter{-1};
    int m_wakePipe[2] = {-1, -1};
    std::thread m_reader;
};
} // namespace testpty
