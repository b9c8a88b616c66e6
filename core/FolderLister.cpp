#include "core/FolderLister.h"

#include "core/FileNames.h"
#include "core/FolderReader.h"
#include "core/Mailbox.h"
#include "core/SystemError.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint32_t SubfolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct Answer {
    SubfolderListing listing;
    int watch = -1;
};

Answer listNow(const QString& folder, int inotify) {
    Answer answer;
    answer.listing.folder = folder;
    const QByteArray path = FileNames::encode(folder);
    // The system would read a path holding a NUL as the shorter path before it.
    const int fd = path.contains('\0') || !path.startsWith('/')
                       ? (errno = ENOENT, -1)
                       : open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        answer.listing.error = SystemError::fromErrno(errno, folder).description;
        return answer;
    }
    FolderListing listing;
    const int error = FolderReader::read(fd, nullptr, listing);
    close(fd);
    if (error != 0) {
        answer.listing.error = SystemError::fromErrno(error, folder).description;
        return answer;
    }
    for (const FolderListing::Name& name : listing.subfolders) {
        answer.listing.names.append(FileNames::decode(listing.name(name)));
        answer.listing.isLink.append(name.isLink);
    }
    if (inotify >= 0)
        answer.watch = inotify_add_watch(inotify, path.constData(), SubfolderEvents);
    return answer;
}

} // namespace

FolderLister::FolderLister(QObject* parent) : QObject(parent), m_mailbox(Mailbox::to(this)) {}

FolderLister::~FolderLister() {
    m_mailbox->close();
    // A listing still running may yet add a watch to it: the descriptor is left to the
    // process's end rather than closed under that thread.
}

void FolderLister::startWatching() {
    if (m_inotify >= 0)
        return;
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0)
        return;
    m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderLister::readChanges);
}

void FolderLister::list(const QString& folder) {
    startWatching();
    const quint64 request = ++m_asked;
    std::thread([mailbox = m_mailbox, folder, request, inotify = m_inotify] {
        Answer answer = listNow(folder, inotify);
        mailbox->deliver<FolderLister>([answer = std::move(answer), request](FolderLister& lister) {
            const bool stale = request != lister.m_asked;
            if (answer.watch >= 0 && answer.watch != lister.m_watch && stale)
                inotify_rm_watch(lister.m_inotify, answer.watch);
            if (stale)
                return;
            lister.m_answered = request;
            if (!answer.listing.error.isEmpty()) {
                emit lister.failed(answer.listing.folder, answer.listing.error);
                return;
            }
            if (lister.m_watch >= 0 && lister.m_watch != answer.watch)
                inotify_rm_watch(lister.m_inotify, lister.m_watch);
            lister.m_watch = answer.watch;
            lister.m_watched = answer.listing.folder;
            emit lister.listed(answer.listing);
        });
    }).detach();
}

void FolderLister::readChanges() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t length = read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            const bool aboutSubfolders =
                event->mask & (IN_ISDIR | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED);
            if (event->wd == m_watch && aboutSubfolders)
                changed = true;
        }
    }
    if (changed)
        emit folderChanged(m_watched);
}
