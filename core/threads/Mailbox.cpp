#include "core/threads/Mailbox.h"

#include <QSocketNotifier>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

std::shared_ptr<Mailbox> Mailbox::to(QObject* receiver) {
    std::shared_ptr<Mailbox> mailbox(new Mailbox(receiver));
    if (mailbox->m_wakeUp >= 0) {
        auto* notifier = new QSocketNotifier(mailbox->m_wakeUp, QSocketNotifier::Read, receiver);
        QObject::connect(notifier, &QSocketNotifier::activated, receiver,
                         [weak = std::weak_ptr<Mailbox>(mailbox)] {
                             if (const auto mailbox = weak.lock())
                                 mailbox->deliverPosted();
                         });
    }
    return mailbox;
}

Mailbox::Mailbox(QObject* receiver)
    : m_receiver(receiver), m_receiverForDelivery(receiver),
      m_wakeUp(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Mailbox::~Mailbox() {
    if (m_wakeUp >= 0)
        ::close(m_wakeUp);
}

void Mailbox::post(std::function<void()> work) {
    const std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return;
    m_posted.push_back(std::move(work));
    const uint64_t one = 1;
    if (m_posted.size() == 1 && write(m_wakeUp, &one, sizeof one) < 0) {
        // The counter cannot overflow with one write per empty queue; nothing to do.
    }
}

void Mailbox::close() {
    std::deque<std::function<void()>> dropped;
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
    dropped.swap(m_posted);
}

// Each piece of work in the order posted; a piece that runs an event loop of its own (a message
// box) lets the next ones be delivered from there.
void Mailbox::deliverPosted() {
    uint64_t count = 0;
    if (read(m_wakeUp, &count, sizeof count) < 0) {
        // Nothing was signalled since the last read: whatever waits is taken below anyway.
    }
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
