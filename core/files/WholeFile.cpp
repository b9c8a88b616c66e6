#include "core/files/WholeFile.h"

#include "core/files/LinkWalk.h"
#include "core/text/FileNames.h"

#include <QByteArray>
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
#include <vector>

namespace {

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

// Never destroyed: a thread that is not waited for at the end (the keeper of kept listings) may
// still be writing while the program's statics go.
std::mutex& unfinishedLock = *new std::mutex;
std::list<Unfinished>& unfinished() {
    static auto* saves = new std::list<Unfinished>;
    return *saves;
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

} // namespace

namespace WholeFile {

bool writeAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

std::optional<SystemError> replace(const QString& file, const Writer& write,
                                   const std::function<bool()>& givenUp, int exactMode) {
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
    const mode_t kept = exactMode >= 0 ? mode_t(exactMode)
                        : exists       ? existing.st_mode & 07777
                                       : 0666 & ~currentUmask();
    if (!write(temporary.fd()) || fchmod(temporary.fd(), kept) != 0 || fsync(temporary.fd()) != 0)
        return SystemError::fromErrno(errno, file);
    if (!temporary.renameTo(place->name))
        return errno == ECANCELED ? SystemError{} : SystemError::fromErrno(errno, file);
    return std::nullopt;
}

void abandonAll() {
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

} // namespace WholeFile
