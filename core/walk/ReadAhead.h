#pragma once

// The read-ahead: reads the folders of one search ahead of the walk, in the order the walk will
// want them, on reader threads of its own, and hands each folder to the walk when it asks.
//
// Who owns what. The walk knows the read-ahead only through three calls: start() with the start
// folder, take() of the folder it wants next (by the id its parent's read gave it), and stop().
// Behind them the read-ahead owns the queue of requests (in the walk's order: a request being
// read keeps its place, which the requests for its subfolders take), the folders read and not
// yet taken, the reader threads and the read depth, all under one lock. A reader takes a batch
// of requests under the lock and reads it outside (BatchReader), then hands the folders back
// under the lock. The walk thread reads too, inside take(): the folder it wants when no reader
// has taken it, and, while a reader reads that one, the next ones wanted, so that it waits for a
// reader only when there is nothing left to read; it takes all the folders the readers hold at
// once and keeps them, as its own, until it walks them.
//
// Every part is bounded: the folders and bytes read ahead (then the readers wait for the walk),
// the threads reading (the read depth: as many as there are cores while reads come from the
// cache, deeper while they wait on the disk; see ReadDepth) and the reads on one volume (the
// read gate). On a volume whose reads may never come back (a share), each folder is read alone
// and the walk reads none itself.
//
// stop() returns at once from any thread: every waiter wakes, and a thread still blocked in the
// file system returns on its own later; what it read is thrown away. It knows nothing of
// entries, patterns' meaning or the receiver.

#include "core/walk/BatchReader.h"
#include "core/walk/ReadDepth.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

class ReadAhead : public std::enable_shared_from_this<ReadAhead> {
public:
    // How far the reads may run ahead of the walk, in folders (those under way included) and in
    // bytes of listings.
    static constexpr size_t MaxFoldersReadAhead = 4096;
    static constexpr size_t MaxBytesReadAhead = size_t(16) << 20;
    // At most so many requests are taken and read together by one thread.
    static constexpr size_t MostReadsAtOnce = 8;

    struct Setup {
        NamePattern pattern;
        bool includeSubfolders = false;
        int fixedReaders = -1; // reader threads when set; else as many as the read depth asks
        // What was kept, and how new listings are kept (BatchReader::Setup).
        std::shared_ptr<const KeptSnapshot> kept;
        KeptClock clock = systemClock;
        size_t keepBudget = 0;
        std::shared_ptr<KeptBlocks> blocks;
    };
    explicit ReadAhead(Setup setup);

    // The walk thread's: starts with the folder at `path` (absolute), on the volumes of
    // `mounts`; returns its id.
    uint64_t start(const std::string& path, MountTable mounts);
    // The walk thread's: the folder `id`, once read. Empty once the read-ahead is stopped.
    std::optional<FolderRead> take(uint64_t id);
    // Any thread: nothing more is wanted.
    void stop();
    // How many threads read folders so far, the walk's own included.
    int readingThreads();
    // Where the folders read to be kept are written; none where nothing is kept.
    std::shared_ptr<KeptBlocks> keptBlocks() const { return m_setup.blocks; }

private:
    using FoldersById = std::unordered_map<uint64_t, FolderRead>;

    bool isStopped() const { return m_stopped.load(std::memory_order_relaxed); }
    int readsAllowed() const;
    bool mayRead() const;
    const ReadRequest* nextRequest() const;
    bool walkReadsNow(uint64_t id) const;
    void takeRequests(Batch& batch);
    bool readRequests(Batch& batch, FoldersById& into, std::unique_lock<std::mutex>& lock);
    void batchDone(Batch& batch, FoldersById& into, bool takesNext);
    void startReaders(bool oneIsTaken);
    void readerLoop(bool beyondTheCores);
    FolderRead walked(FoldersById::iterator at);
    void countOutWalked();

    const Setup m_setup;
    // Made by start(), before any reader starts; never changed after.
    std::optional<BatchReader> m_reader;
    // Stopped, or the walk is over. Atomic, because the read gate's waiters look at it under
    // the gate's lock, not ours.
    std::atomic<bool> m_stopped{false};

    std::mutex m_mutex;
    // Two kinds of waiter, woken only when there is something for them: the walk (for the
    // folder it wants) and the idle readers (for work, or room ahead).
    std::condition_variable m_walkWakes;
    std::condition_variable m_readersWake;
    uint64_t m_walkWaitsFor = 0;
    int m_idleReaders = 0;
    int m_readersStarted = 0;
    ReadDepth m_depth; // how many threads may read at once, the walk included
    RequestQueue m_queue;
    size_t m_requestsWaiting = 0;
    // Folders read by the readers, not yet moved to the walk; the batches under way; the
    // folders taken to be read or read and not yet walked, and the bytes of those read.
    FoldersById m_readAhead;
    size_t m_readsUnderWay = 0;
    size_t m_foldersAhead = 0;
    size_t m_bytesAhead = 0;

    // The walk thread's own: folders it has taken over or read itself, and what it walked since
    // it last counted out under the lock.
    FoldersById m_walkAhead;
    Batch m_walkBatch;
    FoldersById m_walkRead;
    size_t m_foldersWalked = 0;
    size_t m_bytesWalked = 0;
};
