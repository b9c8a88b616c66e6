#include "core/walk/BatchReader.h"

#include "core/folders/FolderOpener.h"
#include "core/folders/PathHash.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// One read in this many on a thread tells the read depth whether it waited.
constexpr unsigned WatchEveryNthRead = 16;
// A folder is looked at by its path only while the path is well within what the system takes
// (PATH_MAX); one deeper is read relative to its parent, as every folder is without kept
// listings.
constexpr size_t KeptPathLimit = PATH_MAX / 2;

// Whether a read's thread slept during it (a voluntary context switch: it waited, on the disk
// or on a share) and how long it took, for one read in every WatchEveryNthRead on each thread,
// the first included: the thread's counters cost a system call, and a few reads tell the cache
// from the disk.
class ReadWatch {
public:
    ReadWatch() {
        thread_local unsigned reads = 0;
        m_watched = reads++ % WatchEveryNthRead == 0 && getrusage(RUSAGE_THREAD, &m_start) == 0;
        if (m_watched)
            m_began = std::chrono::steady_clock::now();
    }
    // Empty for a read not watched.
    std::optional<ReadDepth::Read> read() const {
        rusage now{};
        if (!m_watched || getrusage(RUSAGE_THREAD, &now) != 0)
            return std::nullopt;
        const auto took = std::chrono::steady_clock::now() - m_began;
        return ReadDepth::Read{now.ru_nvcsw > m_start.ru_nvcsw,
                               std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()};
    }

private:
    rusage m_start{};
    std::chrono::steady_clock::time_point m_began;
    bool m_watched;
};

} // namespace

void Batch::clear() {
    places.clear();
    requests.clear();
    gatePlaces.clear();
    folders.clear();
    subfolderRequests.clear();
    watched.reset();
}

BatchReader::BatchReader(Setup setup) : m_setup(std::move(setup)) {}

uint64_t BatchReader::newIds(size_t count) const {
    return m_nextId.fetch_add(count, std::memory_order_relaxed);
}

void BatchReader::read(Batch& batch, const std::atomic<bool>& stopped) const {
    const size_t count = batch.size();
    batch.folders.resize(count);
    batch.subfolderRequests.resize(count);
    const ReadPass pass(batch.gatePlaces,
                        [&stopped] { return stopped.load(std::memory_order_relaxed); });
    if (!pass.entered()) {
        for (FolderRead& folder : batch.folders)
            folder.error = ECANCELED;
        return;
    }
    const ReadWatch watch;
    // What was kept and still holds is used; the other folders are opened all at once, read,
    // and those the walk does not enter closed all at once.
    batch.paths.resize(count);
    batch.toOpen.clear();
    batch.opens.clear();
    for (size_t i = 0; i < count; ++i) {
        const ReadRequest& request = batch.requests[i];
        std::string& path = batch.paths[i];
        if (lookAtKept(request, path, batch.folders[i]))
            continue;
        batch.toOpen.push_back(i);
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                          (request.parent || request.parentPath ? O_NOFOLLOW : 0);
        batch.opens.push_back(
            request.parent ? FolderOpener::Open{request.parent->get(), request.name.c_str(), flags}
                           : FolderOpener::Open{AT_FDCWD, path.c_str(), flags});
    }
    batch.opened.resize(batch.opens.size());
    FolderOpener::openAll(batch.opens, batch.opened);
    batch.toClose.clear();
    for (size_t k = 0; k < batch.toOpen.size(); ++k) {
        const size_t i = batch.toOpen[k];
        readOpened(batch.requests[i], batch.opened[k], batch.folders[i], batch.toClose);
    }
    for (size_t i = 0; i < count; ++i) {
        batch.subfolderRequests[i] = requestsFor(batch.folders[i], batch.requests[i]);
        batch.requests[i].parent.reset();
    }
    FolderOpener::closeAll(batch.toClose);
    batch.watched = watch.read();
}

// Touches nothing shared, after the read gate let it pass: the request and the result are its
// own. Its path is made into `path` where it is looked at or opened by it. True when the
// folder's kept names were used.
bool BatchReader::lookAtKept(const ReadRequest& request, std::string& path,
                             FolderRead& folder) const {
    folder.pathHash = request.place.folder;
    const bool keeps = m_setup.kept && m_setup.mounts.keepsListings(request.place.volume);
    const KeptFolder* kept = keeps ? m_setup.kept->find(request.place.folder) : nullptr;
    path.clear();
    if (kept || !request.parent)
        appendPath(request, path);
    if (!kept)
        return false;
    if (readKept(*kept, path, folder))
        return true;
    folder.keptChanged = true;
    return false;
}

// The kept names, if the folder's stamp shows they are its names now. Its path is looked at:
// a folder moved away, or one whose parent can no longer be entered, is not found there.
bool BatchReader::readKept(const KeptFolder& kept, const std::string& path,
                           FolderRead& folder) const {
    if (path.size() >= KeptPathLimit)
        return false;
    // Below the start folder, its path from there; the start folder by its whole path.
    const size_t below = m_setup.startLength + (m_setup.startLength > 1 ? 1 : 0);
    const std::optional<FolderStamp> now =
        m_setup.start && path.size() > below
            ? FolderStamp::at(path.c_str() + below, m_setup.start->get())
            : FolderStamp::at(path.c_str());
    if (!now || !kept.holdsFor(*now))
        return false;
    std::string linkPath; // made for the first link whose name matches
    FolderReader::fromKept(
        kept, m_setup.pattern,
        [&](std::string_view name) {
            linkPath.assign(path);
            if (path != "/")
                linkPath.push_back('/');
            linkPath.append(name);
            struct stat info {};
            return stat(linkPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        },
        folder.listing);
    folder.fromKept = true;
    // Subfolders whose paths would be too long to look at are opened relative to it.
    if (m_setup.includeSubfolders && !folder.listing.subfolders.empty() &&
        path.size() + 1 + NAME_MAX >= KeptPathLimit) {
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            folder.descriptor = std::make_shared<const Descriptor>(fd);
    }
    return true;
}

// Reads the folder opened as `fd` (or the -errno of its open); where listings are kept, its
// names are kept too, unless the read failed. Its descriptor goes with the folder where the walk
// enters its subfolders, else to `toClose`. Touches nothing shared but the budget.
void BatchReader::readOpened(const ReadRequest& request, int fd, FolderRead& folder,
                             std::vector<int>& toClose) const {
    if (fd < 0) {
        folder.error = -fd;
        return;
    }
    // Past the budget, no more is kept.
    const bool keeping = m_setup.kept && m_setup.mounts.keepsListings(request.place.volume) &&
                         m_setup.blocks->taken() < m_setup.keepBudget;
    std::optional<FolderReader::Keeping> keep;
    if (keeping) {
        const int64_t readAt = m_setup.clock();
        if (const std::optional<FolderStamp> stamp = FolderStamp::ofOpen(fd))
            keep.emplace(FolderReader::Keeping{*m_setup.blocks, *stamp, readAt, {}});
    }
    // A read error part way leaves what was read: each name in it is there.
    const int error =
        FolderReader::read(fd, &m_setup.pattern, folder.listing, keep ? &*keep : nullptr);
    if (keep && error == 0)
        folder.toKeep = keep->record;
    // Its subfolders are opened relative to it: it stays open while their requests wait.
    if (m_setup.includeSubfolders && !folder.listing.subfolders.empty())
        folder.descriptor = std::make_shared<const Descriptor>(fd);
    else
        toClose.push_back(fd);
}

// The requests for the subfolders of `folder` that the walk will enter, in the walk's order (the
// last subfolder first): no link (a search's listing holds none, so that no link leads the walk
// in a circle) and no kernel file system mounted below. Any other subfolder leaves the listing.
RequestQueue BatchReader::requestsFor(FolderRead& folder, const ReadRequest& from) const {
    RequestQueue requests;
    FolderListing& listing = folder.listing;
    if (folder.error != 0 || !m_setup.includeSubfolders) {
        listing.subfolders.clear();
        return requests;
    }
    // The subfolders are looked at or opened by their paths where something is kept, or where
    // this folder came from what was kept and holds no descriptor for them.
    const bool byPath = !folder.descriptor || (m_setup.kept && !m_setup.kept->folders.empty());
    std::shared_ptr<const std::string> path;
    if (byPath && !listing.subfolders.empty()) {
        std::string full;
        appendPath(from, full);
        path = std::make_shared<const std::string>(std::move(full));
    }
    size_t entered = 0;
    for (const FolderListing::Name& subfolder : listing.subfolders) {
        const std::string_view name = listing.name(subfolder);
        const uint64_t hash = PathHash::child(from.place.folder, from.isRoot, name);
        if (subfolder.isLink ||
            (!m_setup.startsOnSystem && m_setup.mounts.isSystemMountPoint(hash)))
            continue;
        const uint64_t volume = m_setup.mounts.isMountPoint(hash) ? hash : from.place.volume;
        listing.subfolders[entered++] = subfolder;
        requests.push_front(
            {{0, folder.descriptor, path, std::string(name), {volume, hash}, false}, false});
    }
    listing.subfolders.resize(entered);
    folder.descriptor.reset();
    folder.firstSubfolderId = newIds(entered);
    uint64_t id = folder.firstSubfolderId + entered;
    for (QueuedRequest& queued : requests)
        queued.request.id = --id;
    folder.bytes = listing.memoryUse();
    return requests;
}
