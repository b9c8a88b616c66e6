#include "core/folders/FolderLister.h"

#include "core/folders/FolderReader.h"
#include "core/folders/MountTable.h"
#include "core/folders/PathHash.h"
#include "core/text/FileNames.h"
#include "core/text/SystemError.h"
#include "core/threads/OffThread.h"
#include "core/threads/ReadGate.h"

#include <QHash>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr uint32_t SubfolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct Answer {
    SubfolderListing listing;
    ListingChange change; // against the listing shown, for a refresh
    int watch = -1;
};

} // namespace

// What the listing threads share with the lister: the inotify instance with its counted
// watches. It lives until the last of them is done.
struct FolderLister::Shared {
    std::mutex mutex;
    int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::unordered_map<int, int> holders; // watch -> listings that hold it

    ~Shared() {
        if (inotify >= 0)
            close(inotify);
    }

    // Watches the folder open as `fd`, by its descriptor, so that the path is not looked up
    // again (a share may have stopped answering since).
    int watch(int fd) {
        const std::lock_guard lock(mutex);
        if (inotify < 0)
            return -1;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
        const int watch = inotify_add_watch(inotify, path, SubfolderEvents);
        if (watch >= 0)
            ++holders[watch];
        return watch;
    }
    void release(int watch) {
        const std::lock_guard lock(mutex);
        const auto held = holders.find(watch);
        if (held == holders.end())
            return;
        if (--held->second == 0) {
            inotify_rm_watch(inotify, watch);
            holders.erase(held);
        }
    }
    // The kernel removed the watch (its folder went, or we removed it).
    void forget(int watch) {
        const std::lock_guard lock(mutex);
        holders.erase(watch);
    }
};

namespace {

// Lists `folder` through the read gate; the watch is added while the folder is open.
Answer listNow(const QString& folder, const std::function<bool()>& calledOff,
               FolderLister::Shared& shared) {
    Answer answer;
    answer.listing.folder = folder;
    const QByteArray path = FileNames::encode(folder);
    // The system would read a path holding a NUL as the shorter path before it.
    if (path.contains('\0') || !path.startsWith('/')) {
        answer.listing.error = SystemError::fromErrno(ENOENT, folder).description;
        return answer;
    }
    const std::string_view bytes(path.constData(), size_t(path.size()));
    const ReadPass pass(MountTable::read().placeOf(bytes), calledOff);
    if (!pass.entered())
        return answer; // stale: nobody reads this answer
    const int fd = open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        answer.listing.error = SystemError::fromErrno(errno, folder).description;
        return answer;
    }
    FolderListing listing;
    const int error = FolderReader::read(fd, nullptr, listing);
    if (error == 0)
        answer.watch = shared.watch(fd);
    close(fd);
    if (error != 0) {
        answer.listing.error = SystemError::fromErrno(error, folder).description;
        return answer;
    }
    answer.listing.names.reserve(qsizetype(listing.subfolders.size()));
    answer.listing.isLink.reserve(qsizetype(listing.subfolders.size()));
    for (const FolderListing::Name& name : listing.subfolders) {
        answer.listing.names.append(FileNames::decode(listing.name(name)));
        answer.listing.isLink.append(name.isLink);
    }
    return answer;
}

QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

} // namespace

ListingChange ListingChange::between(const SubfolderListing& before,
                                     const SubfolderListing& after) {
    QHash<QString, bool> old, now;
    old.reserve(before.names.size());
    now.reserve(after.names.size());
    for (qsizetype i = 0; i < before.names.size(); ++i)
        old.insert(before.names[i], before.isLink.value(i));
    for (qsizetype i = 0; i < after.names.size(); ++i)
        now.insert(after.names[i], after.isLink.value(i));
    ListingChange change;
    for (qsizetype i = 0; i < before.names.size(); ++i) {
        const auto kept = now.constFind(before.names[i]);
        if (kept == now.cend() || *kept != before.isLink.value(i))
            change.removed.append(int(i));
    }
    for (qsizetype i = 0; i < after.names.size(); ++i) {
        const auto was = old.constFind(after.names[i]);
        if (was == old.cend() || *was != after.isLink.value(i))
            change.inserted.append(int(i));
    }
    return change;
}

FolderLister::FolderLister(QObject* parent)
    : QObject(parent), m_mailbox(Mailbox::to(this)), m_shared(std::make_shared<Shared>()) {
    if (m_shared->inotify >= 0) {
        m_notifier = new QSocketNotifier(m_shared->inotify, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderLister::readChanges);
    }
}

FolderLister::~FolderLister() {
    m_mailbox->close();
    m_requests.dropAll(); // every request still waiting at the gate is stale now
}

bool FolderLister::isBusy() const {
    return m_busy;
}

void FolderLister::list(const QString& folder) {
    request(folder, Kind::Folder);
}

void FolderLister::listNearestParent(const QString& folder) {
    request(folder, Kind::NearestParent);
}

void FolderLister::refresh() {
    request(m_watched.folder, Kind::Refresh);
}

void FolderLister::request(const QString& folder, Kind kind) {
    const NewestWins::Ticket request = m_requests.next();
    m_busy = true;
    const SubfolderListing shown = kind == Kind::Refresh ? m_watched : SubfolderListing{};
    OffThread::run(
        m_mailbox,
        [shared = m_shared, folder, kind, request, shown] {
            const auto calledOff = [&request] { return request.isStale(); };
            if (kind != Kind::NearestParent) {
                Answer answer = listNow(folder, calledOff, *shared);
                if (kind == Kind::Refresh && answer.listing.error.isEmpty())
                    answer.change = ListingChange::between(shown, answer.listing);
                return answer;
            }
            QString candidate = folder;
            for (;;) {
                candidate = parentOf(candidate);
                Answer answer = listNow(candidate, calledOff, *shared);
                if (answer.listing.error.isEmpty() || candidate == QLatin1String("/") ||
                    calledOff())
                    return answer;
            }
        },
        [this, request, kind](const Answer& answer) {
            this->answer(request, kind, answer.listing, answer.change, answer.watch);
        });
}

void FolderLister::answer(const NewestWins::Ticket& request, Kind kind,
                          const SubfolderListing& listing, const ListingChange& change, int watch) {
    if (request.isStale()) {
        if (watch >= 0)
            m_shared->release(watch);
        return;
    }
    m_busy = false;
    if (!listing.error.isEmpty()) {
        if (kind == Kind::Refresh)
            emit gone(m_watched.folder);
        else
            emit failed(listing.folder, listing.error);
        return;
    }
    if (m_watch >= 0)
        m_shared->release(m_watch);
    m_watch = watch;
    m_watched = listing;
    if (kind == Kind::Refresh)
        emit changed(listing, change);
    else
        emit listed(listing);
    if (std::exchange(m_changedMeanwhile, false))
        refresh();
}

void FolderLister::readChanges() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false, gone = false;
    for (;;) {
        const ssize_t length = read(m_shared->inotify, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                changed = true;
            if (event->mask & IN_IGNORED)
                m_shared->forget(event->wd);
            if (event->wd != m_watch || m_watch < 0)
                continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))
                gone = true;
            else if (event->mask & IN_ISDIR)
                changed = true;
        }
    }
    if (gone) {
        m_watch = -1;
        emit this->gone(m_watched.folder);
        return;
    }
    if (!changed || m_watched.folder.isEmpty())
        return;
    if (isBusy())
        m_changedMeanwhile = true;
    else
        refresh();
}
