#pragma once

// Acts inside the walk's yields: a zero-time timer fires once in every yield to the event loop,
// so `action(n)` runs at the n-th folder the walk enters (counting from 1), as a user's click
// or key press would be handled there.

#include <QTimer>
#include <functional>

class YieldHook {
public:
    explicit YieldHook(std::function<void(int)> action) : m_action(std::move(action)) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_action(++m_yields); });
        m_timer.start();
    }
    int yields() const { return m_yields; }
    void stop() { m_timer.stop(); }

private:
    std::function<void(int)> m_action;
    QTimer m_timer;
    int m_yields = 0;
};
