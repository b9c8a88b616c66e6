#include "core/folders/KeptFolder.h"

KeptFolder::KeptFolder(const FolderStamp& stamp, int64_t readAt, const Names& names)
    : m_stamp(stamp), m_readAt(readAt), m_names(names) {}

KeptFolder::KeptFolder(const FolderStamp& stamp, int64_t readAt, Names&& names)
    : m_stamp(stamp), m_readAt(readAt), m_names(std::move(names)) {}

bool KeptFolder::holdsFor(const FolderStamp& now) const {
    return now == m_stamp && m_readAt - m_stamp.latest() > SettledMargin;
}

bool KeptFolder::Names::adopt(std::string bytes, uint32_t count, Names& into) {
    uint32_t names = 0;
    for (size_t at = 0; at < bytes.size(); ++names) {
        if (at + 2 > bytes.size())
            return false;
        const char kind = bytes[at];
        const size_t length = uint8_t(bytes[at + 1]);
        if ((kind != 'd' && kind != 'f' && kind != 'l') || length == 0 ||
            at + 2 + length > bytes.size())
            return false;
        const std::string_view name(bytes.data() + at + 2, length);
        if (name[0] == '.' || name.find('/') != std::string_view::npos ||
            name.find('\0') != std::string_view::npos)
            return false;
        at += 2 + length;
    }
    if (names != count)
        return false;
    into.m_bytes = std::move(bytes);
    into.m_count = count;
    return true;
}
