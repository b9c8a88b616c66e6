#pragma once

// "The newest request wins": whoever asks (a listing, a save, a search, a reading of the mount
// table) takes a ticket for each request, and the threads that answer carry it. A ticket is
// stale as soon as a newer one is taken, or the asker drops them all (it is going away): a
// stale answer is not handed over, and a stale request still waiting at the read gate gives
// up. Taking a ticket, or dropping them, wakes the gate's waiters for that reason.
//
// The asker takes tickets on its own thread; any thread may look whether one is stale, also
// under the gate's lock (it reads one atomic). It knows nothing of what is asked.

#include <atomic>
#include <cstdint>
#include <memory>

class NewestWins {
public:
    class Ticket {
    public:
        Ticket() = default; // stale from the start: no asker
        bool isStale() const {
            return !m_newest || m_newest->load(std::memory_order_acquire) != m_number;
        }

    private:
        friend class NewestWins;
        Ticket(std::shared_ptr<const std::atomic<uint64_t>> newest, uint64_t number)
            : m_newest(std::move(newest)), m_number(number) {}
        std::shared_ptr<const std::atomic<uint64_t>> m_newest;
        uint64_t m_number = 0;
    };

    // A new request: every ticket taken before is stale from now on.
    Ticket next();
    // Every ticket is stale, none newer taken: the asker wants no answer any more.
    void dropAll();

private:
    std::shared_ptr<std::atomic<uint64_t>> m_newest = std::make_shared<std::atomic<uint64_t>>(0);
};
