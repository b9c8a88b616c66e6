#pragma once

// Acts inside the walk's yields: an event that posts itself again is delivered once in every
// yield to the event loop (events posted while the queue is being delivered wait for the next
// round), so `action(n)` runs at the n-th folder the walk enters, counting from 1, as a user's
// click or key press would be handled there.

#include <QCoreApplication>
#include <QEvent>
#include <functional>

class YieldHook : public QObject {
public:
    explicit YieldHook(std::function<void(int)> action) : m_action(std::move(action)) { post(); }
    int yields() const { return m_yields; }
    void stop() { m_stopped = true; }

protected:
    bool event(QEvent* event) override {
        if (event->type() != TickType)
            return QObject::event(event);
        if (m_stopped)
            return true;
        post();
        m_action(++m_yields);
        return true;
    }

private:
    static constexpr QEvent::Type TickType = QEvent::Type(QEvent::User + 17);
    void post() { QCoreApplication::postEvent(this, new QEvent(TickType)); }

    std::function<void(int)> m_action;
    int m_yields = 0;
    bool m_stopped = false;
};
