#pragma once

// File-system steps taken one folder at a time, relative to an open folder, so that they work
// on trees whose paths are longer than the system accepts in one piece (PATH_MAX). The tests
// use them to build, check and remove such trees, and to check that a listed entry is there.

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Piecewise {

// Whether `path` (absolute, any length) names something, walking it a component at a time.
inline bool exists(const QByteArray& path) {
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const QList<QByteArray> parts = path.split('/');
    qsizetype last = parts.size() - 1;
    while (last > 0 && parts.at(last).isEmpty())
        --last;
    bool found = fd >= 0;
    for (qsizetype i = 0; found && i <= last; ++i) {
        const QByteArray& part = parts.at(i);
        if (part.isEmpty())
            continue;
        if (i == last) {
            struct stat info {};
            found = fstatat(fd, part.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
            break;
        }
        const int next = ::openat(fd, part.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        found = fd >= 0;
    }
    if (fd >= 0)
        ::close(fd);
    return found;
}

// Removes everything below the folder open as `fd` (which stays open).
inline void removeBelow(int fd) {
    DIR* dir = fdopendir(::dup(fd));
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            fchmodat(fd, name.constData(), 0700, 0);
            const int child = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0) {
                removeBelow(child);
                ::close(child);
            }
            unlinkat(fd, name.constData(), AT_REMOVEDIR);
        } else {
            unlinkat(fd, name.constData(), 0);
        }
    }
    closedir(dir);
}

// Removes the tree at `path` (a path the system accepts in one piece), however deep it is.
inline void removeTree(const QByteArray& path) {
    chmod(path.constData(), 0700);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    removeBelow(fd);
    ::close(fd);
    rmdir(path.constData());
}

} // namespace Piecewise
