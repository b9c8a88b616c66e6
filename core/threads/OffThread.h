#pragma once

// Runs a piece of work that may block on the file system on a thread of its own, and brings
// its answer back to the thread of the mailbox's receiver. The one way the program leaves the
// window's thread for a moment: a listing, a save, a check before a file is opened.
//
// The thread is not waited for. Work that may hang for ever (a share that stopped answering)
// passes the read gate, which bounds how many such threads there can be; an answer that comes
// after its receiver is gone is dropped by the mailbox.

#include "core/threads/Mailbox.h"

#include <memory>
#include <thread>
#include <utility>

namespace OffThread {

// Runs `work()` off the receiver's thread, then `answer(result)` on it.
template <typename Work, typename Answer>
void run(std::shared_ptr<Mailbox> mailbox, Work work, Answer answer) {
    std::thread([mailbox = std::move(mailbox), work = std::move(work),
                 answer = std::move(answer)]() mutable {
        auto result = work();
        mailbox->post([answer = std::move(answer), result = std::move(result)]() mutable {
            answer(std::move(result));
        });
    }).detach();
}

} // namespace OffThread
