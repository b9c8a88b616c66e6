#pragma once

// Measures how long the user interface goes without handling its events during a search. Every
// pass of the event dispatcher (the search's yields included) announces itself with the
// dispatcher's awake signal; the clock notes the time of each and keeps the largest distance
// between two of them, counting from the start of the measurement to its stop. It never
// changes what the program does: it only listens.

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class YieldClock : public QObject {
    Q_OBJECT
public:
    explicit YieldClock(const QElapsedTimer& clock);

    void start();
    void stop();

    // When the clock was stopped, in nanoseconds on the clock.
    qint64 stoppedAt() const { return m_stoppedAt; }
    qint64 yields() const { return m_yields; }
    qint64 largestGapNs() const { return m_largestGap; }
    // Where the largest gap ended, in nanoseconds on the clock.
    qint64 largestGapEndedAt() const { return m_largestGapEnd; }
    // Called at every yield while the clock runs, with the time on the clock.
    std::function<void(qint64)> onYield;

private:
    void mark(qint64 now);

    const QElapsedTimer& m_clock;
    bool m_running = false;
    qint64 m_last = 0;
    qint64 m_stoppedAt = 0;
    qint64 m_yields = 0;
    qint64 m_largestGap = 0;
    qint64 m_largestGapEnd = 0;
};
