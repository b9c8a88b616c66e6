#pragma once

// The entries a walk found, waiting for the receiver (the window, through Search) to take them,
// and how the walk ended. The walk thread puts in, the receiver's thread takes out, under a lock
// of its own. It is bounded: when `limit` entries wait, the walk waits until they are taken.
//
// The receiver is told through `tell`, called under the lock: once when entries come and until
// they are taken, again when the walk stands still for room, and when the walk ended or failed.
// It neither walks nor reads, and knows no window.

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>

class EntryOutbox {
public:
    EntryOutbox(qsizetype limit, std::function<void()> tell);

    // The walk's: hands out a folder's entries; waits while the outbox is full. False once
    // stopped: nothing more is taken.
    bool put(QStringList entries);
    void finish();
    void fail(const QString& description);

    // Any thread: nothing more is wanted; what waits is dropped, a walk waiting returns.
    void stop();

    // The receiver's.
    QStringList take();
    bool isHeldBack();
    struct Look {
        bool hasEntries = false;
        bool done = false; // the walk is over: what waits is all there is
        QString failure;   // the start folder could not be read
    };
    Look look();

private:
    const qsizetype m_limit;
    const std::function<void()> m_tell;
    std::mutex m_mutex;
    std::condition_variable m_roomMade;
    QStringList m_waiting;
    bool m_told = false;     // the receiver was told of what waits and has not taken it yet
    bool m_heldBack = false; // the walk waits for the receiver to take
    bool m_stopped = false;
    bool m_done = false;
    QString m_failure;
};
