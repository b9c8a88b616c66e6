#include "core/MountTable.h"

#include "core/PathHash.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// The mount table escapes blanks and a few other bytes as \ooo.
std::string unescape(std::string_view field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            out.push_back(
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

bool isInside(std::string_view path, std::string_view mount) {
    if (mount == "/")
        return !path.empty() && path[0] == '/';
    return path.substr(0, mount.size()) == mount &&
           (path.size() == mount.size() || path[mount.size()] == '/');
}

} // namespace

MountTable MountTable::read() {
    std::ifstream in("/proc/self/mountinfo");
    std::vector<Mount> mounts;
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, word;
        if (!(fields >> id >> parent >> device >> root >> mountPoint))
            continue;
        while (fields >> word && word != "-") {
        }
        std::string type;
        if (!(fields >> type))
            continue;
        mounts.push_back({unescape(mountPoint), type});
    }
    return MountTable(std::move(mounts));
}

MountTable::MountTable(std::vector<Mount> mounts) : m_mounts(std::move(mounts)) {
    for (const Mount& mount : m_mounts) {
        const uint64_t hash = PathHash::of(mount.path);
        m_mountHashes.insert(hash);
        m_mountBits.set(bitOf(hash));
        // A later mount over the same place hides the earlier.
        if (isVirtualType(mount.type))
            m_virtualHashes.insert(hash);
        else
            m_virtualHashes.erase(hash);
        if (isVirtualType(mount.type) || isLocalType(mount.type))
            m_hangingHashes.erase(hash);
        else
            m_hangingHashes.insert(hash);
        // Their readdir goes on until the buffer is full or the folder read to its end.
        if (mount.type == "ext4" || mount.type == "ext3" || mount.type == "ext2" ||
            mount.type == "tmpfs")
            m_fillingHashes.insert(hash);
        else
            m_fillingHashes.erase(hash);
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

bool MountTable::isVirtualAt(std::string_view path) const {
    const Mount* mount = holding(path);
    return mount && isVirtualType(mount->type);
}

bool MountTable::isVirtualType(std::string_view type) {
    // An array, not a set: it has no destructor to run at exit while a listing thread reads it.
    static constexpr std::string_view kernelFileSystems[] = {
        "proc",    "sysfs",       "devtmpfs", "devpts",     "cgroup", "cgroup2",   "securityfs",
        "debugfs", "tracefs",     "bpf",      "pstore",     "mqueue", "hugetlbfs", "configfs",
        "fusectl", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",   "selinuxfs", "nfsd"};
    return std::find(std::begin(kernelFileSystems), std::end(kernelFileSystems), type) !=
           std::end(kernelFileSystems);
}

bool MountTable::isLocalType(std::string_view type) {
    // Disks, memory and images: a read there comes back, if only with an error. Anything else
    // (nfs, cifs, sshfs and every other fuse.*, 9p, virtiofs, ...) may wait on a peer for ever.
    static constexpr std::string_view localFileSystems[] = {
        "ext2",     "ext3",   "ext4",     "xfs",    "btrfs", "f2fs",  "jfs",
        "reiserfs", "nilfs2", "bcachefs", "zfs",    "tmpfs", "ramfs", "overlay",
        "squashfs", "erofs",  "iso9660",  "udf",    "vfat",  "msdos", "exfat",
        "ntfs",     "ntfs3",  "hfs",      "hfsplus"};
    return std::find(std::begin(localFileSystems), std::end(localFileSystems), type) !=
           std::end(localFileSystems);
}
