#pragma once

// Follows the links from a file's name to the place they lead to, one name at a time through
// descriptors, so that what is checked is what is followed. The kernel's own guard
// (fs.protected_symlinks) never sees these links, as they are read here, so its rule is
// applied here, in every folder, to every link on the way: a link is followed only when the
// user owns it, or the owner of the folder holding it does. At most as many links as the
// kernel follows for one path.
//
// It writes and removes nothing; it only finds where a file would be written.

#include "core/files/Descriptor.h"
#include "core/text/SystemError.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

// Where the bytes go: a folder held open and a name in it that was no link when looked at.
struct Place {
    Descriptor folder;
    QByteArray name;
};

class LinkWalk {
public:
    // `file` is what a failure other than a refused link names.
    explicit LinkWalk(const QString& file) : m_file(file) {}

    std::optional<Place> resolve(const QByteArray& path);
    // Why resolve() failed: a refused link, named, or the system's reason.
    SystemError error() const;

private:
    // A folder held open, with its path as walked, which names a refused link.
    struct Folder {
        Descriptor fd;
        QByteArray shown;
    };
    std::nullopt_t fail(int error);
    bool failed(int error);
    std::optional<QByteArray> follow(const Folder& at, const Descriptor& link,
                                     const struct stat& info, const QByteArray& name);
    bool enter(Folder& at, const QByteArray& path);

    QString m_file;
    const uid_t m_self = geteuid();
    int m_links = 0;
    int m_errno = 0;
    QByteArray m_refused;
};
