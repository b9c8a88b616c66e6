#include "core/Search.h"

#include "core/EntryText.h"
#include "core/FileNames.h"
#include "core/FolderReader.h"
#include "core/Mailbox.h"
#include "core/NamePattern.h"
#include "core/SystemError.h"

#include <QDir>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// How far the walk may run ahead of the receiver, and the readers ahead of the walk.
constexpr qsizetype MaxEntriesWaiting = 8192;
constexpr size_t MaxFoldersReadAhead = 256;
constexpr size_t MaxBytesReadAhead = size_t(64) << 20;

struct Descriptor {
    int fd;
    ~Descriptor() { close(fd); }
};

// One folder of the walk: queued, being read, or read. A folder is opened relative to its
// parent's descriptor, so that no path is ever too long to open; the parent's descriptor is
// kept only while a subfolder of it still waits to be opened.
struct Folder {
    enum class State { Queued, Reading, Read } state = State::Queued;
    std::shared_ptr<const Descriptor> parent;
    std::string path; // the system's bytes
    size_t nameStart = 0;
    bool readAhead = false; // read by a reader thread, not yet taken by the walk

    int error = 0; // errno of a folder that could not be opened
    FolderListing listing;
    std::vector<std::shared_ptr<Folder>> subfolders; // those to walk, in listing order
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
    SearchOptions options;
    NamePattern pattern;
    QString startName;
    std::shared_ptr<Mailbox> mailbox;
    std::weak_ptr<Walk> self;

    std::mutex mutex;
    // Two kinds of waiter, woken only when there is something for them: the walk (for the
    // folder it wants, or for room to hand out) and the idle readers (for work, or room ahead).
    std::condition_variable walkWakes;
    std::condition_variable readersWake;
    const Folder* walkWaitsFor = nullptr;
    int idleReaders = 0;
    bool stopped = false; // cancelled, or the walk is over: nothing more is wanted
    bool hasReaders = false;
    // Handed out to the receiver.
    QStringList waiting;
    bool deliveryPosted = false;
    bool done = false;
    QString failure;
    // Read ahead: a stack, so that the folder on top is the one the walk wants next.
    std::vector<std::shared_ptr<Folder>> queue;
    size_t foldersAhead = 0;
    size_t bytesAhead = 0;

    void run(int readers);
    void readAhead();
    void read(Folder& folder) const;
    void take(Folder& folder);
    void finishRead(std::unique_lock<std::mutex>&, Folder& folder, bool byReader);
    void handOut(const Folder& folder);
    void postDelivery(std::unique_lock<std::mutex>&);
};

void Search::Walk::read(Folder& folder) const {
    const char* name = folder.path.c_str() + folder.nameStart;
    const int fd = folder.parent ? openat(folder.parent->fd, name,
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                 : open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folder.parent.reset();
    if (fd < 0) {
        folder.error = errno;
        return;
    }
    const std::shared_ptr<const Descriptor> descriptor(new Descriptor{fd});
    // A read error part way leaves what was read: each name in it is there.
    FolderReader::read(fd, &pattern, folder.listing);
    if (!options.includeSubfolders)
        return;
    const bool isRoot = folder.path == "/";
    for (const FolderListing::Name& name : folder.listing.subfolders) {
        if (name.isLink)
            continue; // listed, never walked: a link cannot lead the walk in a circle
        auto subfolder = std::make_shared<Folder>();
        subfolder->parent = descriptor;
        subfolder->path.reserve(folder.path.size() + 1 + name.length);
        subfolder->path = folder.path;
        if (!isRoot)
            subfolder->path.push_back('/');
        subfolder->nameStart = subfolder->path.size();
        subfolder->path.append(folder.listing.name(name));
        folder.subfolders.push_back(std::move(subfolder));
    }
}

void Search::Walk::finishRead(std::unique_lock<std::mutex>&, Folder& folder, bool byReader) {
    folder.state = Folder::State::Read;
    if (byReader) {
        folder.readAhead = true;
        ++foldersAhead;
        bytesAhead += folder.listing.memoryUse();
    }
    // The walk visits subfolders from the last to the first: the last ends up on top.
    if (hasReaders && !folder.subfolders.empty()) {
        queue.insert(queue.end(), folder.subfolders.begin(), folder.subfolders.end());
        if (idleReaders > 0)
            readersWake.notify_all();
    }
    if (walkWaitsFor == &folder)
        walkWakes.notify_one();
}

// The walk's own read of a folder: taken from a reader if one has it, else read here.
void Search::Walk::take(Folder& folder) {
    std::unique_lock lock(mutex);
    if (folder.state == Folder::State::Queued) {
        folder.state = Folder::State::Reading;
        lock.unlock();
        read(folder);
        lock.lock();
        finishRead(lock, folder, false);
        return;
    }
    walkWaitsFor = &folder;
    walkWakes.wait(lock, [&] { return folder.state == Folder::State::Read || stopped; });
    walkWaitsFor = nullptr;
    if (folder.readAhead) {
        folder.readAhead = false;
        --foldersAhead;
        bytesAhead -= folder.listing.memoryUse();
        if (idleReaders > 0)
            readersWake.notify_one();
    }
}

void Search::Walk::readAhead() {
    std::unique_lock lock(mutex);
    for (;;) {
        ++idleReaders;
        readersWake.wait(lock, [&] {
            return stopped || (!queue.empty() && foldersAhead < MaxFoldersReadAhead &&
                               bytesAhead < MaxBytesReadAhead);
        });
        --idleReaders;
        if (stopped)
            return;
        std::shared_ptr<Folder> folder = std::move(queue.back());
        queue.pop_back();
        if (folder->state != Folder::State::Queued)
            continue; // the walk got there first
        folder->state = Folder::State::Reading;
        lock.unlock();
        read(*folder);
        lock.lock();
        finishRead(lock, *folder, true);
    }
}

void Search::Walk::postDelivery(std::unique_lock<std::mutex>&) {
    if (deliveryPosted)
        return;
    deliveryPosted = true;
    mailbox->deliver<Search>([walk = self.lock()](Search& search) { search.deliver(walk); });
}

void Search::Walk::handOut(const Folder& folder) {
    const FolderListing& listing = folder.listing;
    if (listing.files.empty())
        return;
    const QString path = FileNames::decode(folder.path);
    QStringList entries;
    if (options.listFolders) {
        entries.append(EntryText::folderEntry(options, startName, path));
    } else {
        entries.reserve(qsizetype(listing.files.size()));
        const QString prefix = EntryText::filePrefix(path);
        for (const FolderListing::Name& file : listing.files)
            entries.append(
                EntryText::fileEntry(options, prefix, FileNames::decode(listing.name(file))));
    }
    std::unique_lock lock(mutex);
    waiting.append(std::move(entries));
    postDelivery(lock);
    walkWakes.wait(lock, [&] { return stopped || waiting.size() < MaxEntriesWaiting; });
}

void Search::Walk::run(int readers) {
    auto start = std::make_shared<Folder>();
    start->path = FileNames::encode(options.startFolder).toStdString();
    take(*start);
    if (start->error != 0) {
        const std::unique_lock lock(mutex);
        failure = SystemError::fromErrno(start->error, options.startFolder).description;
    } else {
        if (readers > 0 && options.includeSubfolders) {
            {
                const std::lock_guard lock(mutex);
                hasReaders = true;
                queue.insert(queue.end(), start->subfolders.begin(), start->subfolders.end());
            }
            for (int i = 0; i < readers; ++i)
                std::thread([walk = self.lock()] { walk->readAhead(); }).detach();
        }
        struct Step {
            std::shared_ptr<Folder> folder;
            size_t next; // subfolders still to walk, counted down
        };
        std::vector<Step> path{{start, start->subfolders.size()}};
        while (!path.empty()) {
            {
                const std::lock_guard lock(mutex);
                if (stopped)
                    return;
            }
            Step& step = path.back();
            if (step.next > 0) {
                std::shared_ptr<Folder> subfolder = std::move(step.folder->subfolders[--step.next]);
                take(*subfolder);
                if (subfolder->error == 0)
                    path.push_back({subfolder, subfolder->subfolders.size()});
                continue; // a folder that cannot be opened is left out, as find leaves it
            }
            handOut(*step.folder);
            path.pop_back();
        }
    }
    std::unique_lock lock(mutex);
    if (stopped)
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
    walk->mailbox = m_mailbox;
    walk->self = walk;
    m_walk = walk;
    std::thread([walk, readers = m_readAheadThreads] { walk->run(readers); }).detach();
}

void Search::cancel() {
    m_leftOver.clear();
    if (!m_walk)
        return;
    {
        const std::lock_guard lock(m_walk->mutex);
        m_walk->stopped = true;
        m_walk->queue.clear();
        m_walk->waiting.clear();
    }
    m_walk->walkWakes.notify_all();
    m_walk->readersWake.notify_all();
    m_walk.reset();
}

QStringList Search::takeEntries() {
    if (!m_walk)
        return std::exchange(m_leftOver, {});
    QStringList entries;
    {
        const std::lock_guard lock(m_walk->mutex);
        entries.swap(m_walk->waiting);
    }
    m_walk->walkWakes.notify_one();
    return entries;
}

void Search::deliver(const std::shared_ptr<Walk>& walk) {
    if (walk != m_walk)
        return; // a cancelled walk's late word
    bool hasEntries = false, done = false;
    QString failure;
    {
        const std::lock_guard lock(walk->mutex);
        walk->deliveryPosted = false;
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
