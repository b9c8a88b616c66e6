#include "core/ReadGate.h"

#include <algorithm>

ReadGate& ReadGate::shared() {
    static ReadGate gate;
    return gate;
}

namespace {

template <typename Reads> auto onVolume(Reads& reads, uint64_t volume) {
    return std::find_if(reads.begin(), reads.end(),
                        [volume](const auto& entry) { return entry.first == volume; });
}

} // namespace

bool ReadGate::enter(const Place& place, const std::function<bool()>& calledOff) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        if (calledOff())
            return true;
        const auto volume = onVolume(m_readsOnVolume, place.volume);
        return (volume == m_readsOnVolume.end() || volume->second < m_readsPerVolume) &&
               std::find(m_foldersRead.begin(), m_foldersRead.end(), place.folder) ==
                   m_foldersRead.end();
    });
    if (calledOff())
        return false;
    if (const auto volume = onVolume(m_readsOnVolume, place.volume);
        volume != m_readsOnVolume.end())
        ++volume->second;
    else
        m_readsOnVolume.emplace_back(place.volume, 1);
    m_foldersRead.push_back(place.folder);
    ++m_underWay;
    return true;
}

void ReadGate::leave(const Place& place) {
    {
        const std::lock_guard lock(m_mutex);
        if (const auto volume = onVolume(m_readsOnVolume, place.volume);
            volume != m_readsOnVolume.end() && --volume->second == 0) {
            *volume = m_readsOnVolume.back();
            m_readsOnVolume.pop_back();
        }
        if (const auto folder = std::find(m_foldersRead.begin(), m_foldersRead.end(), place.folder);
            folder != m_foldersRead.end()) {
            *folder = m_foldersRead.back();
            m_foldersRead.pop_back();
        }
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
