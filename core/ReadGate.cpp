#include "core/ReadGate.h"

// Never destroyed: a thread held in the kernel may leave the gate after the program's end.
ReadGate& ReadGate::shared() {
    static ReadGate* const gate = new ReadGate;
    return *gate;
}

bool ReadGate::enter(const Place& place, const std::function<bool()>& calledOff) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        if (calledOff())
            return true;
        const auto volume = m_readsOnVolume.find(place.volume);
        return (volume == m_readsOnVolume.end() || volume->second < m_readsPerVolume) &&
               m_readsOfFolder.count(place.folder) == 0;
    });
    if (calledOff())
        return false;
    ++m_readsOnVolume[place.volume];
    ++m_readsOfFolder[place.folder];
    ++m_underWay;
    return true;
}

void ReadGate::leave(const Place& place) {
    {
        const std::lock_guard lock(m_mutex);
        if (--m_readsOnVolume[place.volume] == 0)
            m_readsOnVolume.erase(place.volume);
        if (--m_readsOfFolder[place.folder] == 0)
            m_readsOfFolder.erase(place.folder);
        --m_underWay;
    }
    m_changed.notify_all();
}

void ReadGate::wake() {
    { const std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
}

void ReadGate::setReadsPerVolume(int limit) {
    {
        const std::lock_guard lock(m_mutex);
        m_readsPerVolume = limit < 1 ? 1 : limit;
    }
    m_changed.notify_all();
}

int ReadGate::readsUnderWay() const {
    const std::lock_guard lock(m_mutex);
    return m_underWay;
}
