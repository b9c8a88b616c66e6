#include "core/walk/ReadAhead.h"

#include "core/folders/PathHash.h"
#include "core/threads/BriefLock.h"

#include <algorithm>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

// The niceness of the readers beyond one a core (see readerLoop): measured, 5 left the window's
// largest gap at 40 ms during a cold search of a million files, 10 at 25 ms.
constexpr int ReadersBeyondTheCoresNice = 10;

// Read once: the C library reads a file of the system for it.
int coreCount() {
    static const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    return cores;
}

} // namespace

ReadAhead::ReadAhead(Setup setup) : m_setup(std::move(setup)), m_depth(coreCount()) {}

uint64_t ReadAhead::start(const std::string& path, MountTable mounts) {
    const uint64_t volume = mounts.volumeOf(path);
    const bool startsOnSystem = mounts.isSystemAt(path);
    // Only a path, no read, and only on a local disk, where a look comes back: what is kept
    // below is looked at from here (BatchReader).
    std::shared_ptr<const Descriptor> start;
    if (m_setup.kept && !m_setup.kept->folders.empty() && mounts.keepsListings(volume)) {
        const ReadPass pass({volume, PathHash::of(path)}, [this] { return isStopped(); });
        const int fd = pass.entered() ? open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
        if (fd >= 0)
            start = std::make_shared<const Descriptor>(fd);
    }
    const std::lock_guard lock(m_mutex);
    m_reader.emplace(BatchReader::Setup{
        m_setup.pattern, m_setup.includeSubfolders, std::move(mounts), startsOnSystem, m_setup.kept,
        m_setup.clock, m_setup.keepBudget, m_setup.blocks, std::move(start), path.size()});
    const uint64_t id = m_reader->newIds(1);
    m_readAhead.reserve(MaxFoldersReadAhead);
    m_walkAhead.reserve(MaxFoldersReadAhead);
    m_queue.push_back(
        {{id, nullptr, nullptr, path, {volume, PathHash::of(path)}, path == "/"}, false});
    m_requestsWaiting = 1;
    return id;
}

// What was queued or read ahead goes outside the lock.
void ReadAhead::stop() {
    RequestQueue queue;
    FoldersById readAhead;
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        queue.swap(m_queue);
        m_requestsWaiting = 0;
        readAhead.swap(m_readAhead);
        m_bytesAhead = 0;
    }
    m_walkWakes.notify_all();
    m_readersWake.notify_all();
    ReadGate::shared().wake();
}

int ReadAhead::readingThreads() {
    const std::lock_guard lock(m_mutex);
    return m_readersStarted + 1;
}

// Under the lock: the threads that may read at once, the walk included.
int ReadAhead::readsAllowed() const {
    return m_setup.fixedReaders >= 0 ? m_setup.fixedReaders + 1 : m_depth.depth();
}

// Under the lock: whether a thread may take requests to read now, within the read depth and the
// read-ahead bounds.
bool ReadAhead::mayRead() const {
    return !isStopped() && m_requestsWaiting > 0 && m_readsUnderWay < size_t(readsAllowed()) &&
           m_foldersAhead < MaxFoldersReadAhead && m_bytesAhead < MaxBytesReadAhead;
}

// Under the lock: the request the walk wants first of those waiting, if any. Those before it
// are being read, a few at most.
const ReadRequest* ReadAhead::nextRequest() const {
    for (const QueuedRequest& queued : m_queue)
        if (!queued.taken)
            return &queued.request;
    return nullptr;
}

// Under the lock: into `batch`, the requests the walk wants first, all on one volume: while
// reads come from the cache several, so that a lock and a gate pass serve them all, no more
// than leaves work for each thread that may read; while they wait on the disk one, so that
// each read goes to the disk as soon as it can.
void ReadAhead::takeRequests(Batch& batch) {
    batch.clear();
    const size_t threads = size_t(readsAllowed());
    size_t most = threads > size_t(coreCount())
                      ? 1
                      : std::clamp(m_requestsWaiting / threads, size_t(1), MostReadsAtOnce);
    for (auto place = m_queue.begin(); place != m_queue.end() && batch.size() < most; ++place) {
        if (place->taken)
            continue;
        if (batch.size() > 0 && place->request.place.volume != batch.gatePlaces.front().volume)
            break;
        // On a share a read may never come back, and the folders read before it in its batch
        // would never be handed back with it: there each folder goes alone.
        if (batch.size() == 0 && m_reader->mounts().mayHang(place->request.place.volume))
            most = 1;
        place->taken = true;
        batch.places.push_back(place);
        batch.gatePlaces.push_back(place->request.place);
        batch.requests.push_back(std::move(place->request));
    }
    m_requestsWaiting -= batch.size();
    m_foldersAhead += batch.size();
    ++m_readsUnderWay;
}

// Called and returning with the lock held: takes requests into `batch`, reads them outside the
// lock and makes room for them in `into` there, so that handing them over only moves them.
// False, with the lock released, when the read-ahead stopped meanwhile.
bool ReadAhead::readRequests(Batch& batch, FoldersById& into, std::unique_lock<std::mutex>& lock) {
    takeRequests(batch);
    lock.unlock();
    m_reader->read(batch, m_stopped);
    for (size_t i = 0; i < batch.size(); ++i)
        into.emplace(batch.requests[i].id, FolderRead());
    BriefLock::take(lock);
    if (isStopped()) {
        lock.unlock();
        return false;
    }
    return true;
}

// Under the lock, after a batch was read: whether its thread slept, and how long it took, go into
// the depth; the requests for each folder's subfolders take the folder's place in the queue, the
// last subfolder first; the folders go `into` the room made for them outside the lock. Idle
// readers are woken for the new requests that the thread that read the batch does not take next
// itself, and more readers start when the depth has grown past them.
void ReadAhead::batchDone(Batch& batch, FoldersById& into, bool takesNext) {
    --m_readsUnderWay;
    if (batch.watched)
        m_depth.add(*batch.watched);
    size_t added = 0;
    for (size_t i = 0; i < batch.size(); ++i) {
        added += batch.subfolderRequests[i].size();
        m_queue.splice(batch.places[i], batch.subfolderRequests[i]);
        m_queue.erase(batch.places[i]);
        m_bytesAhead += batch.folders[i].bytes;
        const uint64_t id = batch.requests[i].id;
        into[id] = std::move(batch.folders[i]);
        if (m_walkWaitsFor == id)
            m_walkWakes.notify_one();
    }
    m_requestsWaiting += added;
    const size_t forOthers = added - (takesNext && added > 0 ? 1 : 0);
    for (size_t wakes = std::min(forOthers, size_t(m_idleReaders)); wakes > 0; --wakes)
        m_readersWake.notify_one();
    startReaders(takesNext);
}

// Under the lock: as many reader threads as the reads allowed beside the walk's own, started as
// the depth grows and while more requests wait than idle readers (and the thread calling, when
// it takes one next) will take. None stops before the search ends: an idle one waits.
void ReadAhead::startReaders(bool oneIsTaken) {
    const int wanted = m_setup.fixedReaders >= 0 ? m_setup.fixedReaders : m_depth.depth() - 1;
    while (m_readersStarted < wanted && m_requestsWaiting > size_t(m_idleReaders + oneIsTaken) &&
           !isStopped()) {
        const bool beyondTheCores = m_readersStarted + 1 >= coreCount();
        ++m_readersStarted;
        ++m_idleReaders;
        std::thread([self = shared_from_this(), beyondTheCores] {
            self->readerLoop(beyondTheCores);
        }).detach();
    }
}

// A reader counts as idle from its start (startReaders) until it takes requests, and again
// from the end of each batch, so that no second thread starts for work a first one will take.
void ReadAhead::readerLoop(bool beyondTheCores) {
    pthread_setname_np(pthread_self(), "trovan-read");
    // The readers beyond one a core serve reads that wait on the disk. Dozens of them take turns
    // on the cores between their waits: at a lower priority, the window's thread never waits
    // behind them all for its turn.
    if (beyondTheCores)
        setpriority(PRIO_PROCESS, id_t(gettid()), ReadersBeyondTheCoresNice); // this thread only
    const KeptRecord::Writing::Done doneWriting; // after the lock is let go
    Batch batch;
    FoldersById read;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_readersWake.wait(lock, [&] { return isStopped() || mayRead(); });
        --m_idleReaders;
        if (isStopped())
            return;
        if (!readRequests(batch, read, lock))
            return; // what was read goes with this scope, outside the lock
        batchDone(batch, read, true);
        m_readAhead.merge(read);
        ++m_idleReaders;
    }
}

// The walk thread's: a folder it walks now, counted out under the lock later.
FolderRead ReadAhead::walked(FoldersById::iterator at) {
    FolderRead folder = std::move(at->second);
    m_walkAhead.erase(at);
    ++m_foldersWalked;
    m_bytesWalked += folder.bytes;
    return folder;
}

// Under the lock: the folders walked since the last time leave the read-ahead bounds; a reader
// waiting for room is woken.
void ReadAhead::countOutWalked() {
    m_foldersAhead -= m_foldersWalked;
    m_bytesAhead -= m_bytesWalked;
    m_foldersWalked = m_bytesWalked = 0;
    if (m_idleReaders > 0 && mayRead())
        m_readersWake.notify_one();
}

// Under the lock: whether the walk reads now rather than wait for folder `id`. Every folder it
// wants before this one is taken, so this one, while it waits to be read, is the first waiting;
// while a reader reads it, the walk reads the next ones wanted, within the read depth. It reads
// ahead only on a local disk: stuck in a share's read, it could not hand out the folders before
// it that the readers bring.
bool ReadAhead::walkReadsNow(uint64_t id) const {
    const ReadRequest* next = nextRequest();
    if (!next)
        return false;
    return next->id == id || (!m_reader->mounts().mayHang(next->place.volume) && mayRead());
}

std::optional<FolderRead> ReadAhead::take(uint64_t id) {
    if (isStopped())
        return std::nullopt;
    if (const auto at = m_walkAhead.find(id); at != m_walkAhead.end())
        return walked(at);
    std::unique_lock lock = BriefLock::on(m_mutex);
    countOutWalked();
    for (;;) {
        if (isStopped())
            return std::nullopt;
        if (!m_readAhead.empty()) {
            m_walkAhead.merge(m_readAhead);
            if (const auto at = m_walkAhead.find(id); at != m_walkAhead.end())
                return walked(at);
        }
        if (!walkReadsNow(id)) {
            m_walkWaitsFor = id;
            m_walkWakes.wait(lock, [&] { return isStopped() || m_readAhead.count(id) > 0; });
            m_walkWaitsFor = 0;
            continue;
        }
        if (!readRequests(m_walkBatch, m_walkRead, lock))
            return std::nullopt;
        batchDone(m_walkBatch, m_walkRead, false);
        m_walkAhead.merge(m_walkRead);
        if (const auto at = m_walkAhead.find(id); at != m_walkAhead.end())
            return walked(at);
    }
}
