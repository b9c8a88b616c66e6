#include "core/threads/NewestWins.h"

#include "core/threads/ReadGate.h"

NewestWins::Ticket NewestWins::next() {
    const uint64_t number = m_newest->fetch_add(1, std::memory_order_acq_rel) + 1;
    ReadGate::shared().wake(); // an older request waiting there may give up now
    return Ticket(m_newest, number);
}

// The counter moves past every ticket taken and is never handed out again.
void NewestWins::dropAll() {
    m_newest->fetch_add(1, std::memory_order_acq_rel);
    ReadGate::shared().wake();
}
