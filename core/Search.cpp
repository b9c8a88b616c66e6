#include "core/Search.h"

#include "core/BriefLock.h"
#include "core/EntryText.h"
#include "core/FileNames.h"
#include "core/FolderReader.h"
#include "core/Mailbox.h"
#include "core/MountTable.h"
#include "core/NamePattern.h"
#include "core/PathHash.h"
#include "core/ReadDepth.h"
#include "core/ReadGate.h"
#include "core/SystemError.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// How far the reads may run ahead of the walk, in folders (those under way included) and in
// bytes of listings.
constexpr size_t MaxFoldersReadAhead = 4096;
// At most so many requests are taken and read together by one thread (see takeRequests).
constexpr size_t MostReadsAtOnce = 8;
constexpr size_t MaxBytesReadAhead = size_t(16) << 20;
// The niceness of the readers beyond one a core (see readAheadLoop): measured, 5 left the
// window's largest gap at 40 ms during a cold search of a million files, 10 at 25 ms.
constexpr int ReadersBeyondTheCoresNice = 10;
// One read in this many on a thread tells the read depth whether it waited.
constexpr unsigned WatchEveryNthRead = 16;

struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int release() { return std::exchange(fd, -1); }
    int fd;
};

// A folder to read: everything a reader needs and nothing of the walk's. A folder is opened
// relative to its parent's descriptor, so that no path is ever too long to open; the parent's
// descriptor lives while a request of one of its subfolders still waits.
struct ReadRequest {
    uint64_t id = 0;
    std::shared_ptr<const Descriptor> parent; // none for the start folder: `name` is its path
    std::string name;
    ReadGate::Place place;
    bool isRoot = false; // the folder is "/"
};

// The requests not yet read, in the order the walk takes folders: a folder before everything
// below it, a folder's subfolders from the last to the first. A request being read keeps its
// place, marked as taken; when the read is done, the requests for its subfolders take it.
struct QueuedRequest {
    ReadRequest request;
    bool taken = false;
};
using RequestQueue = std::list<QueuedRequest>;

// What a read hands back, self-contained: from then on it belongs to whoever took it.
struct FolderRead {
    int error = 0;                 // errno of a folder that could not be opened
    FolderListing listing;         // its subfolders are those the walk enters
    uint64_t firstSubfolderId = 0; // the request of listing.subfolders[k] is firstSubfolderId + k
    size_t bytes = 0;              // what it counts against the read-ahead bound
    std::shared_ptr<const Descriptor> descriptor; // until its subfolders' requests hold it
};

// Whether a read's thread slept during it (a voluntary context switch: it waited, on the disk
// or on a share), for one read in every WatchEveryNthRead on each thread, the first included:
// the thread's counters cost a system call, and a few reads tell the cache from the disk.
class ReadWatch {
public:
    ReadWatch() {
        thread_local unsigned reads = 0;
        m_watched = reads++ % WatchEveryNthRead == 0 && getrusage(RUSAGE_THREAD, &m_start) == 0;
    }
    // Empty for a read not watched.
    std::optional<bool> slept() const {
        rusage now{};
        if (!m_watched || getrusage(RUSAGE_THREAD, &now) != 0)
            return std::nullopt;
        return now.ru_nvcsw > m_start.ru_nvcsw;
    }

private:
    rusage m_start{};
    bool m_watched;
};

// Read once: the C library reads a file of the system for it.
int coreCount() {
    static const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    return cores;
}

// Folders deep in a tree each hold a descriptor while their subfolders wait: allow as many as
// the system lets this process have.
void allowManyDescriptors() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

// Requests taken together by one thread and read one after the other, with what came of them:
// one lock to take them, one pass through the read gate, one lock to hand them back. Each
// thread keeps its own, so that its room is reused.
struct Batch {
    std::vector<RequestQueue::iterator> places; // in the queue, while they are read
    std::vector<ReadRequest> requests;
    std::vector<ReadGate::Place> gatePlaces;
    std::vector<FolderRead> folders;
    std::vector<RequestQueue> subfolderRequests; // each folder's
    std::optional<bool> slept;

    size_t size() const { return requests.size(); }
    void clear() {
        places.clear();
        requests.clear();
        gatePlaces.clear();
        folders.clear();
        subfolderRequests.clear();
        slept.reset();
    }
};

using FoldersById = std::unordered_map<uint64_t, FolderRead>;

} // namespace

struct Search::Walk {
    // Set before any thread starts and never changed after.
    SearchOptions options;
    NamePattern pattern;
    QString startName;
    qsizetype entriesWaitingLimit = DefaultEntriesWaiting;
    int fixedReaders = -1; // reader threads when set; else as many as the read depth asks
    std::shared_ptr<Mailbox> mailbox;
    std::weak_ptr<Walk> self;
    // Set by the walk thread before the readers start.
    MountTable mounts;
    bool startsOnVirtual = false;

    // Cancelled, or the walk is over: nothing more is wanted. Atomic, because the read gate's
    // waiters look at it under the gate's lock, not ours.
    std::atomic<bool> stopped{false};
    mutable std::atomic<uint64_t> nextId{1};

    std::mutex mutex;
    // Two kinds of waiter, woken only when there is something for them: the walk (for the
    // folder it wants, or for room to hand out) and the idle readers (for work, or room ahead).
    std::condition_variable walkWakes;
    std::condition_variable readersWake;
    uint64_t walkWaitsFor = 0;
    int idleReaders = 0;
    int readersStarted = 0;
    // How many threads may read at once, the walk included.
    ReadDepth depth{coreCount()};
    // The requests in the walk's order, and how many of them wait to be taken.
    RequestQueue queue;
    size_t requestsWaiting = 0;
    // Folders read by the readers, not yet moved to the walk; the threads reading; the folders
    // taken to be read or read and not yet walked, and the bytes of those read.
    FoldersById readAhead;
    size_t readsUnderWay = 0;
    size_t foldersAhead = 0;
    size_t bytesAhead = 0;
    // Handed out to the receiver, who is told once until it takes them, and again when the walk
    // stands still until it does.
    QStringList waiting;
    bool told = false;
    bool heldBack = false; // the walk waits for the receiver to take
    bool done = false;
    QString failure;

    // The walk thread's own: folders it has taken over from the readers or read itself, and
    // what it walked since it last counted out under the lock.
    FoldersById walkAhead;
    Batch walkBatch;
    FoldersById walkRead;
    size_t foldersWalked = 0;
    size_t bytesWalked = 0;

    void run();
    void readAheadLoop(bool beyondTheCores);
    FolderRead readFolder(const ReadRequest& request) const;
    void readBatch(Batch& batch) const;
    RequestQueue requestsFor(FolderRead& folder, const ReadRequest& from) const;
    int readsAllowed() const;
    bool mayRead() const;
    const ReadRequest* nextRequest() const;
    void takeRequests(Batch& batch);
    bool readRequests(Batch& batch, FoldersById& into, std::unique_lock<std::mutex>& lock);
    void batchDone(Batch& batch, FoldersById& into, bool takesNext);
    void startReaders(bool oneIsTaken);
    void countOutWalked();
    std::optional<FolderRead> take(uint64_t id);
    FolderRead walked(FoldersById::iterator at);
    void handOut(const FolderRead& folder, const std::string& path);
    void postDelivery(std::unique_lock<std::mutex>&);
    bool isStopped() const { return stopped.load(std::memory_order_relaxed); }
};

// Runs on any thread and touches nothing shared, after the read gate let it pass: the request
// and the result are its own.
FolderRead Search::Walk::readFolder(const ReadRequest& request) const {
    FolderRead folder;
    const int fd = request.parent ? openat(request.parent->fd, request.name.c_str(),
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                  : open(request.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        folder.error = errno;
        return folder;
    }
    Descriptor descriptor(fd);
    // A read error part way leaves what was read: each name in it is there.
    FolderReader::read(fd, &pattern, folder.listing,
                       mounts.readsFillToTheEnd(request.place.volume)
                           ? FolderReader::Reads::FillToTheEnd
                           : FolderReader::Reads::MayStopShort);
    // Its subfolders are opened relative to it: it stays open while their requests wait.
    if (options.includeSubfolders && !folder.listing.subfolders.empty())
        folder.descriptor = std::make_shared<const Descriptor>(descriptor.release());
    return folder;
}

// Outside the lock: reads the batch's folders and makes the requests for their subfolders.
void Search::Walk::readBatch(Batch& batch) const {
    batch.folders.resize(batch.size());
    batch.subfolderRequests.resize(batch.size());
    const ReadPass pass(batch.gatePlaces, [this] { return isStopped(); });
    const ReadWatch watch;
    for (size_t i = 0; i < batch.size(); ++i) {
        if (!pass.entered()) {
            batch.folders[i].error = ECANCELED;
            continue;
        }
        batch.folders[i] = readFolder(batch.requests[i]);
        batch.subfolderRequests[i] = requestsFor(batch.folders[i], batch.requests[i]);
        batch.requests[i].parent.reset();
    }
    if (pass.entered())
        batch.slept = watch.slept();
}

// The requests for the subfolders of `folder` that the walk will enter, in the walk's order (the
// last subfolder first), made outside the lock: no link (a search's listing holds none, so that
// no link leads the walk in a circle) and no kernel file system mounted below. Any other
// subfolder leaves the listing.
RequestQueue Search::Walk::requestsFor(FolderRead& folder, const ReadRequest& from) const {
    RequestQueue requests;
    FolderListing& listing = folder.listing;
    if (folder.error != 0 || !folder.descriptor) {
        listing.subfolders.clear();
        return requests;
    }
    size_t entered = 0;
    for (const FolderListing::Name& subfolder : listing.subfolders) {
        const std::string_view name = listing.name(subfolder);
        const uint64_t hash = PathHash::child(from.place.folder, from.isRoot, name);
        if (subfolder.isLink || (!startsOnVirtual && mounts.isVirtualMountPoint(hash)))
            continue;
        const uint64_t volume = mounts.isMountPoint(hash) ? hash : from.place.volume;
        listing.subfolders[entered++] = subfolder;
        requests.push_front(
            {{0, folder.descriptor, std::string(name), {volume, hash}, false}, false});
    }
    listing.subfolders.resize(entered);
    folder.descriptor.reset();
    folder.firstSubfolderId = nextId.fetch_add(entered, std::memory_order_relaxed);
    uint64_t id = folder.firstSubfolderId + entered;
    for (QueuedRequest& queued : requests)
        queued.request.id = --id;
    folder.bytes = listing.memoryUse();
    return requests;
}

// Under the lock: the threads that may read at once, the walk included.
int Search::Walk::readsAllowed() const {
    return fixedReaders >= 0 ? fixedReaders + 1 : depth.depth();
}

// Under the lock: whether a thread may take requests to read now, within the read depth and the
// read-ahead bounds.
bool Search::Walk::mayRead() const {
    return !isStopped() && requestsWaiting > 0 && readsUnderWay < size_t(readsAllowed()) &&
           foldersAhead < MaxFoldersReadAhead && bytesAhead < MaxBytesReadAhead;
}

// Under the lock: the request the walk wants first of those waiting, if any. Those before it
// are being read, a few at most.
const ReadRequest* Search::Walk::nextRequest() const {
    for (const QueuedRequest& queued : queue)
        if (!queued.taken)
            return &queued.request;
    return nullptr;
}

// Under the lock: into `batch`, the requests the walk wants first, all on one volume: while
// reads come from the cache several, so that a lock and a gate pass serve them all, no more
// than leaves work for each thread that may read; while they wait on the disk one, so that
// each read goes to the disk as soon as it can.
void Search::Walk::takeRequests(Batch& batch) {
    batch.clear();
    const size_t threads = size_t(readsAllowed());
    size_t most = threads > size_t(coreCount())
                      ? 1
                      : std::clamp(requestsWaiting / threads, size_t(1), MostReadsAtOnce);
    for (auto place = queue.begin(); place != queue.end() && batch.size() < most; ++place) {
        if (place->taken)
            continue;
        if (batch.size() > 0 && place->request.place.volume != batch.gatePlaces.front().volume)
            break;
        // On a share a read may never come back, and the folders read before it in its batch
        // would never be handed back with it: there each folder goes alone.
        if (batch.size() == 0 && mounts.mayHang(place->request.place.volume))
            most = 1;
        place->taken = true;
        batch.places.push_back(place);
        batch.gatePlaces.push_back(place->request.place);
        batch.requests.push_back(std::move(place->request));
    }
    requestsWaiting -= batch.size();
    foldersAhead += batch.size();
    ++readsUnderWay;
}

// Called and returning with the lock held: takes requests into `batch`, reads them outside the
// lock and makes room for them in `into` there, so that handing them over only moves them.
// False, with the lock released, when the search stopped meanwhile.
bool Search::Walk::readRequests(Batch& batch, FoldersById& into,
                                std::unique_lock<std::mutex>& lock) {
    takeRequests(batch);
    lock.unlock();
    readBatch(batch);
    for (size_t i = 0; i < batch.size(); ++i)
        into.emplace(batch.requests[i].id, FolderRead());
    BriefLock::take(lock);
    if (isStopped()) {
        lock.unlock();
        return false;
    }
    return true;
}

// Under the lock, after a batch was read: whether its thread slept goes into the depth; the
// requests for each folder's subfolders take the folder's place in the queue, the last
// subfolder first; the folders go `into` the room made for them outside the lock. Idle readers
// are woken for the new requests that the thread that read the batch does not take next
// itself, and more readers start when the depth has grown past them.
void Search::Walk::batchDone(Batch& batch, FoldersById& into, bool takesNext) {
    --readsUnderWay;
    if (batch.slept)
        depth.add(*batch.slept);
    size_t added = 0;
    for (size_t i = 0; i < batch.size(); ++i) {
        added += batch.subfolderRequests[i].size();
        queue.splice(batch.places[i], batch.subfolderRequests[i]);
        queue.erase(batch.places[i]);
        bytesAhead += batch.folders[i].bytes;
        const uint64_t id = batch.requests[i].id;
        into[id] = std::move(batch.folders[i]);
        if (walkWaitsFor == id)
            walkWakes.notify_one();
    }
    requestsWaiting += added;
    const size_t forOthers = added - (takesNext && added > 0 ? 1 : 0);
    for (size_t wakes = std::min(forOthers, size_t(idleReaders)); wakes > 0; --wakes)
        readersWake.notify_one();
    startReaders(takesNext);
}

// Under the lock: as many reader threads as the reads allowed beside the walk's own, started as
// the depth grows and while more requests wait than idle readers (and the thread calling, when
// it takes one next) will take. None stops before the walk ends: an idle one waits.
void Search::Walk::startReaders(bool oneIsTaken) {
    const int wanted = fixedReaders >= 0 ? fixedReaders : depth.depth() - 1;
    while (readersStarted < wanted && requestsWaiting > size_t(idleReaders + oneIsTaken) &&
           !isStopped()) {
        const bool beyondTheCores = readersStarted + 1 >= coreCount();
        ++readersStarted;
        ++idleReaders;
        std::thread([walk = self.lock(), beyondTheCores] {
            walk->readAheadLoop(beyondTheCores);
        }).detach();
    }
}

// A reader counts as idle from its start (startReaders) until it takes requests, and again
// from the end of each batch, so that no second thread starts for work a first one will take.
void Search::Walk::readAheadLoop(bool beyondTheCores) {
    pthread_setname_np(pthread_self(), "trovan-read");
    // The readers beyond one a core serve reads that wait on the disk. Dozens of them take turns
    // on the cores between their waits: at a lower priority, the window's thread never waits
    // behind them all for its turn.
    if (beyondTheCores)
        setpriority(PRIO_PROCESS, id_t(gettid()), ReadersBeyondTheCoresNice); // this thread only
    Batch batch;
    FoldersById read;
    std::unique_lock lock(mutex);
    for (;;) {
        readersWake.wait(lock, [&] { return isStopped() || mayRead(); });
        --idleReaders;
        if (isStopped())
            return;
        if (!readRequests(batch, read, lock))
            return; // what was read goes with this scope, outside the lock
        batchDone(batch, read, true);
        readAhead.merge(read);
        ++idleReaders;
    }
}

// The walk thread's: a folder it walks now, counted out under the lock later.
FolderRead Search::Walk::walked(FoldersById::iterator at) {
    FolderRead folder = std::move(at->second);
    walkAhead.erase(at);
    ++foldersWalked;
    bytesWalked += folder.bytes;
    return folder;
}

// Under the lock: the folders walked since the last time leave the read-ahead bounds; a reader
// waiting for room is woken.
void Search::Walk::countOutWalked() {
    foldersAhead -= foldersWalked;
    bytesAhead -= bytesWalked;
    foldersWalked = bytesWalked = 0;
    if (idleReaders > 0 && mayRead())
        readersWake.notify_one();
}

// The walk's folder `id`: one the walk holds already, or one the readers have (the walk takes
// all they have at once), or one it reads here. While a reader reads it, the walk reads the
// next folders wanted, within the read depth, rather than wait. Empty once the search is
// stopped.
std::optional<FolderRead> Search::Walk::take(uint64_t id) {
    if (const auto at = walkAhead.find(id); at != walkAhead.end())
        return walked(at);
    std::unique_lock lock = BriefLock::on(mutex);
    countOutWalked();
    for (;;) {
        if (isStopped())
            return std::nullopt;
        if (!readAhead.empty()) {
            walkAhead.merge(readAhead);
            if (const auto at = walkAhead.find(id); at != walkAhead.end())
                return walked(at);
        }
        // Every folder the walk wants before this one is taken, so this one, while it waits
        // to be read, is the first waiting.
        // The walk reads ahead only on a local disk: stuck in a share's read, it could not hand
        // out the folders before it that the readers bring.
        const ReadRequest* next = nextRequest();
        const bool itsOwn = next && next->id == id;
        const bool readsAhead = next && !mounts.mayHang(next->place.volume) && mayRead();
        if (!itsOwn && !readsAhead) {
            walkWaitsFor = id;
            walkWakes.wait(lock, [&] { return isStopped() || readAhead.count(id) > 0; });
            walkWaitsFor = 0;
            continue;
        }
        if (!readRequests(walkBatch, walkRead, lock))
            return std::nullopt;
        batchDone(walkBatch, walkRead, false);
        walkAhead.merge(walkRead);
        if (const auto at = walkAhead.find(id); at != walkAhead.end())
            return walked(at);
    }
}

void Search::Walk::postDelivery(std::unique_lock<std::mutex>&) {
    mailbox->deliver<Search>([walk = self.lock()](Search& search) { search.deliver(walk); });
}

void Search::Walk::handOut(const FolderRead& folder, const std::string& path) {
    const FolderListing& listing = folder.listing;
    if (listing.files.empty())
        return;
    const QString decodedPath = FileNames::decode(path);
    QStringList entries;
    if (options.listFolders) {
        entries.append(EntryText::folderEntry(options, startName, decodedPath));
    } else {
        entries.reserve(qsizetype(listing.files.size()));
        const QString prefix = EntryText::filePrefix(decodedPath);
        for (const FolderListing::Name& file : listing.files)
            entries.append(
                EntryText::fileEntry(options, prefix, FileNames::decode(listing.name(file))));
    }
    std::unique_lock lock(mutex);
    if (isStopped())
        return;
    waiting.append(std::move(entries));
    if (!told) {
        told = true;
        postDelivery(lock);
    }
    if (waiting.size() < entriesWaitingLimit)
        return;
    heldBack = true;
    postDelivery(lock);
    walkWakes.wait(lock, [&] { return isStopped() || waiting.size() < entriesWaitingLimit; });
    heldBack = false;
}

void Search::Walk::run() {
    // Named, so that a profile or a debugger tells the walk from its readers.
    pthread_setname_np(pthread_self(), "trovan-walk");
    mounts = MountTable::read();
    std::string path = FileNames::encode(options.startFolder).toStdString();
    startsOnVirtual = mounts.isVirtualAt(path);
    const ReadRequest start{nextId.fetch_add(1),
                            nullptr,
                            path,
                            {mounts.volumeOf(path), PathHash::of(path)},
                            path == "/"};
    if (path.find('\0') != std::string::npos) {
        // The system would read it as the shorter path before the NUL.
        std::unique_lock lock(mutex);
        failure = SystemError::fromErrno(ENOENT, options.startFolder).description;
        postDelivery(lock);
        return;
    }
    {
        const std::lock_guard lock(mutex);
        readAhead.reserve(MaxFoldersReadAhead);
        queue.push_back({start, false});
        requestsWaiting = 1;
    }
    walkAhead.reserve(MaxFoldersReadAhead);
    std::optional<FolderRead> first = take(start.id);
    if (!first)
        return;
    if (first->error != 0) {
        std::unique_lock lock(mutex);
        failure = SystemError::fromErrno(first->error, options.startFolder).description;
        postDelivery(lock);
        return;
    }

    // The walk's own state: the folders it stands in, each with the length of its path.
    struct Step {
        FolderRead folder;
        size_t pathLength;
        size_t next; // subfolders still to walk, counted down
    };
    std::vector<Step> steps;
    steps.push_back({std::move(*first), path.size(), 0});
    steps.back().next = steps.back().folder.listing.subfolders.size();
    while (!steps.empty()) {
        if (isStopped())
            return;
        Step& step = steps.back();
        path.resize(step.pathLength);
        if (step.next == 0) {
            handOut(step.folder, path);
            steps.pop_back();
            continue;
        }
        const size_t k = --step.next;
        const FolderListing& listing = step.folder.listing;
        const std::string_view name = listing.name(listing.subfolders[k]);
        std::optional<FolderRead> subfolder = take(step.folder.firstSubfolderId + k);
        if (!subfolder)
            return;
        if (subfolder->error != 0)
            continue; // a folder that cannot be opened is left out, as find leaves it
        if (path != "/")
            path.push_back('/');
        path.append(name);
        const size_t subfolders = subfolder->listing.subfolders.size();
        steps.push_back({std::move(*subfolder), path.size(), subfolders});
    }
    std::unique_lock lock(mutex);
    if (isStopped())
        return;
    stopped = true;
    done = true;
    queue.clear();
    requestsWaiting = 0;
    readersWake.notify_all();
    postDelivery(lock);
}

Search::Search(QObject* parent) : QObject(parent), m_mailbox(Mailbox::to(this)) {}

Search::~Search() {
    m_mailbox->close();
    cancel();
}

void Search::start(const SearchOptions& options) {
    cancel();
    allowManyDescriptors();
    auto walk = std::make_shared<Walk>();
    walk->options = options;
    if (walk->options.startFolder.size() > 1 && walk->options.startFolder.endsWith(u'/'))
        walk->options.startFolder.chop(1);
    walk->pattern = NamePattern(options.pattern);
    walk->startName = EntryText::startFolderName(walk->options.startFolder);
    walk->entriesWaitingLimit = std::max<qsizetype>(1, m_entriesWaitingLimit);
    walk->mailbox = m_mailbox;
    walk->self = walk;
    m_walk = walk;
    walk->fixedReaders = m_readAheadThreads;
    std::thread([walk] { walk->run(); }).detach();
}

void Search::cancel() {
    m_leftOver.clear();
    if (!m_walk)
        return;
    RequestQueue queue;
    std::unordered_map<uint64_t, FolderRead> readAhead;
    {
        const std::lock_guard lock(m_walk->mutex);
        m_lastReadThreads = m_walk->readersStarted + 1;
        m_walk->stopped = true;
        queue.swap(m_walk->queue);
        m_walk->requestsWaiting = 0;
        readAhead.swap(m_walk->readAhead);
        m_walk->bytesAhead = 0;
        m_walk->waiting.clear();
    }
    m_walk->walkWakes.notify_all();
    m_walk->readersWake.notify_all();
    ReadGate::shared().wake();
    m_walk.reset();
}

QStringList Search::takeEntries() {
    if (!m_walk)
        return std::exchange(m_leftOver, {});
    QStringList entries;
    {
        const std::lock_guard lock(m_walk->mutex);
        entries.swap(m_walk->waiting);
        m_walk->told = false;
        m_walk->heldBack = false;
    }
    m_walk->walkWakes.notify_one();
    return entries;
}

bool Search::isHeldBack() const {
    if (!m_walk)
        return false;
    const std::lock_guard lock(m_walk->mutex);
    return m_walk->heldBack;
}

void Search::deliver(const std::shared_ptr<Walk>& walk) {
    if (walk != m_walk)
        return; // a cancelled walk's late word
    bool hasEntries = false, done = false;
    QString failure;
    {
        const std::lock_guard lock(walk->mutex);
        hasEntries = !walk->waiting.isEmpty();
        done = walk->done;
        failure = walk->failure;
    }
    if (!failure.isEmpty()) {
        m_walk.reset();
        emit failed(failure);
        return;
    }
    if (done) {
        {
            const std::lock_guard lock(walk->mutex);
            m_lastReadThreads = walk->readersStarted + 1;
        }
        // What is left stays to be taken after the walk is gone, so that a new search may
        // start from the signal.
        m_leftOver = takeEntries();
        m_walk.reset();
        emit finished();
        return;
    }
    if (hasEntries)
        emit entriesReady();
}
