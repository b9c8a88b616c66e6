#include "core/folders/FolderStamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>

namespace {

constexpr unsigned Wanted = STATX_TYPE | STATX_INO | STATX_CTIME | STATX_MTIME | STATX_MNT_ID;

int64_t nanoseconds(const statx_timestamp& time) {
    return int64_t(time.tv_sec) * 1000000000 + int64_t(time.tv_nsec);
}

std::optional<FolderStamp> stampOf(int folder, const char* path, int flags) {
    struct statx info {};
    if (statx(folder, path, flags | AT_STATX_SYNC_AS_STAT, Wanted, &info) != 0)
        return std::nullopt;
    // Without every part, or for anything but a folder, there is nothing to compare.
    const unsigned needed = STATX_TYPE | STATX_INO | STATX_CTIME | STATX_MTIME;
    if ((info.stx_mask & needed) != needed || !S_ISDIR(info.stx_mode))
        return std::nullopt;
    FolderStamp stamp;
    stamp.device = (uint64_t(info.stx_dev_major) << 32) | info.stx_dev_minor;
    stamp.inode = info.stx_ino;
    stamp.mount = (info.stx_mask & STATX_MNT_ID) ? info.stx_mnt_id : 0;
    stamp.changed = nanoseconds(info.stx_ctime);
    stamp.modified = nanoseconds(info.stx_mtime);
    return stamp;
}

} // namespace

std::optional<FolderStamp> FolderStamp::ofOpen(int fd) {
    return stampOf(fd, "", AT_EMPTY_PATH);
}

std::optional<FolderStamp> FolderStamp::at(const char* path, int from) {
    return stampOf(from, path, AT_SYMLINK_NOFOLLOW);
}

int64_t systemClock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}
