#include "core/run/StoredFiles.h"

#include "core/text/FileNames.h"
#include "core/text/LineBreaks.h"

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A first line longer than this is no folder path anyone saved.
constexpr qsizetype LongestLine = 1 << 16;
// As many links as the kernel follows for one path.
constexpr int MostLinks = 40;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
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

// A folder held open, with its path as walked, which names a refused link.
struct Folder {
    Descriptor fd;
    QByteArray shown;
};

// Where the bytes go: a folder held open and a name in it that was no link when looked at.
struct Place {
    Descriptor folder;
    QByteArray name;
};

// Follows the links from a stored file's name to the place they lead to, one name at a time
// through descriptors, so that what is checked is what is followed. The kernel's own guard
// (fs.protected_symlinks) never sees these links, as they are read here, so its rule is
// applied here, in every folder, to every link on the way: a link is followed only when the
// user owns it, or the owner of the folder holding it does.
class LinkWalk {
public:
    explicit LinkWalk(const QString& file) : m_file(file) {}

    std::optional<Place> resolve(const QByteArray& path) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? "." : slash == 0 ? "/" : path.left(slash);
        Folder at{Descriptor(open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
                  slash < 0 ? "." : path.left(slash)};
        if (!at.fd.valid())
            return fail(errno);
        QByteArray name = path.mid(slash + 1);
        for (;;) {
            if (name.isEmpty() || name == "." || name == "..")
                return fail(EISDIR);
            const Descriptor file(
                openat(at.fd.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            struct stat info {};
            if (!file.valid() && errno == ENOENT)
                return Place{std::move(at.fd), name}; // made there
            if (!file.valid() || fstat(file.get(), &info) != 0)
                return fail(errno);
            if (!S_ISLNK(info.st_mode))
                return Place{std::move(at.fd), name};
            const std::optional<QByteArray> target = follow(at, file, info, name);
            if (!target)
                return std::nullopt;
            const qsizetype cut = target->lastIndexOf('/');
            if (cut >= 0 && !enter(at, target->left(cut + 1)))
                return std::nullopt;
            name = target->mid(cut + 1);
        }
    }

    SystemError error() const {
        if (!m_refused.isEmpty())
            return SystemError::foreignLink(FileNames::decode(
                std::string_view(m_refused.constData(), size_t(m_refused.size()))));
        return SystemError::fromErrno(m_errno, m_file);
    }

private:
    std::nullopt_t fail(int error) {
        m_errno = error;
        return std::nullopt;
    }
    bool failed(int error) {
        m_errno = error;
        return false;
    }

    // The target of `link`, named `name` in `at`, once it may be followed.
    std::optional<QByteArray> follow(const Folder& at, const Descriptor& link,
                                     const struct stat& info, const QByteArray& name) {
        if (++m_links > MostLinks)
            return fail(ELOOP);
        struct stat folder {};
        if (fstat(at.fd.get(), &folder) != 0)
            return fail(errno);
        if (info.st_uid != m_self && info.st_uid != folder.st_uid) {
            m_refused = at.shown + '/' + name;
            return std::nullopt;
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = readlinkat(link.get(), "", target.data(), size_t(target.size()));
        if (length < 0)
            return fail(errno);
        if (length == target.size())
            return fail(ENAMETOOLONG);
        target.truncate(length);
        return target;
    }

    // Moves `at` along `path`, a folder's path from it or from the root.
    bool enter(Folder& at, const QByteArray& path) {
        if (path.startsWith('/')) {
            at = Folder{Descriptor(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)), {}};
            if (!at.fd.valid())
                return failed(errno);
        }
        for (const QByteArray& part : path.split('/')) {
            if (part.isEmpty() || part == ".")
                continue;
            Descriptor next(openat(at.fd.get(), part.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            struct stat info {};
            if (!next.valid() || fstat(next.get(), &info) != 0)
                return failed(errno);
            if (part == "..") {
                at.fd = std::move(next);
                at.shown.truncate(std::max<qsizetype>(0, at.shown.lastIndexOf('/')));
            } else if (S_ISLNK(info.st_mode)) {
                const std::optional<QByteArray> target = follow(at, next, info, part);
                if (!target || !enter(at, *target))
                    return false;
            } else if (S_ISDIR(info.st_mode)) {
                at = Folder{std::move(next), at.shown + '/' + part};
            } else {
                return failed(ENOTDIR);
            }
        }
        return true;
    }

    QString m_file; // what a failure other than a refused link names
    const uid_t m_self = geteuid();
    int m_links = 0;
    int m_errno = 0;
    QByteArray m_refused;
};

// A temporary file is named ".trovan-PID-XXXXXX" after the process writing it, the six
// characters as mkstemp makes them. One whose process is gone was left by a save that was
// killed: nobody else will remove it.
constexpr std::string_view TemporaryPrefix = ".trovan-";
constexpr std::string_view TemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr pid_t HighestPid = 4194304; // the kernel's limit

bool isLeftOver(std::string_view name) {
    if (name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix)
        return false;
    name.remove_prefix(TemporaryPrefix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 7 || name[0] == '0' ||
        name.size() - dash - 1 != 6)
        return false;
    pid_t pid = 0;
    for (const char digit : name.substr(0, dash)) {
        if (digit < '0' || digit > '9')
            return false;
        pid = pid * 10 + (digit - '0');
    }
    if (pid > HighestPid ||
        name.substr(dash + 1).find_first_not_of(TemporaryLetters) != std::string_view::npos)
        return false;
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// Only the user's own plain files of that form: a name alone says nothing of whose it is.
void removeLeftOvers(int folder) {
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* listing = fdopendir(fd);
    if (!listing) {
        close(fd);
        return;
    }
    const uid_t self = geteuid();
    while (const dirent* entry = readdir(listing)) {
        struct stat info {};
        if (isLeftOver(entry->d_name) &&
            fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == self)
            unlinkat(dirfd(listing), entry->d_name, 0);
    }
    closedir(listing);
}

// The temporary files being written now, so that the program's end can take them away.
struct Unfinished {
    int folder;
    QByteArray name;
    bool renaming = false;
    bool abandoned = false;
};

std::mutex unfinishedLock;
std::list<Unfinished>& unfinished() {
    static std::list<Unfinished> saves;
    return saves;
}

// A new temporary file in `folder`, removed again unless it was renamed, and taken away by
// abandonSaves while it is being written.
class Temporary {
public:
    explicit Temporary(int folder) : m_folder(folder) {
        const QByteArray prefix =
            TemporaryPrefix.data() + QByteArray::number(getpid()) + QByteArrayLiteral("-");
        for (int attempt = 0; attempt < 100 && !m_out.valid(); ++attempt) {
            unsigned char random[6];
            if (getrandom(random, sizeof random, 0) != sizeof random)
                return;
            m_name = prefix;
            for (const unsigned char byte : random)
                m_name += TemporaryLetters[byte % TemporaryLetters.size()];
            m_out = Descriptor(openat(folder, m_name.constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!m_out.valid() && errno != EEXIST)
                return;
        }
        if (!m_out.valid())
            return;
        const std::lock_guard lock(unfinishedLock);
        m_entry = unfinished().insert(unfinished().end(), Unfinished{folder, m_name});
        m_listed = true;
    }

    ~Temporary() {
        if (!m_listed)
            return;
        std::unique_lock lock(unfinishedLock);
        const bool abandoned = m_entry->abandoned;
        unfinished().erase(m_entry);
        lock.unlock();
        if (!m_renamed && !abandoned)
            unlinkat(m_folder, m_name.constData(), 0);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    int fd() const { return m_out.get(); }

    // False with errno set when it could not be renamed, or the save was abandoned.
    bool renameTo(const QByteArray& name) {
        {
            const std::lock_guard lock(unfinishedLock);
            if (m_entry->abandoned) {
                errno = ECANCELED;
                return false;
            }
            m_entry->renaming = true;
        }
        m_renamed = renameat(m_folder, m_name.constData(), m_folder, name.constData()) == 0;
        const int error = errno;
        const std::lock_guard lock(unfinishedLock);
        m_entry->renaming = false;
        errno = error;
        return m_renamed;
    }

private:
    int m_folder;
    QByteArray m_name;
    Descriptor m_out;
    std::list<Unfinished>::iterator m_entry;
    bool m_listed = false;
    bool m_renamed = false;
};

// Read where the kernel tells it: setting it to read it back would race with a save on
// another thread.
mode_t currentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return mode_t(mask);
    }
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::optional<SystemError> replaceWith(const QString& file, const QByteArray& content,
                                       const std::function<bool()>& givenUp = {}) {
    const QByteArray path = FileNames::encode(file);
    if (path.contains('\0'))
        return SystemError::fromErrno(ENOENT, file);
    LinkWalk walk(file);
    const std::optional<Place> place = walk.resolve(path);
    if (!place)
        return walk.error();
    const int folder = place->folder.get();
    const char* name = place->name.constData();
    struct stat existing {};
    const bool exists = fstatat(folder, name, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return SystemError::fromErrno(errno, file);
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            return SystemError::fromErrno(EISDIR, file);
        if (!S_ISREG(existing.st_mode))
            return SystemError::fromErrno(EINVAL, file);
        // A renamed file would ignore the old one's protection: a file the user may not
        // write stays as it is.
        if (faccessat(folder, name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
            return SystemError::fromErrno(errno, file);
    }
    removeLeftOvers(folder);
    Temporary temporary(folder);
    if (temporary.fd() < 0)
        return SystemError::fromErrno(errno, file);
    // Asked once the file is listed as under way: a program that ends now either sees it
    // there and takes it away, or ended the save first, which is heard here.
    if (givenUp && givenUp())
        return SystemError{};
    const mode_t mode = exists ? existing.st_mode & 07777 : 0666 & ~currentUmask();
    if (!writeAll(temporary.fd(), content) || fchmod(temporary.fd(), mode) != 0 ||
        fsync(temporary.fd()) != 0)
        return SystemError::fromErrno(errno, file);
    if (!temporary.renameTo(place->name))
        return errno == ECANCELED ? SystemError{} : SystemError::fromErrno(errno, file);
    return std::nullopt;
}

} // namespace

namespace StoredFiles {

QString readSavedFolder(const QString& file) {
    const QByteArray name = FileNames::encode(file);
    if (name.contains('\0'))
        return {};
    // Without blocking: a FIFO or a device named setup.ini is no settings file.
    const Descriptor in(open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (in.get() < 0 || fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    QByteArray line(LongestLine, '\0');
    qsizetype filled = 0;
    while (filled < line.size()) {
        const ssize_t got = read(in.get(), line.data() + filled, size_t(line.size() - filled));
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
    // As older writers of such files quote a path.
    if (line.startsWith('"')) {
        line.remove(0, 1);
        const qsizetype quote = line.indexOf('"');
        if (quote >= 0)
            line.truncate(quote);
    }
    if (line.contains('\0'))
        return {}; // names no folder: the system would read it as the shorter path
    return FileNames::decode(std::string_view(line.constData(), size_t(line.size())));
}

std::optional<SystemError> writeSavedFolder(const QString& file, const QString& folder) {
    if (folder.contains(u'\r') || folder.contains(u'\n'))
        return SystemError::fromErrno(EINVAL, folder);
    return replaceWith(file, FileNames::encode(folder) + "\r\n");
}

// A line break inside an entry is written in its visible form: each entry stays one line.
std::optional<SystemError> writeList(const QString& file, const QStringList& entries,
                                     const std::function<bool()>& givenUp) {
    QByteArray content;
    for (const QString& entry : entries)
        content += FileNames::encode(LineBreaks::visible(entry)) + "\r\n";
    return replaceWith(file, content, givenUp);
}

void abandonSaves() {
    std::vector<std::pair<Descriptor, QByteArray>> going;
    {
        const std::lock_guard lock(unfinishedLock);
        for (Unfinished& save : unfinished()) {
            if (save.renaming || save.abandoned)
                continue;
            save.abandoned = true;
            going.emplace_back(Descriptor(fcntl(save.folder, F_DUPFD_CLOEXEC, 0)), save.name);
        }
    }
    if (going.empty())
        return;
    // A removal waits while the save's own write holds its file: a share that stopped taking
    // writes holds it until the program has gone, and lets the write go only then. So a
    // process of its own removes the files, which outlives the program if it must; the
    // program need not wait for it. Only calls safe after a fork run in it.
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0)
            for (const auto& [folder, name] : going)
                unlinkat(folder.get(), name.constData(), 0);
        _exit(0);
    }
    if (child > 0) {
        waitpid(child, nullptr, 0);
        return;
    }
    for (const auto& [folder, name] : going)
        unlinkat(folder.get(), name.constData(), 0);
}

} // namespace StoredFiles
