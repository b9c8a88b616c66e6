#pragma once

// One folder's names as a search read them, kept to be used again instead of reading the
// folder: each name with its kind (a folder, a file, a link), the folder's stamp taken from the
// open folder before its names were read, and the moment of that read by the system's clock.
// Hidden names and anything but folders, files and links are not kept; nor is where a link
// points, which is looked at whenever the link's name matches.
//
// It is made once and never changed after (several searches may read it at once). Whether it
// may be used is decided here: only for a folder whose stamp now is the same in every part, and
// whose stamp was settled more than SettledMargin before the read, since a change in the same
// tick of the file system's clock as the read leaves the stamp as it was.

#include "core/folders/FolderStamp.h"

#include <cstdint>
#include <string>
#include <string_view>

class KeptFolder {
public:
    enum class Kind : char { Folder = 'd', File = 'f', Link = 'l' };
    // locate's updatedb allows as much for a clock tick and a stamp written late.
    static constexpr int64_t SettledMargin = int64_t(3) * 1000000000;

    // Made while the folder is read, one name at a time.
    class Builder {
    public:
        void add(Kind kind, std::string_view name);
        KeptFolder finish(const FolderStamp& stamp, int64_t readAt);

    private:
        std::string m_entries;
        uint32_t m_count = 0;
    };

    KeptFolder() = default;
    // From a kept file, whose entries were checked (see isWellFormed).
    KeptFolder(const FolderStamp& stamp, int64_t readAt, std::string entries, uint32_t count);

    const FolderStamp& stamp() const { return m_stamp; }
    int64_t readAt() const { return m_readAt; }
    uint32_t count() const { return m_count; }
    const std::string& entries() const { return m_entries; }
    size_t memoryUse() const;

    // Whether these names are the folder's now, the folder's stamp being `now`.
    bool holdsFor(const FolderStamp& now) const;

    // Calls `visit(kind, name)` for each name, in the order read.
    template <typename Visit> void forEach(Visit&& visit) const {
        for (size_t at = 0; at + 2 <= m_entries.size();) {
            const auto kind = Kind(m_entries[at]);
            const size_t length = uint8_t(m_entries[at + 1]);
            visit(kind, std::string_view(m_entries.data() + at + 2, length));
            at += 2 + length;
        }
    }

    // Whether `entries` holds `count` names in the form Builder writes, each a real name.
    static bool isWellFormed(std::string_view entries, uint32_t count);

private:
    FolderStamp m_stamp;
    int64_t m_readAt = 0;
    std::string m_entries; // per name: its kind, its length (a byte), its bytes
    uint32_t m_count = 0;
};
