#pragma once

// Hands work done on a thread of our own back to an object on its own thread. The object may
// be gone by the time the work is done (a folder read that blocked for a minute): closing the
// mailbox in its destructor makes every later delivery a no-op, so a late result is dropped
// instead of reaching a deleted object.
//
// What is handed over waits in the mailbox under its own lock; an eventfd wakes the
// receiver's thread, which takes it from there. Nothing travels through Qt's event queue, whose
// lock the thread sanitizer cannot see: every handover is ordered by a lock of ours.

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class Mailbox : public std::enable_shared_from_this<Mailbox> {
public:
    // Made on the receiver's thread.
    static std::shared_ptr<Mailbox> to(QObject* receiver);
    ~Mailbox();

    // Runs `work()` on the receiver's thread, unless the mailbox was closed first.
    void post(std::function<void()> work);

    // Runs `work(receiver)` on the receiver's thread, unless the mailbox was closed first.
    template <typename Receiver, typename Work> void deliver(Work&& work) {
        post([this, work = std::forward<Work>(work)]() mutable {
            work(*static_cast<Receiver*>(m_receiverForDelivery));
        });
    }

    void close();

private:
    explicit Mailbox(QObject* receiver);
    void deliverPosted(); // on the receiver's thread

    std::mutex m_mutex;
    QObject* m_receiver;
    QObject* const m_receiverForDelivery; // read only on the receiver's thread
    std::deque<std::function<void()>> m_posted;
    const int m_wakeUp; // an eventfd
};
