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

struct WriteBatch::Ring
{
    io_uring ring{};
};

WriteBatch::WriteBatch()
{
    if (!testing::batchWrites)
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
    for (size_t first = 0; first < writes.size() && m_ring; first += kEntries) {
        io_uring* ring = &m_ring->ring;
        const size_t last = std::min<size_t>(first + kEntries, writes.size());
        for (size_t i = first; i < last; ++i) {
            Write& w = writes[i];
            w.result = kPending;
            io_uring_sqe* sqe = io_uring_get_sqe(ring);
            // A socket whose peer has gone must not end the program with SIGPIPE.
            if (w.target.socket)
                io_uring_prep_send(sqe, int(w.target.handle), w.data, size_t(w.size), MSG_NOSIGNAL | MSG_DONTWAIT);
            else // offset -1: the device's own position, as write() uses
                io_uring_prep_write(sqe, int(w.target.handle), w.data, unsigned(w.size), quint64(-1));
            io_uring_sqe_set_data(sqe, &w);
        }
        int submitted;
        while ((submitted = io_uring_submit(ring)) == -EINTR) {
        }
        int answered = 0;
        const auto take = [&](io_uring_cqe* cqe) {
            if (auto* w = static_cast<Write*>(io_uring_cqe_get_data(cqe))) {
                // Called back before it was written: nothing went.
                w->result = cqe->res == -ECANCELED ? -EAGAIN : cqe->res;
                ++answered;
            }
            io_uring_cqe_seen(ring, cqe);
        };
        // A device with room is written during the submission itself, and its answer is already there.
        io_uring_cqe* cqe = nullptr;
        while (answered < submitted && io_uring_peek_cqe(ring, &cqe) == 0)
            take(cqe);
        const int count = int(last - first);
        if (answered < submitted && submitted == count) {
            // A full device is not refused but waited for, and a stalled sign would hold every other with
            // it: such a write is called back, and the caller's own write waits for it with its stall limit.
            for (size_t i = first; i < last; ++i) {
                if (writes[i].result == kPending) {
                    io_uring_sqe* sqe = io_uring_get_sqe(ring);
                    io_uring_prep_cancel(sqe, &writes[i], 0);
                    io_uring_sqe_set_data(sqe, nullptr);
                }
            }
            while (io_uring_submit(ring) == -EINTR) {
            }
            while (answered < submitted) {
                // Only a write the system holds against all expectation takes this long.
                __kernel_timespec limit{5, 0};
                const int r = io_uring_wait_cqe_timeout(ring, &cqe, &limit);
                if (r == -EINTR)
                    continue;
                if (r < 0)
                    break;
                take(cqe);
            }
        }
        // A ring that took or answered less than it was given is not trusted again; its unanswered writes
        // count as not written, and the caller's own write tries them.
        if (answered < count) {
            for (size_t i = first; i < last; ++i)
                if (writes[i].result == kPending)
                    writes[i].result = -EAGAIN;
            io_uring_queue_exit(ring);
            m_ring.reset();
        }
    }
}
#else
struct WriteBatch::Ring
{
};

WriteBatch::WriteBatch() = default;
WriteBatch::~WriteBatch() = default;

// Never available here, so never run.
void WriteBatch::run(std::vector<Write>&) {}
#endif

bool WriteBatch::available() const
{
    return m_ring != nullptr;
}
} // namespace platform
