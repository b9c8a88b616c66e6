#include "core/folders/FolderReader.h"

#include "core/text/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What a thread keeps between reads for gathering names, at most.
constexpr size_t MostGatheringKept = size_t(256) << 10;
// The room the longest record takes: its header, a name of NAME_MAX bytes, its NUL, padding.
constexpr size_t LongestRecord = 280;

// The record getdents64 fills in; glibc declares no type for it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool lessDecoded(std::string_view a, std::string_view b) {
    const QString first = FileNames::decode(a), second = FileNames::decode(b);
    const int order = QString::compare(first, second, Qt::CaseInsensitive);
    if (order != 0)
        return order < 0;
    return QString::compare(first, second, Qt::CaseSensitive) < 0;
}

unsigned char typeOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        return DT_DIR;
    if (S_ISREG(info.st_mode))
        return DT_REG;
    if (S_ISLNK(info.st_mode))
        return DT_LNK;
    return DT_UNKNOWN;
}

void list(FolderListing& gathered, std::vector<FolderListing::Name>& into, const char* name,
          size_t length, bool isLink) {
    into.push_back({uint32_t(gathered.bytes.size()), uint16_t(length), isLink});
    gathered.bytes.append(name, length);
    gathered.bytes.push_back('\0');
}

// One record of a read: listed among the subfolders, among the files, or left out; and every
// folder, file and link kept when the folder is.
void gather(int folderFd, const NamePattern* pattern, const LinuxDirent64& entry,
            FolderListing& gathered, KeptFolder::Builder* kept) {
    const char* name = entry.d_name;
    if (name[0] == '.')
        return;
    // The name ends within the last 8 bytes of its record (records are 8-byte aligned),
    // whatever lies in the padding after its NUL.
    const size_t room = entry.d_reclen - offsetof(LinuxDirent64, d_name);
    size_t length = room > 8 ? room - 8 : 0;
    while (name[length] != '\0')
        ++length;
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        struct stat info {};
        if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return; // gone since it was read
        type = typeOf(info);
    }
    const std::string_view bytes(name, length);
    if (kept && (type == DT_DIR || type == DT_REG || type == DT_LNK))
        kept->add(type == DT_DIR   ? KeptFolder::Kind::Folder
                  : type == DT_REG ? KeptFolder::Kind::File
                                   : KeptFolder::Kind::Link,
                  bytes);
    if (type == DT_LNK) {
        // With a pattern (a search, which walks no link) a link counts only as a file that
        // matches: one whose name does not match is not looked at.
        const bool matches = pattern && pattern->matchesBytes(bytes);
        if (pattern && !matches)
            return;
        struct stat info {};
        if (fstatat(folderFd, name, &info, 0) != 0)
            return; // a dangling link names nothing that is there
        type = typeOf(info);
        if (type == DT_DIR && !pattern)
            list(gathered, gathered.subfolders, name, length, true);
        else if (type == DT_REG && matches)
            list(gathered, gathered.files, name, length, false);
        return;
    }
    if (type == DT_DIR)
        list(gathered, gathered.subfolders, name, length, false);
    else if (type == DT_REG && pattern && pattern->matchesBytes(bytes))
        list(gathered, gathered.files, name, length, false);
}

// The gathered names, sorted, appended to `listing` at their final size.
void handOver(FolderListing& gathered, FolderListing& listing) {
    const auto byName = [&](const FolderListing::Name& a, const FolderListing::Name& b) {
        return FolderReader::lessIgnoringCase(gathered.name(a), gathered.name(b));
    };
    std::sort(gathered.subfolders.begin(), gathered.subfolders.end(), byName);
    std::sort(gathered.files.begin(), gathered.files.end(), byName);
    const auto offset = uint32_t(listing.bytes.size());
    listing.bytes.append(gathered.bytes);
    const auto copy = [&](const std::vector<FolderListing::Name>& from,
                          std::vector<FolderListing::Name>& into) {
        into.reserve(into.size() + from.size());
        for (FolderListing::Name name : from) {
            name.offset += offset;
            into.push_back(name);
        }
    };
    copy(gathered.subfolders, listing.subfolders);
    copy(gathered.files, listing.files);
}

// The names are gathered in a listing the thread keeps and copied out at their final size: a
// folder costs an allocation for its names and one for each list, none for what it leaves out.
thread_local FolderListing gathered;

FolderListing& startGathering() {
    gathered.bytes.clear();
    gathered.subfolders.clear();
    gathered.files.clear();
    return gathered;
}

void finishGathering(FolderListing& listing) {
    handOver(gathered, listing);
    // A thread that read a very large folder does not keep its room for the rest of its life.
    if (gathered.memoryUse() > MostGatheringKept)
        gathered = FolderListing();
}

} // namespace

namespace FolderReader {

// ASCII names, nearly all of them, are compared as they are: up to the first byte outside
// ASCII the folded bytes order the names as their decoded texts would be ordered.
bool lessIgnoringCase(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if ((a[i] | b[i]) & 0x80)
            return lessDecoded(a, b);
        const char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

int read(int folderFd, const NamePattern* pattern, FolderListing& listing, Reads reads,
         KeptFolder::Builder* kept) {
    FolderListing& gathered = startGathering();
    alignas(8) char buffer[32768];
    int error = 0;
    for (;;) {
        const long length = syscall(SYS_getdents64, folderFd, buffer, sizeof buffer);
        if (length < 0)
            error = errno; // what was read so far is kept: each name in it is there
        if (length <= 0)
            break;
        for (long offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            gather(folderFd, pattern, *entry, gathered, kept);
        }
        // Where a read fills the buffer while names follow, one that left room for the longest
        // record was the last: the call that would only say so is saved, half the calls on a
        // tree of small folders.
        if (reads == Reads::FillToTheEnd && sizeof buffer - size_t(length) >= LongestRecord)
            break;
    }
    finishGathering(listing);
    return error;
}

void fromKept(const KeptFolder& kept, const NamePattern& pattern,
              const std::function<bool(std::string_view)>& linkIsFile, FolderListing& listing) {
    FolderListing& gathered = startGathering();
    kept.forEach([&](KeptFolder::Kind kind, std::string_view name) {
        switch (kind) {
        case KeptFolder::Kind::Folder:
            list(gathered, gathered.subfolders, name.data(), name.size(), false);
            break;
        case KeptFolder::Kind::File:
            if (pattern.matchesBytes(name))
                list(gathered, gathered.files, name.data(), name.size(), false);
            break;
        case KeptFolder::Kind::Link:
            if (pattern.matchesBytes(name) && linkIsFile(name))
                list(gathered, gathered.files, name.data(), name.size(), false);
            break;
        }
    });
    finishGathering(listing);
}

} // namespace FolderReader
