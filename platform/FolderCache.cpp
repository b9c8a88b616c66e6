#include "platform/FolderCache.h"

#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
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
    const QByteArray encoded = FileNames::encode(path);
    // The system would read a path holding a NUL as the shorter path before it.
    if (encoded.contains('\0'))
        throw RuntimeError::fromErrno(ENOENT, path);
    struct stat info {};
    if (stat(encoded.constData(), &info) != 0)
        throw RuntimeError::fromErrno(errno, path);
    if (!S_ISDIR(info.st_mode))
        throw RuntimeError::fromErrno(ENOTDIR, path);
    const Stamp stamp{info.st_dev, info.st_ino, info.st_mtim, info.st_ctim};

    forgetAllBut(path);
    auto found = m_entries.find(path);
    if (found != m_entries.end() && found->second.stamp == stamp &&
        (!found->second.recentlyModified || nowMs() - found->second.readAtMs < MomentMs))
        return found->second.listing;

    std::shared_ptr<const FolderListing> fresh = read(path);
    ++m_readCount;
    m_entries[path] = Entry{stamp, fresh, isRecent(stamp.modified), nowMs()};
    return fresh;
}

void FolderCache::forgetAllBut(const QString& path) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (isAncestorOrSelf(it->first, path))
            ++it;
        else
            it = m_entries.erase(it);
    }
}

std::shared_ptr<FolderListing> FolderCache::read(const QString& path) const {
    const QByteArray encoded = FileNames::encode(path);
    std::unique_ptr<DIR, DirCloser> dir(opendir(encoded.constData()));
    if (!dir)
        throw RuntimeError::fromErrno(errno, path);
    const int dirFd = dirfd(dir.get());

    auto result = std::make_shared<FolderListing>();
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw RuntimeError::fromErrno(errno, path);
            break;
        }
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
    std::sort(result->subfolders.begin(), result->subfolders.end(),
              [](const FolderListing::Subfolder& a, const FolderListing::Subfolder& b) {
                  return lessIgnoringCase(a.name, b.name);
              });
    return result;
}
