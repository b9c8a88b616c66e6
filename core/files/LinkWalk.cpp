#include "core/files/LinkWalk.h"

#include "core/text/FileNames.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
// As many links as the kernel follows for one path.
constexpr int MostLinks = 40;
} // namespace

std::optional<Place> LinkWalk::resolve(const QByteArray& path) {
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

SystemError LinkWalk::error() const {
    if (!m_refused.isEmpty())
        return SystemError::foreignLink(
            FileNames::decode(std::string_view(m_refused.constData(), size_t(m_refused.size()))));
    return SystemError::fromErrno(m_errno, m_file);
}

std::nullopt_t LinkWalk::fail(int error) {
    m_errno = error;
    return std::nullopt;
}

bool LinkWalk::failed(int error) {
    m_errno = error;
    return false;
}

// The target of `link`, named `name` in `at`, once it may be followed.
std::optional<QByteArray> LinkWalk::follow(const Folder& at, const Descriptor& link,
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
bool LinkWalk::enter(Folder& at, const QByteArray& path) {
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
