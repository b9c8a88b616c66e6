#pragma once

// How many folder reads a search keeps under way at once. A read from the cache uses a core all
// the time it takes: more such reads than there are cores only take turns on them, so the depth
// is the number of cores. A read that waits on the disk leaves its core while it waits, and a
// disk given many reads at once orders them and serves them together: the depth is then
// MaxDepth (measured: see the README's Speed section). A read waited on the disk when its thread
// slept during it; one taken off its core for another program's thread did not.
//
// It goes by where the time of the last few reads went, not by how many of them waited: a
// search that looks at folders kept before waits on the disk for about one look in fifteen (the
// first look into a folder reads its block, the others find it in the cache), and that one look
// takes longer than the others together. A search that leaves the cache for the disk, or comes
// back, follows within a few reads. A read that never returns (a share that stopped answering)
// adds nothing: it cannot make the depth grow. It knows nothing of threads; the search tells it
// about reads and asks it for the depth.

#include <array>
#include <cstdint>

class ReadDepth {
public:
    static constexpr int MaxDepth = 32;

    // A read that was watched: whether its thread slept during it, and how long it took.
    struct Read {
        bool slept = false;
        int64_t nanoseconds = 0;
    };

    explicit ReadDepth(int cores);

    void add(Read read);
    int depth() const { return m_waitsOnDisk ? MaxDepth : m_cores; }

private:
    int m_cores;
    std::array<Read, 16> m_last{};
    int m_count = 0;
    bool m_waitsOnDisk = false;
};
