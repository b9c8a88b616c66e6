#include "core/Search.h"

#include "core/EntryText.h"
#include "core/FileNames.h"
#include "core/FolderReader.h"
#include "core/Mailbox.h"
#include "core/MountTable.h"
#include "core/NamePattern.h"
#include "core/PathHash.h"
#include "core/ReadGate.h"
#include "core/SystemError.h"

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <iterator>
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

// How far the readers may run ahead of the walk.
constexpr size_t MaxFoldersReadAhead = 256;
constexpr size_t MaxBytesReadAhead = size_t(64) << 20;

struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() { close(fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    const int fd;
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

// What a read hands back, self-contained: from then on it belongs to whoever took it.
struct FolderRead {
    int error = 0; // errno of a folder that could not be opened
    FolderListing listing;
    std::vector<uint32_t> walkable; // the subfolders to walk, as indices into the listing
    uint64_t firstSubfolderId = 0;  // the request of walkable[k] is firstSubfolderId + k
    size_t bytes = 0;               // what it counts against the read-ahead bound
    std::shared_ptr<const Descriptor> descriptor; // until its subfolders' requests hold it
};

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

} // namespace

struct Search::Walk {
    // Set before any thread starts and never changed after.
    SearchOptions options;
    NamePattern pattern;
    QString startName;
    qsizetype entriesWaitingLimit = DefaultEntriesWaiting;
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
    // Requests not yet taken: a stack, so that the one on top is the one the walk wants next.
    std::vector<ReadRequest> queue;
    // Folders read ahead, not yet taken by the walk.
    std::unordered_map<uint64_t, FolderRead> readAhead;
    size_t bytesAhead = 0;
    // Handed out to the receiver, who is told once until it takes them, and again when the walk
    // stands still until it does.
    QStringList waiting;
    bool told = false;
    bool heldBack = false; // the walk waits for the receiver to take
    bool done = false;
    QString failure;

    void run(int readers);
    void readAheadLoop();
    FolderRead read(const ReadRequest& request) const;
    std::vector<ReadRequest> requestsFor(FolderRead& folder, const ReadRequest& from) const;
    void publish(std::vector<ReadRequest>&& requests);
    std::optional<FolderRead> take(uint64_t id);
    FolderRead takeReadAhead(std::unordered_map<uint64_t, FolderRead>::iterator at);
    void handOut(const FolderRead& folder, const std::string& path);
    void postDelivery(std::unique_lock<std::mutex>&);
    bool isStopped() const { return stopped.load(std::memory_order_relaxed); }
};

// Runs on any thread and touches nothing shared: the request and the result are its own.
FolderRead Search::Walk::read(const ReadRequest& request) const {
    FolderRead folder;
    const ReadPass pass(request.place, [this] { return isStopped(); });
    if (!pass.entered()) {
        folder.error = ECANCELED;
        return folder;
    }
    const int fd = request.parent ? openat(request.parent->fd, request.name.c_str(),
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                  : open(request.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        folder.error = errno;
        return folder;
    }
    auto descriptor = std::make_shared<const Descriptor>(fd);
    // A read error part way leaves what was read: each name in it is there.
    FolderReader::read(fd, &pattern, folder.listing);
    if (options.includeSubfolders && !folder.listing.subfolders.empty())
        folder.descriptor = std::move(descriptor);
    return folder;
}

// The requests for the subfolders of `folder` that the walk will enter: not links (listed, never
// walked, so that no link leads the walk in a circle) and no kernel file system mounted below.
std::vector<ReadRequest> Search::Walk::requestsFor(FolderRead& folder,
                                                   const ReadRequest& from) const {
    std::vector<ReadRequest> requests;
    if (folder.error != 0 || !folder.descriptor)
        return requests;
    const FolderListing& listing = folder.listing;
    for (uint32_t i = 0; i < listing.subfolders.size(); ++i) {
        const FolderListing::Name& subfolder = listing.subfolders[i];
        if (subfolder.isLink)
            continue;
        const std::string_view name = listing.name(subfolder);
        const uint64_t hash = PathHash::child(from.place.folder, from.isRoot, name);
        if (!startsOnVirtual && mounts.isVirtualMountPoint(hash))
            continue;
        const uint64_t volume = mounts.isMountPoint(hash) ? hash : from.place.volume;
        folder.walkable.push_back(i);
        requests.push_back({0, folder.descriptor, std::string(name), {volume, hash}, false});
    }
    folder.descriptor.reset();
    folder.firstSubfolderId = nextId.fetch_add(requests.size(), std::memory_order_relaxed);
    for (size_t k = 0; k < requests.size(); ++k)
        requests[k].id = folder.firstSubfolderId + k;
    folder.bytes = listing.memoryUse() + folder.walkable.capacity() * sizeof(uint32_t);
    return requests;
}

// The walk visits subfolders from the last to the first: the last ends up on top.
void Search::Walk::publish(std::vector<ReadRequest>&& requests) {
    if (requests.empty())
        return;
    const std::lock_guard lock(mutex);
    queue.insert(queue.end(), std::make_move_iterator(requests.begin()),
                 std::make_move_iterator(requests.end()));
    if (idleReaders > 0)
        readersWake.notify_all();
}

void Search::Walk::readAheadLoop() {
    pthread_setname_np(pthread_self(), "trovan-read");
    std::unique_lock lock(mutex);
    for (;;) {
        ++idleReaders;
        readersWake.wait(lock, [&] {
            return isStopped() || (!queue.empty() && readAhead.size() < MaxFoldersReadAhead &&
                                   bytesAhead < MaxBytesReadAhead);
        });
        --idleReaders;
        if (isStopped())
            return;
        ReadRequest request = std::move(queue.back());
        queue.pop_back();
        lock.unlock();
        FolderRead folder = read(request);
        std::vector<ReadRequest> requests = requestsFor(folder, request);
        request.parent.reset();
        lock.lock();
        if (isStopped()) {
            lock.unlock();
            return; // what was read goes with this scope, outside the lock
        }
        bytesAhead += folder.bytes;
        readAhead.emplace(request.id, std::move(folder));
        if (!requests.empty()) {
            queue.insert(queue.end(), std::make_move_iterator(requests.begin()),
                         std::make_move_iterator(requests.end()));
            if (idleReaders > 0)
                readersWake.notify_all();
        }
        if (walkWaitsFor == request.id)
            walkWakes.notify_one();
    }
}

FolderRead Search::Walk::takeReadAhead(std::unordered_map<uint64_t, FolderRead>::iterator at) {
    FolderRead folder = std::move(at->second);
    readAhead.erase(at);
    bytesAhead -= folder.bytes;
    if (idleReaders > 0)
        readersWake.notify_one();
    return folder;
}

// The walk's folder `id`: taken from the readers if one has it, else read here. Empty once the
// search is stopped.
std::optional<FolderRead> Search::Walk::take(uint64_t id) {
    std::unique_lock lock(mutex);
    if (const auto at = readAhead.find(id); at != readAhead.end())
        return takeReadAhead(at);
    for (auto request = queue.rbegin(); request != queue.rend(); ++request) {
        if (request->id != id)
            continue;
        ReadRequest own = std::move(*request);
        queue.erase(std::next(request).base());
        lock.unlock();
        FolderRead folder = read(own);
        publish(requestsFor(folder, own));
        if (isStopped())
            return std::nullopt;
        return folder;
    }
    walkWaitsFor = id;
    walkWakes.wait(lock, [&] { return isStopped() || readAhead.count(id) > 0; });
    walkWaitsFor = 0;
    if (isStopped())
        return std::nullopt;
    return takeReadAhead(readAhead.find(id));
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

void Search::Walk::run(int readers) {
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
    FolderRead first;
    if (path.find('\0') != std::string::npos)
        first.error = ENOENT; // the system would read it as the shorter path before the NUL
    else
        first = read(start);
    if (isStopped())
        return;
    if (first.error != 0) {
        std::unique_lock lock(mutex);
        failure = SystemError::fromErrno(first.error, options.startFolder).description;
        postDelivery(lock);
        return;
    }
    std::vector<ReadRequest> requests = requestsFor(first, start);
    const bool readAhead = readers > 0 && !requests.empty();
    publish(std::move(requests));
    if (readAhead)
        for (int i = 0; i < readers; ++i)
            std::thread([walk = self.lock()] { walk->readAheadLoop(); }).detach();

    // The walk's own state: the folders it stands in, each with the length of its path.
    struct Step {
        FolderRead folder;
        size_t pathLength;
        size_t next; // subfolders still to walk, counted down
    };
    std::vector<Step> steps;
    steps.push_back({std::move(first), path.size(), 0});
    steps.back().next = steps.back().folder.walkable.size();
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
        const std::string_view name = listing.name(listing.subfolders[step.folder.walkable[k]]);
        std::optional<FolderRead> subfolder = take(step.folder.firstSubfolderId + k);
        if (!subfolder)
            return;
        if (subfolder->error != 0)
            continue; // a folder that cannot be opened is left out, as find leaves it
        if (path != "/")
            path.push_back('/');
        path.append(name);
        const size_t subfolders = subfolder->walkable.size();
        steps.push_back({std::move(*subfolder), path.size(), subfolders});
    }
    std::unique_lock lock(mutex);
    if (isStopped())
        return;
    stopped = true;
    done = true;
    queue.clear();
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
    std::thread([walk, readers = m_readAheadThreads] { walk->run(readers); }).detach();
}

void Search::cancel() {
    m_leftOver.clear();
    if (!m_walk)
        return;
    std::vector<ReadRequest> queue;
    std::unordered_map<uint64_t, FolderRead> readAhead;
    {
        const std::lock_guard lock(m_walk->mutex);
        m_walk->stopped = true;
        queue.swap(m_walk->queue);
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
