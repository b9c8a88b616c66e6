#include "core/folders/KeptRecord.h"

#include <cstdint>
#include <cstring>
#include <mutex>
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

// What a thread takes of a block at a time: the names of a few hundred folders.
constexpr size_t ChunkSize = size_t(64) << 10;

// A part of a block that one thread writes into.
struct Chunk {
    std::shared_ptr<KeptBlock> block;
    char* data = nullptr;
    size_t size = 0;
};

// Shares the current block out in chunks; a folder too large for a chunk has a block of its own.
// Never destroyed: a reading thread may take a chunk while the program ends.
class Blocks {
public:
    Chunk take(size_t bytes) {
        if (bytes > ChunkSize) {
            const size_t size = alignedUp(bytes);
            auto block = std::make_shared<KeptBlock>(size);
            return {block, block->data(), size};
        }
        const std::lock_guard lock(m_mutex);
        if (!m_block || m_used + ChunkSize > m_block->size()) {
            m_block = std::make_shared<KeptBlock>(KeptBlock::RegionSize);
            m_used = 0;
        }
        Chunk chunk{m_block, m_block->data() + m_used, ChunkSize};
        m_used += ChunkSize;
        return chunk;
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<KeptBlock> m_block;
    size_t m_used = 0;
};
Blocks& blocks() {
    static Blocks* const shared = new Blocks;
    return *shared;
}

// The chunk the calling thread writes into: its records up to `used`, then the names of the
// folder it reads now from `names`, `count` of them up to `end`.
struct Writer {
    Chunk chunk;
    size_t used = 0;
    size_t names = 0;
    size_t end = 0;
    uint32_t count = 0;

    // Room for `bytes` more; a folder that does not fit where it began moves to a new chunk.
    void makeRoom(size_t bytes) {
        if (chunk.data && end + bytes <= chunk.size)
            return;
        const size_t written = chunk.data ? end - names : 0;
        Chunk next = blocks().take(sizeof(KeptRecord::Header) + 2 * (written + bytes));
        if (written > 0)
            std::memcpy(next.data + sizeof(KeptRecord::Header), chunk.data + names, written);
        chunk = std::move(next);
        used = 0;
        names = sizeof(KeptRecord::Header);
        end = names + written;
    }
};
thread_local Writer writer;

} // namespace

void KeptRecord::Writing::start() {
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

KeptFolder::NamesView KeptRecord::Writing::names() {
    return {std::string_view(writer.chunk.data + writer.names, writer.end - writer.names),
            writer.count};
}

KeptRecord KeptRecord::Writing::keep(const FolderStamp& stamp, int64_t readAt) {
    const size_t start = writer.names - sizeof(Header);
    auto* header = new (writer.chunk.data + start)
        Header{stamp, readAt, writer.count, uint32_t(writer.end - writer.names)};
    writer.used = alignedUp(writer.end);
    KeptRecord record;
    record.m_block = writer.chunk.block;
    record.m_header = header;
    return record;
}

size_t KeptRecord::memoryUse() const {
    return KeptFolder::memoryUseOf(m_header->size);
}

KeptFolder KeptRecord::make() const {
    return KeptFolder(m_header->stamp, m_header->readAt,
                      KeptFolder::Names(names(), m_header->size, m_header->count));
}
