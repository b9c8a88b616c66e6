#include "core/folders/MountTable.h"

#include "core/folders/PathHash.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <libmount/libmount.h>
#include <memory>

namespace {

// Disks, memory and images. libmount counts tmpfs, ramfs and overlay among its pseudo file
// systems, but they hold a person's files (/tmp, a container's root).
constexpr std::string_view LocalTypes[] = {
    "ext2",     "ext3",  "ext4",  "xfs",   "btrfs",   "f2fs",     "jfs",    "reiserfs", "nilfs2",
    "bcachefs", "zfs",   "tmpfs", "ramfs", "overlay", "squashfs", "erofs",  "iso9660",  "udf",
    "vfat",     "msdos", "exfat", "ntfs",  "ntfs3",   "hfs",      "hfsplus"};

// Fine stamps, set by the kernel alone: not a share (a peer changes it), not fuse (a process
// answers as it likes), not overlay (a lower layer changes below it), not FAT and exFAT (two
// seconds, local time).
constexpr std::string_view KeepingTypes[] = {"ext2",  "ext3", "ext4", "xfs",
                                             "btrfs", "f2fs", "tmpfs"};

template <typename List> bool isIn(const List& list, std::string_view type) {
    return std::find(std::begin(list), std::end(list), type) != std::end(list);
}

// A user-space file system, or a host's folder lent to a virtual machine, answers when its
// peer does: libmount counts some of them as pseudo file systems.
bool answersThroughAPeer(std::string_view type) {
    return type == "fuse" || type == "fuseblk" || type.substr(0, 5) == "fuse." ||
           type == "virtiofs" || type == "vboxsf";
}

bool isInside(std::string_view path, std::string_view mount) {
    if (mount == "/")
        return !path.empty() && path[0] == '/';
    return path.substr(0, mount.size()) == mount &&
           (path.size() == mount.size() || path[mount.size()] == '/');
}

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterDeleter {
    void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};

std::string text(const char* value) {
    return value ? std::string(value) : std::string();
}

// libmount unescapes the fields (a blank in a mount point is \040 in the table).
MountTable fromTable(libmnt_table* table) {
    std::vector<MountTable::Mount> mounts;
    const std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
    libmnt_fs* fs = nullptr;
    while (iter && mnt_table_next_fs(table, iter.get(), &fs) == 0) {
        const std::string type = text(mnt_fs_get_fstype(fs));
        mounts.push_back({text(mnt_fs_get_target(fs)), type, text(mnt_fs_get_source(fs)),
                          MountTable::kindOf(type)});
    }
    return MountTable(std::move(mounts));
}

} // namespace

MountTable MountTable::read() {
    const std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!table || mnt_table_parse_file(table.get(), "/proc/self/mountinfo") != 0)
        return MountTable();
    return fromTable(table.get());
}

MountTable MountTable::parse(std::string_view mountinfo) {
    std::string bytes(mountinfo);
    const std::unique_ptr<FILE, int (*)(FILE*)> stream(fmemopen(bytes.data(), bytes.size(), "r"),
                                                       &fclose);
    const std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!stream || !table || mnt_table_parse_stream(table.get(), stream.get(), "mountinfo") != 0)
        return MountTable();
    return fromTable(table.get());
}

MountTable::Kind MountTable::kindOf(std::string_view type) {
    const std::string name(type);
    if (isIn(LocalTypes, type))
        return Kind::Local;
    if (!answersThroughAPeer(type) && !mnt_fstype_is_netfs(name.c_str()) &&
        mnt_fstype_is_pseudofs(name.c_str()))
        return Kind::System;
    return Kind::MayHang;
}

MountTable::MountTable(std::vector<Mount> mounts) : m_mounts(std::move(mounts)) {
    for (const Mount& mount : m_mounts) {
        const uint64_t hash = PathHash::of(mount.path);
        m_mountHashes.insert(hash);
        m_mountBits.set(bitOf(hash));
        // A later mount over the same place hides the earlier.
        const auto mark = [hash](std::unordered_set<uint64_t>& set, bool on) {
            if (on)
                set.insert(hash);
            else
                set.erase(hash);
        };
        mark(m_systemHashes, mount.kind == Kind::System);
        mark(m_hangingHashes, mount.kind == Kind::MayHang);
        mark(m_keepingHashes, isIn(KeepingTypes, mount.type));
    }
}

// The last mount listed wins among equals: it is the one on top.
const MountTable::Mount* MountTable::holding(std::string_view path) const {
    const Mount* best = nullptr;
    for (const Mount& mount : m_mounts)
        if (isInside(path, mount.path) && (!best || mount.path.size() >= best->path.size()))
            best = &mount;
    return best;
}

uint64_t MountTable::volumeOf(std::string_view path) const {
    const Mount* mount = holding(path);
    return PathHash::of(mount ? std::string_view(mount->path) : std::string_view("/"));
}

bool MountTable::isSystemAt(std::string_view path) const {
    const Mount* mount = holding(path);
    return mount && mount->kind == Kind::System;
}

ReadGate::Place MountTable::placeOf(std::string_view path) const {
    return {volumeOf(path), PathHash::of(path)};
}
