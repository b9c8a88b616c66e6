#pragma once

// Opens and closes many folders with one system call, where the kernel offers io_uring: the
// call into the kernel is much of what an open or a close of a folder in the cache costs (on a
// virtual machine about a microsecond each; an open and a close took 3.3 µs as two calls and
// 0.8 µs in a batch through a ring). An open that the ring's workers finish is told to the
// thread as a signal would be, and may cut its next read of a folder short (FolderReader reads
// to the end). Where io_uring cannot be had (an old kernel, a sandbox that forbids it,
// or TROVAN_NO_IO_URING set), or for a single folder, each is a call of its own, with the same
// flags and the same answers.
//
// Each thread has its own ring, made at its first batch and gone with the thread: no ring is
// shared. The ring waits until every open given it has answered, so it serves only volumes
// where an open comes back (never a share). It keeps no descriptor: the caller owns each one
// it gets.

#include <span>

namespace FolderOpener {

struct Open {
    int from = -1; // the folder a relative path starts from, or AT_FDCWD
    const char* path = nullptr;
    int flags = 0;
};

// `descriptors[k]` is what opening `opens[k]` gave: a descriptor, or -errno.
void openAll(std::span<const Open> opens, std::span<int> descriptors);
// Closes every descriptor in `descriptors`.
void closeAll(std::span<const int> descriptors);
// Whether this thread opens and closes through a ring.
bool usesRing();

} // namespace FolderOpener
