#pragma once

// Hands work done on a thread of our own back to an object on its own thread. The object may
// be gone by the time the work is done (a folder read that blocked for a minute): closing the
// mailbox in its destructor makes every later delivery a no-op, so a late result is dropped
// instead of reaching a deleted object.
//
// What is handed over waits in the mailbox under its own lock, and the receiver's thread takes
// it from there: every handover is ordered by that lock, visibly to the thread sanitizer too,
// which cannot see into Qt's own event queue.

#include <QMetaObject>
#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class Mailbox : public std::enable_shared_from_this<Mailbox> {
public:
    static std::shared_ptr<Mailbox> to(QObject* receiver) {
        return std::shared_ptr<Mailbox>(new Mailbox(receiver));
    }

    // Runs `work()` on the receiver's thread, unless the mailbox was closed first.
    void post(std::function<void()> work) {
        const std::lock_guard lock(m_mutex);
        if (!m_receiver)
            return;
        m_posted.push_back(std::move(work));
        if (m_posted.size() > 1)
            return; // a call to deliver them is on its way
        QMetaObject::invokeMethod(
            m_receiver, [self = shared_from_this()] { self->deliverPosted(); },
            Qt::QueuedConnection);
    }

    // Runs `work(receiver)` on the receiver's thread, unless the mailbox was closed first.
    template <typename Receiver, typename Work> void deliver(Work&& work) {
        post([this, work = std::forward<Work>(work)]() mutable {
            work(*static_cast<Receiver*>(m_receiverForDelivery));
        });
    }

    void close() {
        const std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
        m_posted.clear();
    }

private:
    explicit Mailbox(QObject* receiver) : m_receiver(receiver), m_receiverForDelivery(receiver) {}

    // On the receiver's thread: each piece of work in the order posted.
    void deliverPosted() {
        for (;;) {
            std::function<void()> work;
            {
                const std::lock_guard lock(m_mutex);
                if (!m_receiver || m_posted.empty())
                    return;
                work = std::move(m_posted.front());
                m_posted.pop_front();
            }
            work();
        }
    }

    std::mutex m_mutex;
    QObject* m_receiver;
    QObject* const m_receiverForDelivery; // read only on the receiver's thread
    std::deque<std::function<void()>> m_posted;
};
