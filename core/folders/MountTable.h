#pragma once

// The mount table of this process, read at one moment with libmount, and the one place that
// says what each mounted file system is to the program:
//
// - System: the kernel's own file systems (proc, sysfs, cgroup, devpts, autofs and their kind;
//   libmount's pseudo file systems): they hold no files a person looks for. A search does not
//   descend into one unless it started on one, and none is a drive.
// - Local: a disk, memory or an image (ext4, xfs, btrfs, tmpfs, overlay, vfat, ...): a read
//   there comes back, if only with an error.
// - MayHang: everything else, a read of which may wait on a peer for ever: shares (libmount's
//   network file systems), user-space file systems (fuse), and every kind not named above.
//
// Paths are the system's bytes. Volumes are named by the hash of their mount point's path
// (PathHash), as the read gate names them. It reads nothing but the table, and keeps nothing
// after it is gone; a table read later may differ.

#include "core/threads/ReadGate.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class MountTable {
public:
    enum class Kind { System, Local, MayHang };
    struct Mount {
        std::string path; // the mount point
        std::string type;
        std::string source; // a device, a share, or the file system's own word ("tmpfs")
        Kind kind = Kind::MayHang;
    };

    // The table as /proc/self/mountinfo gives it now; empty when it cannot be read.
    static MountTable read();
    // The same from text in mountinfo's form.
    static MountTable parse(std::string_view mountinfo);
    static Kind kindOf(std::string_view type);

    // Later mounts over the same place hide earlier ones.
    explicit MountTable(std::vector<Mount> mounts = {});
    const std::vector<Mount>& mounts() const { return m_mounts; }

    // The mount that holds `path` (an absolute path): the one on top at its longest mount point
    // before it. None only in an empty table.
    const Mount* holding(std::string_view path) const;
    // The hash of the mount point that holds `path`: its volume.
    uint64_t volumeOf(std::string_view path) const;
    bool isSystemAt(std::string_view path) const;
    // Where a look at `path` passes the read gate: its volume and the path itself.
    ReadGate::Place placeOf(std::string_view path) const;

    // Whether the folder hashed as `folderHash` is itself a mount point, and of what kind.
    // A search asks this of every folder it enters: most are told no by a bit.
    bool isMountPoint(uint64_t folderHash) const {
        return m_mountBits.test(bitOf(folderHash)) && m_mountHashes.count(folderHash) > 0;
    }
    bool isSystemMountPoint(uint64_t folderHash) const {
        return isMountPoint(folderHash) && m_systemHashes.count(folderHash) > 0;
    }
    // Whether a read on the volume hashed as `volumeHash` (see volumeOf) may never come back.
    bool mayHang(uint64_t volumeHash) const { return m_hangingHashes.count(volumeHash) > 0; }
    // Whether a folder's stamp there tells every change of its names to the nanosecond, and no
    // peer changes them behind the kernel's back: ext2, ext3, ext4, xfs, btrfs, f2fs and tmpfs.
    // Only there are a search's listings kept (KeptFolder).
    bool keepsListings(uint64_t volumeHash) const { return m_keepingHashes.count(volumeHash) > 0; }

private:
    static size_t bitOf(uint64_t hash) { return size_t(hash >> 56); }
    std::vector<Mount> m_mounts;
    std::bitset<256> m_mountBits; // bitOf() of every mount point's hash
    std::unordered_set<uint64_t> m_mountHashes;
    std::unordered_set<uint64_t> m_systemHashes;
    std::unordered_set<uint64_t> m_hangingHashes;
    std::unordered_set<uint64_t> m_keepingHashes;
};
