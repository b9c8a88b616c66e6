#pragma once

// A folder's names read to be kept, written where the reading thread gathers them: in a chunk of
// a block of its own, one record after the other, so that a read costs no allocation of its own
// and its names are written only once, straight from what the system handed back. The keeper
// makes a KeptFolder of each record later, on its own thread (KeptListings); a block goes when the
// last record and the last listing that point into it are gone.
//
// A chunk is written by the one thread that took it; another thread reads a record only after
// it was handed the record, and the writer never writes a record's bytes again.

#include "core/folders/KeptFolder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Memory the names of folders read to be kept are written into: one huge page where the system
// grants one (2 MB: a few thousand folders' names, written without a page fault each), shared
// out to the reading threads in chunks.
class KeptBlock {
public:
    static constexpr size_t RegionSize = size_t(2) << 20;

    explicit KeptBlock(size_t size);
    ~KeptBlock();
    KeptBlock(const KeptBlock&) = delete;
    KeptBlock& operator=(const KeptBlock&) = delete;

    char* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    char* m_mapped;
    size_t m_mappedSize;
    char* m_data;
    size_t m_size;
};

class KeptRecord {
public:
    struct Header {
        FolderStamp stamp;
        int64_t readAt = 0;
        uint32_t count = 0;
        uint32_t size = 0;
    };

    KeptRecord() = default;

    explicit operator bool() const { return m_header != nullptr; }
    const char* names() const { return reinterpret_cast<const char*>(m_header + 1); }
    const std::shared_ptr<const KeptBlock>& block() const { return m_block; }
    uint32_t size() const { return m_header->size; }
    uint32_t count() const { return m_header->count; }
    // What the folder made of it takes in memory.
    size_t memoryUse() const;
    KeptFolder make() const;

    // The names of the folder the calling thread reads now, written straight into its block:
    // start(), add() each, and keep() them as a record; a folder not kept leaves its room to
    // the next.
    class Writing {
    public:
        static void start();
        // Where the name's bytes lie among the folder's names.
        static uint32_t add(KeptFolder::Kind kind, std::string_view name);
        static KeptFolder::NamesView names();
        static KeptRecord keep(const FolderStamp& stamp, int64_t readAt);
    };

private:
    std::shared_ptr<const KeptBlock> m_block;
    const Header* m_header = nullptr;
};
