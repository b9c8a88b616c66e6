#include "support/TestTree.h"

#include "core/text/FileNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Made with the names' own bytes: Qt's own calls would change a name that is not UTF-8.
void makePath(const QString& path) {
    const QByteArray bytes = FileNames::encode(path);
    for (qsizetype slash = bytes.indexOf('/', 1); slash > 0; slash = bytes.indexOf('/', slash + 1))
        mkdir(bytes.left(slash).constData(), 0755);
    mkdir(bytes.constData(), 0755);
}
} // namespace

TestTree::TestTree() : m_root(QFileInfo(m_dir.path()).canonicalFilePath()) {}

QString TestTree::path(const QString& relative) const {
    return relative.isEmpty() ? m_root : m_root + u'/' + relative;
}

QString TestTree::file(const QString& relative, const QByteArray& content) const {
    const QString full = path(relative);
    makePath(full.left(full.lastIndexOf(u'/')));
    const QByteArray name = FileNames::encode(full);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (!content.isEmpty() && ::write(fd, content.constData(), size_t(content.size())) < 0)
            qWarning("short write");
        ::close(fd);
    }
    return full;
}

QString TestTree::folder(const QString& relative) const {
    const QString full = path(relative);
    makePath(full);
    return full;
}

QString TestTree::link(const QString& relative, const QString& target) const {
    const QString full = path(relative);
    makePath(full.left(full.lastIndexOf(u'/')));
    if (symlink(FileNames::encode(target).constData(), FileNames::encode(full).constData()) != 0)
        qWarning("symlink failed");
    return full;
}

void TestTree::age() const {
    const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    QStringList paths{m_root};
    QDirIterator it(m_root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    for (const QString& p : paths)
        utimensat(AT_FDCWD, FileNames::encode(p).constData(), hourAgo, AT_SYMLINK_NOFOLLOW);
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString enterOwnMountNamespace() {
    if (unshare(CLONE_NEWNS) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QString::fromLocal8Bit(strerror(errno)); // mounts would leak out
    return {};
}
