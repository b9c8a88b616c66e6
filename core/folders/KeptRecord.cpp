#include "core/folders/KeptRecord.h"

#include <atomic>
#include <cstring>
#include <new>
#include <sys/mman.h>

// Aligned to its size, so that the system can give it one huge page.
KeptBlock::KeptBlock(size_t size) : m_mappedSize(size + RegionSize), m_size(size) {
    void* memory = mmap(nullptr, m_mappedSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    m_mapped = static_cast<char*>(memory);
    m_data = reinterpret_cast<char*>((uintptr_t(m_mapped) + RegionSize - 1) & ~(RegionSize - 1));
    madvise(m_data, m_size, MADV_HUGEPAGE);
}

KeptBlock::~KeptBlock() {
    munmap(m_mapped, m_mappedSize);
}

namespace {

constexpr size_t alignedUp(size_t size) {
    return (size + 7) & ~size_t(7);
}

} // namespace

KeptBlocks::Chunk KeptBlocks::take(size_t bytes, const Chunk* leaving) {
    const std::lock_guard lock(m_mutex);
    if (leaving)
        leaveLocked(leaving->block);
    Chunk chunk;
    if (bytes > ChunkSize) {
        const size_t size = alignedUp(bytes);
        m_blocks.push_back({std::make_unique<KeptBlock>(size)});
        m_taken.fetch_add(size, std::memory_order_relaxed);
        // A chunk is never taken from it: the next chunk comes from a new block.
        m_used = KeptBlock::RegionSize;
        chunk = {m_blocks.back().block->data(), size, uint32_t(m_blocks.size() - 1)};
    } else {
        if (m_blocks.empty() || m_used + ChunkSize > KeptBlock::RegionSize) {
            m_blocks.push_back({std::make_unique<KeptBlock>(KeptBlock::RegionSize)});
            m_used = 0;
        }
        chunk = {m_blocks.back().block->data() + m_used, ChunkSize, uint32_t(m_blocks.size() - 1)};
        m_used += ChunkSize;
        m_taken.fetch_add(ChunkSize, std::memory_order_relaxed);
    }
    ++m_blocks[chunk.block].writers;
    return chunk;
}

void KeptBlocks::leave(const Chunk& chunk) {
    const std::lock_guard lock(m_mutex);
    leaveLocked(chunk.block);
}

void KeptBlocks::leaveLocked(uint32_t block) {
    Held& held = m_blocks[block];
    if (--held.writers == 0 && held.released)
        held.block.reset();
}

void KeptBlocks::release(uint32_t block) {
    const std::lock_guard lock(m_mutex);
    Held& held = m_blocks[block];
    held.released = true;
    if (held.writers == 0)
        held.block.reset();
}

uint64_t KeptBlocks::nextId() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

size_t KeptBlocks::count() {
    const std::lock_guard lock(m_mutex);
    return m_blocks.size();
}

namespace {

// The chunk the calling thread writes into: its records up to `used`, then the names of the
// folder it reads now from `names`, `count` of them up to `end`.
struct Writer {
    KeptBlocks* blocks = nullptr;
    uint64_t blocksId = 0;
    KeptBlocks::Chunk chunk;
    size_t used = 0;
    size_t names = 0;
    size_t end = 0;
    uint32_t count = 0;

    // Room for `bytes` more; a folder that does not fit where it began moves to a new chunk.
    void makeRoom(size_t bytes) {
        if (chunk.data && end + bytes <= chunk.size)
            return;
        const size_t written = chunk.data ? end - names : 0;
        const KeptBlocks::Chunk next = blocks->take(
            sizeof(KeptRecord::Header) + 2 * (written + bytes), chunk.data ? &chunk : nullptr);
        if (written > 0)
            std::memcpy(next.data + sizeof(KeptRecord::Header), chunk.data + names, written);
        chunk = next;
        used = 0;
        names = sizeof(KeptRecord::Header);
        end = names + written;
    }
};
thread_local Writer writer;

} // namespace

void KeptRecord::Writing::stop() {
    if (writer.blocks && writer.chunk.data)
        writer.blocks->leave(writer.chunk);
    writer = Writer();
}

// A thread that reads for a new search starts on a chunk of its blocks.
void KeptRecord::Writing::start(KeptBlocks& blocks) {
    if (writer.blocksId != blocks.id) {
        writer = Writer();
        writer.blocks = &blocks;
        writer.blocksId = blocks.id;
    }
    writer.names = writer.used + sizeof(Header);
    writer.end = writer.names;
    writer.count = 0;
    writer.makeRoom(0);
}

uint32_t KeptRecord::Writing::add(KeptFolder::Kind kind, std::string_view name) {
    writer.makeRoom(2 + name.size());
    char* at = writer.chunk.data + writer.end;
    at[0] = char(kind);
    at[1] = char(uint8_t(name.size()));
    std::memcpy(at + 2, name.data(), name.size());
    const auto place = uint32_t(writer.end + 2 - writer.names);
    writer.end += 2 + name.size();
    ++writer.count;
    return place;
}

KeptRecord KeptRecord::Writing::keep(const FolderStamp& stamp, int64_t readAt) {
    auto* header = new (writer.chunk.data + writer.names - sizeof(Header)) Header{
        stamp, readAt, writer.count, uint32_t(writer.end - writer.names), writer.chunk.block};
    writer.used = alignedUp(writer.end);
    KeptRecord record;
    record.m_header = header;
    return record;
}

KeptFolder KeptRecord::make() const {
    return KeptFolder(m_header->stamp, m_header->readAt,
                      KeptFolder::Names(names(), m_header->size, m_header->count));
}
