#include "core/walk/BatchReader.h"

#include "core/folders/PathHash.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>

namespace {

// One read in this many on a thread tells the read depth whether it waited.
constexpr unsigned WatchEveryNthRead = 16;

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

} // namespace

void Batch::clear() {
    places.clear();
    requests.clear();
    gatePlaces.clear();
    folders.clear();
    subfolderRequests.clear();
    slept.reset();
}

BatchReader::BatchReader(NamePattern pattern, bool includeSubfolders, MountTable mounts,
                         bool startsOnSystem)
    : m_pattern(std::move(pattern)), m_includeSubfolders(includeSubfolders),
      m_mounts(std::move(mounts)), m_startsOnSystem(startsOnSystem) {}

uint64_t BatchReader::newIds(size_t count) const {
    return m_nextId.fetch_add(count, std::memory_order_relaxed);
}

void BatchReader::read(Batch& batch, const std::atomic<bool>& stopped) const {
    batch.folders.resize(batch.size());
    batch.subfolderRequests.resize(batch.size());
    const ReadPass pass(batch.gatePlaces,
                        [&stopped] { return stopped.load(std::memory_order_relaxed); });
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

// Touches nothing shared, after the read gate let it pass: the request and the result are its
// own.
FolderRead BatchReader::readFolder(const ReadRequest& request) const {
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
    FolderReader::read(fd, &m_pattern, folder.listing,
                       m_mounts.readsFillToTheEnd(request.place.volume)
                           ? FolderReader::Reads::FillToTheEnd
                           : FolderReader::Reads::MayStopShort);
    // Its subfolders are opened relative to it: it stays open while their requests wait.
    if (m_includeSubfolders && !folder.listing.subfolders.empty())
        folder.descriptor = std::make_shared<const Descriptor>(descriptor.release());
    return folder;
}

// The requests for the subfolders of `folder` that the walk will enter, in the walk's order (the
// last subfolder first): no link (a search's listing holds none, so that no link leads the walk
// in a circle) and no kernel file system mounted below. Any other subfolder leaves the listing.
RequestQueue BatchReader::requestsFor(FolderRead& folder, const ReadRequest& from) const {
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
        if (subfolder.isLink || (!m_startsOnSystem && m_mounts.isSystemMountPoint(hash)))
            continue;
        const uint64_t volume = m_mounts.isMountPoint(hash) ? hash : from.place.volume;
        listing.subfolders[entered++] = subfolder;
        requests.push_front(
            {{0, folder.descriptor, std::string(name), {volume, hash}, false}, false});
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
