#pragma once

// Every look at the file system that may block passes this gate: a folder read of a search, a
// listing for the folder list, the drive box's look at a mount point, the saved folder read at
// start and written at the end, a check before a file is opened, a save of the list, the kept
// listings' file, the command line's check of its folder. It
// bounds the threads that a share which stopped answering can hold in the kernel, where no
// cancel reaches them:
//
// - At most `readsPerVolume` reads are under way on one volume at a time. A further one waits
//   here, where it can still be called off, rather than in the kernel, where it cannot.
// - A folder being read is not read by a second thread until the first read returns: ten
//   searches cancelled on one hung folder leave one thread there, not ten.
//
// A thread may pass with several folders of one volume that it reads one after the other: it
// counts as one read on the volume, and holds each of its folders until it leaves.
//
// A thread waiting here gives up as soon as its caller no longer wants the answer (a cancelled
// search, a stale listing): whoever calls a read off calls wake(). Reads on other volumes never
// wait for a stuck one, so a search elsewhere runs at full speed.
//
// Volumes and folders are named by the hashes of their paths (PathHash). It reads nothing
// itself and knows nothing of searches.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

class ReadGate {
public:
    struct Place {
        uint64_t volume = 0;
        uint64_t folder = 0;
    };
    // As deep as a search reads from a disk (ReadDepth::MaxDepth): a lower limit would hold its
    // readers here rather than give their reads to the disk.
    static constexpr int DefaultReadsPerVolume = 32;

    static ReadGate& shared();

    // Waits until `place` may be read; false when `calledOff()` came true first. `calledOff`
    // runs under the gate's lock: it must only read an atomic or two.
    bool enter(const Place& place, const std::function<bool()>& calledOff);
    void leave(const Place& place);
    // The same for folders of one volume, read one after the other by one thread.
    bool enter(std::span<const Place> places, const std::function<bool()>& calledOff);
    void leave(std::span<const Place> places);
    // Lets the waiters look at their `calledOff` again.
    void wake();

    void setReadsPerVolume(int limit);
    // Passes granted and not yet left, on every volume.
    int readsUnderWay() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // The reads under way, a few dozen at most: looked through rather than hashed, so that a read
    // costs no allocation here.
    std::vector<std::pair<uint64_t, int>> m_readsOnVolume; // volume, reads
    std::vector<uint64_t> m_foldersRead;                   // one entry for each read
    int m_readsPerVolume = DefaultReadsPerVolume;
    int m_underWay = 0;
};

// A pass through the gate for the length of a scope; `entered()` says whether it was granted.
class ReadPass {
public:
    ReadPass(const ReadGate::Place& place, const std::function<bool()>& calledOff)
        : m_place(place), m_places(&m_place, 1),
          m_entered(ReadGate::shared().enter(m_places, calledOff)) {}
    // Folders of one volume, read one after the other; `places` outlives the pass.
    ReadPass(std::span<const ReadGate::Place> places, const std::function<bool()>& calledOff)
        : m_places(places), m_entered(ReadGate::shared().enter(places, calledOff)) {}
    ~ReadPass() {
        if (m_entered)
            ReadGate::shared().leave(m_places);
    }
    ReadPass(const ReadPass&) = delete;
    ReadPass& operator=(const ReadPass&) = delete;
    bool entered() const { return m_entered; }

private:
    ReadGate::Place m_place; // a single place is kept here
    std::span<const ReadGate::Place> m_places;
    bool m_entered;
};
