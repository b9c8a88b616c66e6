#pragma once

// Reads folders for a search, outside every lock: a thread takes a few requests at once (a
// batch), passes the read gate once for all of them, opens them together (FolderOpener: one
// system call for the batch where the kernel allows), reads them one after the other, closes
// together those whose subfolders are not entered, and makes the requests for the subfolders,
// so that handing them back takes one lock. How a folder is read is the same for every thread
// of one search and set before its first read: the pattern, whether subfolders are walked, the
// mount table, what was kept.
//
// On a volume where listings are kept (MountTable::keepsListings), a folder kept before is
// looked at, not read: one look at its stamp by its path, and its kept names are used if the
// stamp shows them to be the folder's now (KeptFolder::holdsFor); a link among them whose name
// matches is looked at, as a read looks at it. Any other folder there is read and its names
// kept, with its stamp taken from the open folder before they are read, within a budget of
// bytes for one search.
//
// It owns no thread and no queue (ReadAhead does); a batch belongs to the thread reading it.

#include "core/folders/FolderOpener.h"
#include "core/folders/MountTable.h"
#include "core/kept/KeptSnapshot.h"
#include "core/text/NamePattern.h"
#include "core/walk/FolderRead.h"
#include "core/walk/ReadDepth.h"

#include <atomic>
#include <list>
#include <optional>
#include <vector>

// The requests not yet read, in the order the walk takes folders: a folder before everything
// below it, a folder's subfolders from the last to the first. A request being read keeps its
// place, marked as taken; when the read is done, the requests for its subfolders take it.
struct QueuedRequest {
    ReadRequest request;
    bool taken = false;
};
using RequestQueue = std::list<QueuedRequest>;

// Requests taken together by one thread, with what came of them. Each thread keeps its own, so
// that its room is reused.
struct Batch {
    std::vector<RequestQueue::iterator> places; // in the queue, while they are read
    std::vector<ReadRequest> requests;
    std::vector<ReadGate::Place> gatePlaces;
    std::vector<FolderRead> folders;
    std::vector<RequestQueue> subfolderRequests; // each folder's, in the walk's order
    // Whether its thread waited on the disk, and how long it took, when it was watched.
    std::optional<ReadDepth::Read> watched;
    // While it is read: each folder's path, where it is looked at or opened by it; the folders
    // to open (their places in the batch), how, and what the opens gave; the descriptors to
    // close at the end.
    std::vector<std::string> paths;
    std::vector<size_t> toOpen;
    std::vector<FolderOpener::Open> opens;
    std::vector<int> opened;
    std::vector<int> toClose;

    size_t size() const { return requests.size(); }
    void clear();
};

class BatchReader {
public:
    struct Setup {
        NamePattern pattern;
        bool includeSubfolders = false;
        MountTable mounts;
        bool startsOnSystem = false; // kernel file systems are walked into only from one of them
        // What was kept when the search started; none: nothing is kept or used.
        std::shared_ptr<const KeptSnapshot> kept;
        KeptClock clock = systemClock;
        size_t keepBudget = 0;              // bytes of names of new listings kept at most
        std::shared_ptr<KeptBlocks> blocks; // where they are written
        // The start folder as opened when the search started, and the length of its path: a
        // kept folder below it is looked at by its path from there, which is shorter to follow.
        std::shared_ptr<const Descriptor> start;
        size_t startLength = 0;
    };
    explicit BatchReader(Setup setup);

    const MountTable& mounts() const { return m_setup.mounts; }
    // Ids for `count` requests, one after the other: the first.
    uint64_t newIds(size_t count) const;
    // Reads the batch's folders and makes the requests for their subfolders. A folder the
    // gate did not let through before `stopped` came true is left unread (ECANCELED).
    void read(Batch& batch, const std::atomic<bool>& stopped) const;

private:
    bool lookAtKept(const ReadRequest& request, std::string& path, FolderRead& folder) const;
    bool readKept(const KeptFolder& kept, const std::string& path, FolderRead& folder) const;
    void readOpened(const ReadRequest& request, int fd, FolderRead& folder,
                    std::vector<int>& toClose) const;
    RequestQueue requestsFor(FolderRead& folder, const ReadRequest& from) const;

    const Setup m_setup;
    mutable std::atomic<uint64_t> m_nextId{1};
};
