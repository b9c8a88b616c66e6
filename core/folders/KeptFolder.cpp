#include "core/folders/KeptFolder.h"

#include <algorithm>

void KeptFolder::Builder::add(Kind kind, std::string_view name) {
    m_entries.push_back(char(kind));
    m_entries.push_back(char(uint8_t(name.size())));
    m_entries.append(name);
    ++m_count;
}

KeptFolder KeptFolder::Builder::finish(const FolderStamp& stamp, int64_t readAt) {
    m_entries.shrink_to_fit();
    return KeptFolder(stamp, readAt, std::move(m_entries), m_count);
}

KeptFolder::KeptFolder(const FolderStamp& stamp, int64_t readAt, std::string entries,
                       uint32_t count)
    : m_stamp(stamp), m_readAt(readAt), m_entries(std::move(entries)), m_count(count) {}

// What the folder costs where it is kept, its map entry included.
size_t KeptFolder::memoryUse() const {
    return sizeof(KeptFolder) + m_entries.capacity() + 64;
}

bool KeptFolder::holdsFor(const FolderStamp& now) const {
    return now == m_stamp && m_readAt - m_stamp.latest() > SettledMargin;
}

bool KeptFolder::isWellFormed(std::string_view entries, uint32_t count) {
    uint32_t names = 0;
    for (size_t at = 0; at < entries.size(); ++names) {
        if (at + 2 > entries.size())
            return false;
        const char kind = entries[at];
        const size_t length = uint8_t(entries[at + 1]);
        if ((kind != 'd' && kind != 'f' && kind != 'l') || length == 0 ||
            at + 2 + length > entries.size())
            return false;
        const std::string_view name = entries.substr(at + 2, length);
        if (name[0] == '.' || name.find('/') != std::string_view::npos ||
            name.find('\0') != std::string_view::npos)
            return false;
        at += 2 + length;
    }
    return names == count;
}
