#include "bench/YieldClock.h"

#include <QAbstractEventDispatcher>

YieldClock::YieldClock(const QElapsedTimer& clock) : m_clock(clock) {}

void YieldClock::start() {
    m_running = true;
    m_last = m_clock.nsecsElapsed();
    m_yields = 0;
    m_largestGap = 0;
    m_largestGapEnd = m_last;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this, [this] {
        if (!m_running)
            return;
        const qint64 now = m_clock.nsecsElapsed();
        ++m_yields;
        mark(now);
        if (onYield)
            onYield(now);
    });
}

void YieldClock::stop() {
    if (!m_running)
        return;
    m_stoppedAt = m_clock.nsecsElapsed();
    mark(m_stoppedAt);
    m_running = false;
    disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
}

void YieldClock::mark(qint64 now) {
    if (now - m_last > m_largestGap) {
        m_largestGap = now - m_last;
        m_largestGapEnd = now;
    }
    m_last = now;
}
