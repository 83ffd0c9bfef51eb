// Writing to many open devices in one call to the system. Sixty-four signs each due a byte at the same
// moment cost the sending thread sixty-four calls, and on Linux the calls, not the bytes, are most of
// its time; io_uring hands all of them over at once.
#pragma once

#include <QtGlobal>
#include <limits>
#include <memory>
#include <vector>

namespace platform
{
// An open non-blocking device or socket that a batch may write to.
struct WriteTarget
{
    qintptr handle = -1; // -1: none, every write goes on its own
    bool socket = false;
};

class WriteBatch
{
public:
    struct Write
    {
        WriteTarget target;
        const char* data;
        qsizetype size;
        qint64 result = 0; // bytes taken, or the system's -errno (-EAGAIN: not ready, nothing written)
    };
    // The result of a write the system neither finished nor gave back in time: it may have gone out.
    static constexpr qint64 Unanswered = std::numeric_limits<qint64>::min();

    // `enabled` false: never available, every write goes on its own (as where the system has no batch call).
    explicit WriteBatch(bool enabled = true);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // False where the system (or a sandbox) has no such call: the caller then writes one by one.
    bool available() const;
    // Writes each at once, in order, and fills in its result; never waits for room. Only when available().
    void run(std::vector<Write>& writes);

private:
    struct Ring;
    std::unique_ptr<Ring> m_ring;
};
} // namespace platform
