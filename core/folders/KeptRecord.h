#pragma once

// A folder's names read to be kept, written where the reading thread gathers them: straight
// from what the system hands back into a chunk of the search's blocks, one record after the
// other, so that keeping costs a read no allocation and no copy. The keeper makes a KeptFolder
// of each record later, on its own thread (KeptListings), and lets each block go once the
// last record in it is made into one.
//
// Who owns what. The blocks of one search (KeptBlocks) belong to the search while it runs, then
// to the harvest it hands the keeper: a record, and a listing made of one, point into them and
// hold nothing. A chunk is written by the one thread that took it; another thread reads a
// record only after it was handed the record, and the writer never writes its bytes again.

#include "core/folders/KeptFolder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

// Memory mapped for names: one huge page where the system grants one (2 MB: a few thousand
// folders' names, written without a page fault each).
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

// The blocks one search writes its records into, shared out to its reading threads in chunks.
class KeptBlocks {
public:
    // What a thread takes at a time: the names of a few hundred folders.
    static constexpr size_t ChunkSize = size_t(64) << 10;

    struct Chunk {
        char* data = nullptr;
        size_t size = 0;
        uint32_t block = 0;
    };
    // At least `bytes`, for a thread that leaves the chunk it had (none: `leaving` is null);
    // a folder too large for a chunk has a block of its own.
    Chunk take(size_t bytes, const Chunk* leaving);
    // A thread that writes no more leaves its chunk.
    void leave(const Chunk& chunk);
    // The bytes taken so far, by every thread: asked before each folder is read, without a lock.
    size_t taken() const { return m_taken.load(std::memory_order_relaxed); }
    // The keeper's: every record in the block is made into a kept folder. The block goes once
    // no thread writes into it any more.
    void release(uint32_t block);
    size_t count();
    // Tells one search's blocks from another's, also at the same address.
    const uint64_t id = nextId();

private:
    static uint64_t nextId();
    struct Held {
        std::unique_ptr<KeptBlock> block;
        uint32_t writers = 0;  // threads with a chunk in it
        bool released = false; // by the keeper
    };
    void leaveLocked(uint32_t block);
    std::mutex m_mutex;
    std::vector<Held> m_blocks;
    size_t m_used = 0;              // of the last block, which chunks are taken from
    std::atomic<size_t> m_taken{0}; // written under the mutex
};

class KeptRecord {
public:
    struct Header {
        FolderStamp stamp;
        int64_t readAt = 0;
        uint32_t count = 0;
        uint32_t size = 0;
        uint32_t block = 0; // in the search's blocks
    };

    KeptRecord() = default;

    explicit operator bool() const { return m_header != nullptr; }
    const char* names() const { return reinterpret_cast<const char*>(m_header + 1); }
    uint32_t size() const { return m_header->size; }
    uint32_t count() const { return m_header->count; }
    uint32_t block() const { return m_header->block; }
    KeptFolder make() const;

    // The names of the folder the calling thread reads now, written straight into its chunk of
    // `blocks`: start(), add() each, and keep() them as a record; a folder not kept leaves its
    // room to the next.
    class Writing {
    public:
        static void start(KeptBlocks& blocks);
        // The calling thread writes no more for its search: its chunk is left.
        static void stop();
        // stop() at the end of a scope: a reading thread's.
        struct Done {
            Done() = default;
            Done(const Done&) = delete;
            Done& operator=(const Done&) = delete;
            ~Done() { stop(); }
        };
        // Where the name's bytes lie among the folder's names.
        static uint32_t add(KeptFolder::Kind kind, std::string_view name);
        static KeptRecord keep(const FolderStamp& stamp, int64_t readAt);
    };

private:
    const Header* m_header = nullptr;
};
