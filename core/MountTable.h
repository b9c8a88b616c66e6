#pragma once

// The mount points of this process's mount table, read once, as the search needs them: which
// volume a folder lies on (for the read gate) and which mount points hold kernel and virtual
// file systems (proc, sysfs and their kind), which hold no files a person looks for and which
// a search does not descend into unless it started on one, and which volumes are not local
// disks: shares and user-space file systems, whose reads may never come back.

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class MountTable {
public:
    struct Mount {
        std::string path; // the system's bytes
        std::string type;
    };

    // The table as /proc/self/mountinfo gives it now; empty when it cannot be read.
    static MountTable read();
    explicit MountTable(std::vector<Mount> mounts = {});

    // The hash of the mount point that holds `path` (an absolute path): its volume.
    uint64_t volumeOf(std::string_view path) const;
    bool isVirtualAt(std::string_view path) const;
    // Whether the folder hashed as `folderHash` is itself a mount point, and of what kind.
    // A search asks this of every folder it enters: most are told no by a bit.
    bool isMountPoint(uint64_t folderHash) const {
        return m_mountBits.test(bitOf(folderHash)) && m_mountHashes.count(folderHash) > 0;
    }
    bool isVirtualMountPoint(uint64_t folderHash) const {
        return isMountPoint(folderHash) && m_virtualHashes.count(folderHash) > 0;
    }

    // Whether a read on the volume hashed as `volumeHash` (see volumeOf) may never come back:
    // anything but a file system on a local disk or in memory.
    bool mayHang(uint64_t volumeHash) const { return m_hangingHashes.count(volumeHash) > 0; }
    // Whether a read of a folder's names on that volume always fills the buffer while names
    // follow (FolderReader::Reads::FillToTheEnd): known of ext2, ext3, ext4 and tmpfs.
    bool readsFillToTheEnd(uint64_t volumeHash) const {
        return m_fillingHashes.count(volumeHash) > 0;
    }

    static bool isVirtualType(std::string_view type);
    static bool isLocalType(std::string_view type);

private:
    const Mount* holding(std::string_view path) const;
    static size_t bitOf(uint64_t hash) { return size_t(hash >> 56); }
    std::vector<Mount> m_mounts;
    std::bitset<256> m_mountBits; // bitOf() of every mount point's hash
    std::unordered_set<uint64_t> m_mountHashes;
    std::unordered_set<uint64_t> m_virtualHashes;
    std::unordered_set<uint64_t> m_hangingHashes;
    std::unordered_set<uint64_t> m_fillingHashes;
};
