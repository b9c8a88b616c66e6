#pragma once

// Takes a mutex that is only ever held for a moment: a few tries on the spot first, because
// another core holding it lets go sooner than a thread put to sleep on it would be woken (and
// a sleeper makes every unlock a system call). Only then does it wait as std::mutex waits.

#include <mutex>

namespace BriefLock {

constexpr int TriesBeforeWaiting = 32;

inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// `lock` holds its mutex, not yet locked.
inline void take(std::unique_lock<std::mutex>& lock) {
    for (int tries = 0; tries < TriesBeforeWaiting; ++tries) {
        if (lock.try_lock())
            return;
        pause();
    }
    lock.lock();
}

// A unique_lock that takes its mutex so.
inline std::unique_lock<std::mutex> on(std::mutex& mutex) {
    std::unique_lock lock(mutex, std::defer_lock);
    take(lock);
    return lock;
}

} // namespace BriefLock
