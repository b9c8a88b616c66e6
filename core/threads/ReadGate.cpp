#include "core/threads/ReadGate.h"

#include "core/threads/BriefLock.h"

#include <algorithm>

// Never destroyed: a thread held in the kernel may leave the gate after the program's end.
ReadGate& ReadGate::shared() {
    static ReadGate* const gate = new ReadGate;
    return *gate;
}

namespace {

template <typename Reads> auto onVolume(Reads& reads, uint64_t volume) {
    return std::find_if(reads.begin(), reads.end(),
                        [volume](const auto& entry) { return entry.first == volume; });
}

} // namespace

bool ReadGate::enter(const Place& place, const std::function<bool()>& calledOff) {
    return enter(std::span(&place, 1), calledOff);
}

void ReadGate::leave(const Place& place) {
    leave(std::span(&place, 1));
}

bool ReadGate::enter(std::span<const Place> places, const std::function<bool()>& calledOff) {
    if (places.empty())
        return !calledOff();
    const uint64_t volumeId = places.front().volume;
    const auto isRead = [&](const Place& place) {
        return std::find(m_foldersRead.begin(), m_foldersRead.end(), place.folder) !=
               m_foldersRead.end();
    };
    std::unique_lock lock = BriefLock::on(m_mutex);
    m_changed.wait(lock, [&] {
        if (calledOff())
            return true;
        const auto volume = onVolume(m_readsOnVolume, volumeId);
        return (volume == m_readsOnVolume.end() || volume->second < m_readsPerVolume) &&
               std::none_of(places.begin(), places.end(), isRead);
    });
    if (calledOff())
        return false;
    if (const auto volume = onVolume(m_readsOnVolume, volumeId); volume != m_readsOnVolume.end())
        ++volume->second;
    else
        m_readsOnVolume.emplace_back(volumeId, 1);
    for (const Place& place : places)
        m_foldersRead.push_back(place.folder);
    ++m_underWay;
    return true;
}

void ReadGate::leave(std::span<const Place> places) {
    if (places.empty())
        return;
    {
        const std::unique_lock lock = BriefLock::on(m_mutex);
        if (const auto volume = onVolume(m_readsOnVolume, places.front().volume);
            volume != m_readsOnVolume.end() && --volume->second == 0) {
            *volume = m_readsOnVolume.back();
            m_readsOnVolume.pop_back();
        }
        for (const Place& place : places) {
            const auto folder = std::find(m_foldersRead.begin(), m_foldersRead.end(), place.folder);
            if (folder != m_foldersRead.end()) {
                *folder = m_foldersRead.back();
                m_foldersRead.pop_back();
            }
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
