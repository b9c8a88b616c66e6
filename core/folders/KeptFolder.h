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

    // A folder's names in the form they are kept in: per name its kind, its length (a byte;
    // a name is at most 255 bytes) and its bytes; and how many.
    struct NamesView {
        std::string_view bytes;
        uint32_t count = 0;
    };

    // Such names, held. FolderReader reads a folder not kept into it.
    class Names {
    public:
        Names() = default;
        // Names already in this form (a record's): taken as they are.
        Names(const char* bytes, size_t size, uint32_t count)
            : m_bytes(bytes, size), m_count(count) {}
        void add(Kind kind, std::string_view name) {
            m_bytes.push_back(char(kind));
            m_bytes.push_back(char(uint8_t(name.size())));
            m_bytes.append(name);
            ++m_count;
        }
        void clear() {
            m_bytes.clear();
            m_count = 0;
        }
        size_t capacity() const { return m_bytes.capacity(); }
        uint32_t count() const { return m_count; }
        const std::string& bytes() const { return m_bytes; }
        NamesView view() const { return {m_bytes, m_count}; }

        // Checked names from a kept file, moved into `into`; false, `into` untouched, when `bytes`
        // does not hold `count` real names.
        static bool adopt(std::string bytes, uint32_t count, Names& into);

    private:
        std::string m_bytes;
        uint32_t m_count = 0;
    };

    // Calls `visit(kind, name)` for each name, in the order read.
    template <typename Visit> static void forEachIn(NamesView names, Visit&& visit) {
        const std::string_view bytes = names.bytes;
        for (size_t at = 0; at + 2 <= bytes.size();) {
            const auto kind = Kind(bytes[at]);
            const size_t length = uint8_t(bytes[at + 1]);
            visit(kind, std::string_view(bytes.data() + at + 2, length));
            at += 2 + length;
        }
    }

    KeptFolder() = default;
    // The names are copied at their size.
    KeptFolder(const FolderStamp& stamp, int64_t readAt, const Names& names);
    KeptFolder(const FolderStamp& stamp, int64_t readAt, Names&& names);

    const FolderStamp& stamp() const { return m_stamp; }
    int64_t readAt() const { return m_readAt; }
    const Names& names() const { return m_names; }
    size_t memoryUse() const { return memoryUseOf(m_names.capacity()); }
    // What a folder of names of `bytes` costs where it is kept, its place in the map included.
    static constexpr size_t memoryUseOf(size_t bytes) { return sizeof(KeptFolder) + bytes + 64; }

    // Whether these names are the folder's now, the folder's stamp being `now`.
    bool holdsFor(const FolderStamp& now) const;

private:
    FolderStamp m_stamp;
    int64_t m_readAt = 0;
    Names m_names;
};
