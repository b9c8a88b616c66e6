#include "platform/FolderCache.h"

#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <QAbstractEventDispatcher>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Every change of a folder's entries sets its modification time to now, so an older stamp
// moves with any change; a recent one may not.
constexpr time_t RecentSeconds = 2;
constexpr qint64 MomentMs = 100;

qint64 nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
};

// The record getdents64 fills in; glibc declares no type for it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

bool isRecent(const timespec& stamp) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec - stamp.tv_sec < RecentSeconds;
}

bool isAncestorOrSelf(const QString& ancestor, const QString& path) {
    if (!path.startsWith(ancestor))
        return false;
    return path.size() == ancestor.size() || ancestor.endsWith(u'/') ||
           path.at(ancestor.size()) == u'/';
}

} // namespace

FolderCache& FolderCache::shared() {
    static FolderCache cache;
    return cache;
}

bool FolderCache::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

QString FolderCache::join(const QString& folder, const QString& name) {
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

bool FolderCache::isLink(const QString& path) {
    struct stat info {};
    return lstat(FileNames::encode(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool FolderCache::lessIgnoringCase(const QString& a, const QString& b) {
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    if (order != 0)
        return order < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

std::shared_ptr<const FolderListing> FolderCache::listing(const QString& path) {
    watchRounds();
    auto found = m_entries.find(path);
    if (found != m_entries.end() && m_roundsTracked && found->second.checkedInRound == m_round)
        return found->second.listing;

    const QByteArray encoded = FileNames::encode(path);
    // The system would read a path holding a NUL as the shorter path before it.
    if (encoded.contains('\0'))
        throw RuntimeError::fromErrno(ENOENT, path);
    if (found != m_entries.end()) {
        struct stat info {};
        if (stat(encoded.constData(), &info) != 0)
            throw RuntimeError::fromErrno(errno, path);
        if (!S_ISDIR(info.st_mode))
            throw RuntimeError::fromErrno(ENOTDIR, path);
        Entry& entry = found->second;
        const Stamp stamp{info.st_dev, info.st_ino, info.st_mtim, info.st_ctim};
        if (entry.stamp == stamp &&
            (!entry.recentlyModified || nowMs() - entry.readAtMs < MomentMs)) {
            entry.checkedInRound = m_round;
            return entry.listing;
        }
    }

    Stamp stamp;
    std::shared_ptr<const FolderListing> fresh = read(path, encoded, stamp);
    ++m_readCount;
    forgetAllBut(path);
    m_entries[path] = Entry{stamp, fresh, isRecent(stamp.modified), nowMs(), m_round};
    return fresh;
}

// Every pass of the event loop, the program's own or a yield inside a search, starts a new
// round: until the next one nothing but the program itself runs on its thread, so a folder
// checked in this round need not be checked again.
void FolderCache::watchRounds() {
    if (m_roundsTracked)
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this] { ++m_round; });
    m_roundsTracked = true;
}

void FolderCache::forgetAllBut(const QString& path) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (isAncestorOrSelf(it->first, path))
            ++it;
        else
            it = m_entries.erase(it);
    }
}

// Read with getdents64 straight from the folder's descriptor: the entry types come with the
// names, and nothing else is asked of the system for an ordinary entry.
std::shared_ptr<FolderListing> FolderCache::read(const QString& path, const QByteArray& encoded,
                                                 Stamp& stamp) const {
    const int dirFd = open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        throw RuntimeError::fromErrno(errno, path);
    const FdCloser closer{dirFd};
    struct stat folderInfo {};
    if (fstat(dirFd, &folderInfo) != 0)
        throw RuntimeError::fromErrno(errno, path);
    stamp = Stamp{folderInfo.st_dev, folderInfo.st_ino, folderInfo.st_mtim, folderInfo.st_ctim};

    auto result = std::make_shared<FolderListing>();
    alignas(8) char buffer[32768];
    for (;;) {
        const long length = syscall(SYS_getdents64, dirFd, buffer, sizeof buffer);
        if (length < 0)
            throw RuntimeError::fromErrno(errno, path);
        if (length == 0)
            break;
        for (long offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (isHiddenName(entry->d_name))
                continue;
            unsigned char type = entry->d_type;
            struct stat info {};
            if (type == DT_UNKNOWN) {
                if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // gone since it was read
                type = S_ISDIR(info.st_mode)   ? DT_DIR
                       : S_ISREG(info.st_mode) ? DT_REG
                       : S_ISLNK(info.st_mode) ? DT_LNK
                                               : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                result->subfolders.push_back({FileNames::decode(entry->d_name), false});
            } else if (type == DT_REG) {
                result->files.push_back(FileNames::decode(entry->d_name));
            } else if (type == DT_LNK) {
                if (fstatat(dirFd, entry->d_name, &info, 0) != 0)
                    continue; // a dangling link names nothing that is there
                if (S_ISDIR(info.st_mode))
                    result->subfolders.push_back({FileNames::decode(entry->d_name), true});
                else if (S_ISREG(info.st_mode))
                    result->files.push_back(FileNames::decode(entry->d_name));
            }
        }
    }
    std::sort(result->subfolders.begin(), result->subfolders.end(),
              [](const FolderListing::Subfolder& a, const FolderListing::Subfolder& b) {
                  return lessIgnoringCase(a.name, b.name);
              });
    return result;
}
