#include "core/kept/KeptFile.h"

#include "core/files/Descriptor.h"
#include "core/files/WholeFile.h"
#include "core/text/FileNames.h"

#include <QByteArray>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr char Magic[8] = {'T', 'R', 'O', 'V', 'A', 'N', 'K', 'L'};
constexpr size_t ChunkBytes = size_t(1) << 20;

// FNV-1a over every byte written or read before the checksum itself.
struct Checksum {
    uint64_t value = 14695981039346656037ull;
    void add(const char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            value ^= uint8_t(bytes[i]);
            value *= 1099511628211ull;
        }
    }
};

class KeptWriter {
public:
    explicit KeptWriter(int fd) : m_fd(fd) { m_buffer.reserve(ChunkBytes); }
    template <typename Number> void number(Number value) { bytes(&value, sizeof value); }
    void bytes(const void* data, size_t size) {
        m_sum.add(static_cast<const char*>(data), size);
        const char* from = static_cast<const char*>(data);
        m_buffer.insert(m_buffer.end(), from, from + size);
        if (m_buffer.size() >= ChunkBytes)
            flush();
    }
    bool finish() {
        const uint64_t sum = m_sum.value;
        m_buffer.insert(m_buffer.end(), reinterpret_cast<const char*>(&sum),
                        reinterpret_cast<const char*>(&sum) + sizeof sum);
        flush();
        return m_ok;
    }

private:
    void flush() {
        m_ok = m_ok && WholeFile::writeAll(m_fd, m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
    int m_fd;
    std::vector<char> m_buffer;
    Checksum m_sum;
    bool m_ok = true;
};

class Reader {
public:
    Reader(int fd, size_t size) : m_fd(fd), m_left(size) {}
    template <typename Number> bool number(Number& value) { return bytes(&value, sizeof value); }
    bool bytes(void* into, size_t size) {
        if (size > m_left)
            return false;
        char* to = static_cast<char*>(into);
        while (size > 0) {
            if (m_at == m_buffer.size() && !refill())
                return false;
            const size_t take = std::min(size, m_buffer.size() - m_at);
            std::memcpy(to, m_buffer.data() + m_at, take);
            m_sum.add(to, take);
            m_at += take;
            m_left -= take;
            to += take;
            size -= take;
        }
        return true;
    }
    // The checksum of what was read, against the one that ends the file.
    bool endsWell() {
        const uint64_t expected = m_sum.value;
        uint64_t written = 0;
        return number(written) && written == expected && m_left == 0;
    }

private:
    bool refill() {
        m_buffer.resize(std::min(ChunkBytes, m_left));
        size_t filled = 0;
        while (filled < m_buffer.size()) {
            const ssize_t got = ::read(m_fd, m_buffer.data() + filled, m_buffer.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            filled += size_t(got);
        }
        m_at = 0;
        return true;
    }
    int m_fd;
    size_t m_left;
    std::vector<char> m_buffer;
    size_t m_at = 0;
    Checksum m_sum;
};

bool readFolder(Reader& in, KeptSnapshot& snapshot, size_t mostBytes) {
    uint64_t hash = 0, lastUse = 0;
    FolderStamp stamp;
    int64_t readAt = 0;
    uint32_t count = 0, size = 0;
    if (!in.number(hash) || !in.number(lastUse) || !in.number(stamp.device) ||
        !in.number(stamp.inode) || !in.number(stamp.mount) || !in.number(stamp.changed) ||
        !in.number(stamp.modified) || !in.number(readAt) || !in.number(count) || !in.number(size) ||
        size > mostBytes)
        return false;
    std::string entries(size, '\0');
    KeptFolder::Names names;
    if (!in.bytes(entries.data(), size) ||
        !KeptFolder::Names::adopt(std::move(entries), count, names) || lastUse > snapshot.searches)
        return false;
    auto folder = std::make_shared<const KeptFolder>(stamp, readAt, std::move(names));
    snapshot.bytes += folder->memoryUse();
    snapshot.newestRead = std::max(snapshot.newestRead, readAt);
    return snapshot.folders.insert({hash, {std::move(folder), lastUse}}).second &&
           snapshot.bytes <= mostBytes;
}

} // namespace

namespace KeptFile {

std::optional<KeptSnapshot> read(const QString& file, size_t mostBytes) {
    const QByteArray name = FileNames::encode(file);
    // Without blocking, and never through a link: a FIFO or a link planted there is no file of
    // ours.
    const Descriptor in(open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!in.valid() || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || size_t(info.st_size) > mostBytes)
        return std::nullopt;
    Reader reader(in.get(), size_t(info.st_size));
    char magic[sizeof Magic] = {};
    uint32_t version = 0, uid = 0;
    uint64_t count = 0;
    KeptSnapshot snapshot;
    if (!reader.bytes(magic, sizeof magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 ||
        !reader.number(version) || version != Version || !reader.number(uid) || uid != geteuid() ||
        !reader.number(snapshot.searches) || !reader.number(count))
        return std::nullopt;
    for (uint64_t i = 0; i < count; ++i)
        if (!readFolder(reader, snapshot, mostBytes))
            return std::nullopt;
    if (!reader.endsWell())
        return std::nullopt;
    return snapshot;
}

std::optional<SystemError> write(const QString& file, const KeptSnapshot& snapshot) {
    return WholeFile::replace(
        file,
        [&](int fd) {
            KeptWriter out(fd);
            out.bytes(Magic, sizeof Magic);
            out.number(Version);
            out.number(uint32_t(geteuid()));
            out.number(snapshot.searches);
            out.number(uint64_t(snapshot.folders.size()));
            for (const auto& [hash, slot] : snapshot.folders) {
                const KeptFolder& folder = *slot.folder;
                const FolderStamp& stamp = folder.stamp();
                out.number(hash);
                out.number(slot.lastUse);
                for (const uint64_t part : {stamp.device, stamp.inode, stamp.mount})
                    out.number(part);
                for (const int64_t time : {stamp.changed, stamp.modified, folder.readAt()})
                    out.number(time);
                const std::string& names = folder.names().bytes();
                out.number(folder.names().count());
                out.number(uint32_t(names.size()));
                out.bytes(names.data(), names.size());
            }
            return out.finish();
        },
        {}, 0600);
}

} // namespace KeptFile
