// io_uring where the build has liburing; elsewhere nothing is available and writes go one by one.
#include "core/platform/WriteBatch.h"

#ifdef TIVOR_HAVE_URING
#include <algorithm>
#include <cerrno>
#include <liburing.h>
#include <sys/socket.h>
#endif

namespace platform
{
#ifdef TIVOR_HAVE_URING
namespace
{
// Enough for a large fleet in one call (more writes go in several), with room for their call-backs.
constexpr unsigned kEntries = 128;
constexpr unsigned kRingEntries = 2 * kEntries;
// A write handed over and not yet answered.
constexpr qint64 kPending = -EINPROGRESS;
} // namespace

// One ring and the writes of one call: handed over, answered, and whatever is left called back.
struct WriteBatch::Ring
{
    io_uring ring{};

    // Every write gets its result: bytes taken or -errno when answered; -EAGAIN when it never went to the
    // system; Unanswered when the system took it and did not say what became of it. False when the ring
    // must not be trusted again.
    bool run(Write* writes, int count)
    {
        const int submitted = submit(writes, count);
        int answered = takeAnswers(submitted);
        // A full device is not refused but waited for, and a stalled sign would hold every other with it:
        // such a write is called back, and the caller's own write waits for it with its stall limit.
        if (answered < submitted && submitted == count)
            answered += callBack(writes, count, submitted - answered);
        for (int i = 0; i < count; ++i)
            if (writes[i].result == kPending)
                writes[i].result = i < submitted ? Unanswered : -EAGAIN;
        return answered == count;
    }

private:
    // The number of writes the system took, from the first on.
    int submit(Write* writes, int count)
    {
        for (int i = 0; i < count; ++i) {
            Write& w = writes[i];
            w.result = kPending;
            io_uring_sqe* sqe = io_uring_get_sqe(&ring);
            // A socket whose peer has gone must not end the program with SIGPIPE.
            if (w.target.socket)
                io_uring_prep_send(sqe, int(w.target.handle), w.data, size_t(w.size), MSG_NOSIGNAL | MSG_DONTWAIT);
            else // offset -1: the device's own position, as write() uses
                io_uring_prep_write(sqe, int(w.target.handle), w.data, unsigned(w.size), quint64(-1));
            io_uring_sqe_set_data(sqe, &w);
        }
        int submitted;
        while ((submitted = io_uring_submit(&ring)) == -EINTR) {
        }
        return std::max(submitted, 0);
    }

    // A device with room is written during the submission itself, and its answer is already there.
    int takeAnswers(int wanted)
    {
        int answered = 0;
        io_uring_cqe* cqe = nullptr;
        while (answered < wanted && io_uring_peek_cqe(&ring, &cqe) == 0)
            answered += take(cqe);
        return answered;
    }

    // Cancels every write still pending and waits for the answers: a cancelled one did not go.
    int callBack(Write* writes, int count, int pending)
    {
        for (int i = 0; i < count; ++i) {
            if (writes[i].result == kPending) {
                io_uring_sqe* sqe = io_uring_get_sqe(&ring);
                io_uring_prep_cancel(sqe, &writes[i], 0);
                io_uring_sqe_set_data(sqe, nullptr);
            }
        }
        while (io_uring_submit(&ring) == -EINTR) {
        }
        int answered = 0;
        while (answered < pending) {
            // Only a write the system holds against all expectation takes this long.
            __kernel_timespec limit{5, 0};
            io_uring_cqe* cqe = nullptr;
            const int r = io_uring_wait_cqe_timeout(&ring, &cqe, &limit);
            if (r == -EINTR)
                continue;
            if (r < 0)
                break;
            answered += take(cqe);
        }
        return answered;
    }

    // 1 for a write's answer, 0 for a cancel's own.
    int take(io_uring_cqe* cqe)
    {
        auto* w = static_cast<Write*>(io_uring_cqe_get_data(cqe));
        if (w) // called back before it was written: nothing went
            w->result = cqe->res == -ECANCELED ? -EAGAIN : cqe->res;
        io_uring_cqe_seen(&ring, cqe);
        return w ? 1 : 0;
    }
};

WriteBatch::WriteBatch(bool enabled)
{
    if (!enabled)
        return;
    auto ring = std::make_unique<Ring>();
    // Refused where the kernel is old or io_uring is switched off (a sysctl, a container's seccomp).
    if (io_uring_queue_init(kRingEntries, &ring->ring, 0) == 0)
        m_ring = std::move(ring);
}

WriteBatch::~WriteBatch()
{
    if (m_ring)
        io_uring_queue_exit(&m_ring->ring);
}

void WriteBatch::run(std::vector<Write>& writes)
{
    for (size_t first = 0; first < writes.size(); first += kEntries) {
        const int count = int(std::min<size_t>(kEntries, writes.size() - first));
        // A ring that took or answered less than it was given is not trusted again; the rest go on their own.
        if (!m_ring) {
            for (size_t i = first; i < first + size_t(count); ++i)
                writes[i].result = -EAGAIN;
        } else if (!m_ring->run(writes.data() + first, count)) {
            io_uring_queue_exit(&m_ring->ring);
            m_ring.reset();
        }
    }
}
#else
struct WriteBatch::Ring
{
};

WriteBatch::WriteBatch(bool) {}
WriteBatch::~WriteBatch() = default;

// Never available here, so never run.
void WriteBatch::run(std::vector<Write>&) {}
#endif

bool WriteBatch::available() const
{
    return m_ring != nullptr;
}
} // namespace platform
