#include "core/run/StoredFiles.h"

#include "core/files/Descriptor.h"
#include "core/files/WholeFile.h"
#include "core/text/FileNames.h"
#include "core/text/LineBreaks.h"

#include <QByteArray>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace {

// A first line longer than this is no folder path anyone saved.
constexpr qsizetype LongestLine = 1 << 16;

bool writeAll(int fd, const QByteArray& bytes) {
    return WholeFile::writeAll(fd, bytes.constData(), size_t(bytes.size()));
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
    const QByteArray line = FileNames::encode(folder) + "\r\n";
    return WholeFile::replace(file, [&](int fd) { return writeAll(fd, line); });
}

// A line break inside an entry is written in its visible form: each entry stays one line.
std::optional<SystemError> writeList(const QString& file, const QStringList& entries,
                                     const std::function<bool()>& givenUp) {
    QByteArray content;
    for (const QString& entry : entries)
        content += FileNames::encode(LineBreaks::visible(entry)) + "\r\n";
    return WholeFile::replace(
        file, [&](int fd) { return writeAll(fd, content); }, givenUp);
}

void abandonSaves() {
    WholeFile::abandonAll();
}

} // namespace StoredFiles
