#include "core/folders/FolderOpener.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <liburing.h>
#include <unistd.h>

namespace {

// A batch of a reader is at most ReadAhead::MostReadsAtOnce folders; a larger one goes in parts.
constexpr unsigned RingEntries = 16;

class Ring {
public:
    // Without IORING_SETUP_SUBMIT_ALL (kernels before 5.18) a request the kernel refuses would
    // leave the ones behind it in the ring for the next batch: no ring then.
    Ring() {
        if (std::getenv("TROVAN_NO_IO_URING"))
            return;
        m_usable = io_uring_queue_init(RingEntries, &m_ring, IORING_SETUP_SUBMIT_ALL) == 0;
    }
    ~Ring() {
        if (m_usable)
            io_uring_queue_exit(&m_ring);
    }
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;

    bool usable() const { return m_usable; }

    enum class Outcome {
        Answered, // every request answered
        NoneSent, // none reached the kernel: each is to be made without the ring
        Failed,   // some may have been carried out, unanswered
    };
    // Each of `count` requests prepared by `prepare(sqe, k)`, its answer given to
    // `answer(k, result)`. A ring that fails is given up for this thread.
    template <typename Prepare, typename Answer>
    Outcome run(unsigned count, Prepare&& prepare, Answer&& answer) {
        for (unsigned k = 0; k < count; ++k) {
            io_uring_sqe* sqe = io_uring_get_sqe(&m_ring);
            if (!sqe)
                return giveUp(Outcome::NoneSent);
            prepare(sqe, k);
            io_uring_sqe_set_data64(sqe, k);
        }
        int submitted;
        do
            submitted = io_uring_submit(&m_ring);
        while (submitted == -EINTR);
        if (submitted <= 0)
            return giveUp(Outcome::NoneSent);
        for (int answered = 0; answered < submitted;) {
            io_uring_cqe* cqe = nullptr;
            const int waited = io_uring_wait_cqe(&m_ring, &cqe);
            if (waited == -EINTR)
                continue;
            if (waited < 0)
                return giveUp(Outcome::Failed);
            answer(unsigned(io_uring_cqe_get_data64(cqe)), cqe->res);
            io_uring_cqe_seen(&m_ring, cqe);
            ++answered;
        }
        return submitted == int(count) ? Outcome::Answered : giveUp(Outcome::Failed);
    }

private:
    Outcome giveUp(Outcome outcome) {
        io_uring_queue_exit(&m_ring);
        m_usable = false;
        return outcome;
    }

    io_uring m_ring{};
    bool m_usable = false;
};

Ring& threadsRing() {
    thread_local Ring ring;
    return ring;
}

int openOne(const FolderOpener::Open& open) {
    const int fd = openat(open.from, open.path, open.flags);
    return fd >= 0 ? fd : -errno;
}

} // namespace

namespace FolderOpener {

void openAll(std::span<const Open> opens, std::span<int> descriptors) {
    constexpr int NotAnswered = -EINPROGRESS;
    for (int& fd : descriptors)
        fd = NotAnswered;
    Ring& ring = threadsRing();
    for (size_t done = 0; opens.size() > 1 && ring.usable() && done < opens.size();) {
        const auto part = unsigned(std::min<size_t>(opens.size() - done, RingEntries));
        ring.run(
            part,
            [&](io_uring_sqe* sqe, unsigned k) {
                const Open& open = opens[done + k];
                io_uring_prep_openat(sqe, open.from, open.path, open.flags, 0);
            },
            [&](unsigned k, int result) { descriptors[done + k] = result; });
        done += part;
    }
    for (size_t k = 0; k < opens.size(); ++k)
        if (descriptors[k] == NotAnswered)
            descriptors[k] = openOne(opens[k]);
}

void closeAll(std::span<const int> descriptors) {
    Ring& ring = threadsRing();
    size_t done = 0;
    while (descriptors.size() - done > 1 && ring.usable()) {
        const auto part = unsigned(std::min<size_t>(descriptors.size() - done, RingEntries));
        const Ring::Outcome outcome = ring.run(
            part,
            [&](io_uring_sqe* sqe, unsigned k) { io_uring_prep_close(sqe, descriptors[done + k]); },
            [](unsigned, int) {});
        if (outcome == Ring::Outcome::NoneSent)
            break;
        // Where the ring failed part way, a close it was given may have been made: closing that
        // number again could close what another thread opened since. It is left open.
        done += part;
    }
    for (; done < descriptors.size(); ++done)
        close(descriptors[done]);
}

bool usesRing() {
    return threadsRing().usable();
}

} // namespace FolderOpener
