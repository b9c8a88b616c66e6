#pragma once

// What tells whether a folder's names may have changed since they were read: the folder's
// identity (its device, its inode and the mount it was reached through) and its change and
// modification times to the nanosecond, as statx gives them. Making, removing or renaming a name
// in a folder sets both of its times; changing the folder's own owner or permissions sets the
// change time. A file's contents, or a name in a folder below, leave them as they were.
//
// A time is taken from the file system's clock, which ticks more coarsely than the system's:
// a change in the same tick as a read can leave the stamp as it was. KeptFolder therefore trusts
// only a stamp that was settled well before the read. It keeps nothing.

#include <cstdint>
#include <fcntl.h>
#include <optional>

struct FolderStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t mount = 0;
    int64_t changed = 0;  // nanoseconds since the epoch
    int64_t modified = 0; // likewise

    int64_t latest() const { return changed > modified ? changed : modified; }
    bool operator==(const FolderStamp&) const = default;

    // The folder open as `fd`.
    static std::optional<FolderStamp> ofOpen(int fd);
    // The folder at `path`, without following a link in its last name: one look, no open. A
    // relative path goes from the folder open as `from`.
    static std::optional<FolderStamp> at(const char* path, int from = AT_FDCWD);
};

// The system's clock, in nanoseconds since the epoch: when a folder was read.
using KeptClock = int64_t (*)();
int64_t systemClock();
