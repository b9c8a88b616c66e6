#pragma once

// Hands work done on a thread of our own back to an object on its own thread. The object may
// be gone by the time the work is done (a folder read that blocked for a minute): closing the
// mailbox in its destructor makes every later delivery a no-op, so a late result is dropped
// instead of reaching a deleted object.

#include <QMetaObject>
#include <QObject>
#include <memory>
#include <mutex>
#include <utility>

class Mailbox {
public:
    static std::shared_ptr<Mailbox> to(QObject* receiver) {
        return std::shared_ptr<Mailbox>(new Mailbox(receiver));
    }

    // Runs `work()` on the receiver's thread, unless the mailbox was closed first.
    template <typename Work> void post(Work&& work) {
        const std::lock_guard lock(m_mutex);
        if (m_receiver)
            QMetaObject::invokeMethod(m_receiver, std::forward<Work>(work), Qt::QueuedConnection);
    }

    // Runs `work(receiver)` on the receiver's thread, unless the mailbox was closed first.
    template <typename Receiver, typename Work> void deliver(Work&& work) {
        const std::lock_guard lock(m_mutex);
        if (!m_receiver)
            return;
        auto* receiver = static_cast<Receiver*>(m_receiver);
        QMetaObject::invokeMethod(
            m_receiver, [receiver, work = std::forward<Work>(work)]() mutable { work(*receiver); },
            Qt::QueuedConnection);
    }

    void close() {
        const std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
    }

private:
    explicit Mailbox(QObject* receiver) : m_receiver(receiver) {}
    std::mutex m_mutex;
    QObject* m_receiver;
};
