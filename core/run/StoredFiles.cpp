#include "core/run/StoredFiles.h"

#include "core/text/FileNames.h"
#include "core/text/LineBreaks.h"

#include <QByteArray>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A first line longer than this is no folder path anyone saved.
constexpr qsizetype LongestLine = 1 << 16;

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            close(fd);
    }
};

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Where the bytes go: the file itself, or what a link named like it points to.
QByteArray targetOf(const QByteArray& file) {
    QByteArray target = file;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(target.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return target;
        QByteArray link(PATH_MAX, '\0');
        const ssize_t length = readlink(target.constData(), link.data(), size_t(link.size()));
        if (length < 0)
            return target;
        link.truncate(length);
        if (!link.startsWith('/'))
            link.prepend(target.left(target.lastIndexOf('/') + 1));
        target = link;
    }
    return target;
}

// A temporary file is named ".trovan-PID-XXXXXX" after the process writing it. One whose
// process is gone was left by a save that was killed: nobody else will remove it. The older
// form without a process, ".trovan-XXXXXX", is gone the same way.
constexpr std::string_view TemporaryPrefix = ".trovan-";

bool isLeftOver(std::string_view name) {
    if (name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix)
        return false;
    name.remove_prefix(TemporaryPrefix.size());
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos)
        return name.size() == 6;
    pid_t pid = 0;
    for (const char digit : name.substr(0, dash)) {
        if (digit < '0' || digit > '9' || pid > 4194304)
            return false;
        pid = pid * 10 + (digit - '0');
    }
    return dash > 0 && name.size() - dash - 1 == 6 && kill(pid, 0) != 0 && errno == ESRCH;
}

void removeLeftOvers(const QByteArray& folder) {
    DIR* listing = opendir(folder.isEmpty() ? "." : folder.constData());
    if (!listing)
        return;
    while (const dirent* entry = readdir(listing))
        if (isLeftOver(entry->d_name))
            unlinkat(dirfd(listing), entry->d_name, 0);
    closedir(listing);
}

std::optional<SystemError> replaceWith(const QString& file, const QByteArray& content) {
    const QByteArray name = FileNames::encode(file);
    if (name.contains('\0'))
        return SystemError::fromErrno(ENOENT, file);
    const QByteArray target = targetOf(name);
    struct stat existing {};
    mode_t mode = 0666;
    if (stat(target.constData(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return SystemError::fromErrno(EISDIR, file);
        if (!S_ISREG(existing.st_mode))
            return SystemError::fromErrno(EINVAL, file);
        // A renamed file would ignore the old one's protection: a file the user may not
        // write stays as it is.
        if (access(target.constData(), W_OK) != 0)
            return SystemError::fromErrno(errno, file);
        mode = existing.st_mode & 07777;
    }
    const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
    removeLeftOvers(folder);
    QByteArray temporary =
        folder + TemporaryPrefix.data() + QByteArray::number(getpid()) + "-XXXXXX";
    const Descriptor out{mkstemp(temporary.data())};
    if (out.fd < 0)
        return SystemError::fromErrno(errno, file);
    const mode_t mask = umask(0);
    umask(mask);
    if (!writeAll(out.fd, content) ||
        fchmod(out.fd, existing.st_mode ? mode : (mode & ~mask)) != 0 || fsync(out.fd) != 0 ||
        rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        unlink(temporary.constData());
        return SystemError::fromErrno(error, file);
    }
    return std::nullopt;
}

} // namespace

namespace StoredFiles {

QString readSavedFolder(const QString& file) {
    const QByteArray name = FileNames::encode(file);
    if (name.contains('\0'))
        return {};
    // Without blocking: a FIFO or a device named setup.ini is no settings file.
    const Descriptor in{open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat info {};
    if (in.fd < 0 || fstat(in.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    QByteArray line(LongestLine, '\0');
    qsizetype filled = 0;
    while (filled < line.size()) {
        const ssize_t got = read(in.fd, line.data() + filled, size_t(line.size() - filled));
        if (got <= 0)
            break;
        filled += got;
    }
    line.truncate(filled);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    else if (filled == LongestLine)
        return {};
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.contains('\0'))
        return {}; // names no folder: the system would read it as the shorter path
    return FileNames::decode(std::string_view(line.constData(), size_t(line.size())));
}

std::optional<SystemError> writeSavedFolder(const QString& file, const QString& folder) {
    return replaceWith(file, FileNames::encode(folder) + "\r\n");
}

// A line break inside an entry is written in its visible form: each entry stays one line.
std::optional<SystemError> writeList(const QString& file, const QStringList& entries) {
    QByteArray content;
    for (const QString& entry : entries)
        content += FileNames::encode(LineBreaks::visible(entry)) + "\r\n";
    return replaceWith(file, content);
}

} // namespace StoredFiles
