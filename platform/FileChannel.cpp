#include "platform/FileChannel.h"

#include "platform/FileNames.h"
#include "platform/RuntimeError.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Channels = 256;
// A line longer than this is not a line of our files; reading stops there.
constexpr qsizetype LongestLine = 1 << 20;

struct Channel {
    std::FILE* file = nullptr;
    QString path;
};
std::array<Channel, Channels> channels;

Channel& channel(int number) {
    if (number < 1 || number >= Channels)
        throw RuntimeError(ErrorNumber::BadFileNameOrNumber,
                           RuntimeError::describe(ErrorNumber::BadFileNameOrNumber));
    return channels[size_t(number)];
}

Channel& openChannel(int number) {
    Channel& c = channel(number);
    if (!c.file)
        throw RuntimeError(ErrorNumber::BadFileNameOrNumber,
                           RuntimeError::describe(ErrorNumber::BadFileNameOrNumber));
    return c;
}

// Opened without blocking, so that a FIFO or a device named like our file cannot hang us.
void open(int number, const QString& path, int flags, const char* mode) {
    Channel& c = channel(number);
    if (c.file)
        throw RuntimeError(ErrorNumber::FileAlreadyOpen,
                           RuntimeError::describe(ErrorNumber::FileAlreadyOpen));
    const int fd =
        ::open(FileNames::encode(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        throw RuntimeError::fromErrno(errno == ENXIO ? EACCES : errno, path);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw RuntimeError::fromErrno(S_ISDIR(info.st_mode) ? EISDIR : EACCES, path);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    c.file = fdopen(fd, mode);
    if (!c.file) {
        ::close(fd);
        throw RuntimeError::fromErrno(errno, path);
    }
    c.path = path;
}

} // namespace

namespace FileChannel {

void OpenForOutput(int number, const QString& path) {
    open(number, path, O_WRONLY | O_CREAT | O_TRUNC, "wb");
}

void OpenForInput(int number, const QString& path) {
    if (path.isEmpty())
        throw RuntimeError::fromErrno(ENOENT, path);
    open(number, path, O_RDONLY, "rb");
}

void PrintLine(int number, const QString& text) {
    Channel& c = openChannel(number);
    QByteArray bytes = FileNames::encode(text);
    bytes.append("\r\n", 2);
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), c.file) != size_t(bytes.size()))
        throw RuntimeError::fromErrno(errno, c.path);
}

QString LineInput(int number) {
    Channel& c = openChannel(number);
    QByteArray line;
    int ch = 0;
    while ((ch = std::fgetc(c.file)) != EOF && ch != '\n') {
        if (line.size() >= LongestLine)
            throw RuntimeError(ErrorNumber::PathFileAccessError,
                               RuntimeError::describe(ErrorNumber::PathFileAccessError));
        line.append(char(ch));
    }
    if (ch == EOF) {
        if (std::ferror(c.file))
            throw RuntimeError::fromErrno(EIO, c.path);
        if (line.isEmpty())
            throw RuntimeError(ErrorNumber::InputPastEndOfFile,
                               RuntimeError::describe(ErrorNumber::InputPastEndOfFile));
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return FileNames::decode(std::string_view(line.constData(), size_t(line.size())));
}

void Close(int number) {
    Channel& c = channel(number);
    if (!c.file)
        return;
    std::FILE* file = c.file;
    c.file = nullptr;
    const bool failed = std::ferror(file) != 0;
    const int closeResult = std::fclose(file);
    const int closeErrno = errno;
    if (failed || closeResult != 0)
        throw RuntimeError::fromErrno(failed ? EIO : closeErrno, c.path);
}

bool IsOpen(int number) {
    return channel(number).file != nullptr;
}

} // namespace FileChannel
