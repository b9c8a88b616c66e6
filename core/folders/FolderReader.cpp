#include "core/folders/FolderReader.h"

#include "core/text/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {

// What a thread keeps between reads for gathering names, at most.
constexpr size_t MostGatheringKept = size_t(256) << 10;

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

using Kind = KeptFolder::Kind;

// The kind a look at an entry found; none for what a search never lists (a device, a pipe).
std::optional<Kind> kindOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        return Kind::Folder;
    if (S_ISREG(info.st_mode))
        return Kind::File;
    if (S_ISLNK(info.st_mode))
        return Kind::Link;
    return std::nullopt;
}

// The names listed: copied into the listing's own bytes, or, where they are kept, found by
// their place among the kept names, which the listing holds.
struct Gathering {
    FolderListing& into;
    bool kept;
    void list(std::vector<FolderListing::Name>& list, std::string_view name, uint32_t keptAt,
              bool isLink) {
        if (kept) {
            list.push_back({keptAt, uint16_t(name.size()), isLink});
            return;
        }
        list.push_back({uint32_t(into.bytes.size()), uint16_t(name.size()), isLink});
        into.bytes.append(name);
        into.bytes.push_back('\0');
    }
    // One name and its kind, as read or as kept: a subfolder is listed, a file that matches,
    // and a link where its target is a file that matches (with a pattern: a search, which walks
    // no link) or a folder (without: the folder list, which shows it and never walks it). A link
    // is looked at only when that could list it.
    template <typename LinkTarget>
    void take(Kind kind, std::string_view name, uint32_t keptAt, const NamePattern* pattern,
              LinkTarget&& linkTarget) {
        switch (kind) {
        case Kind::Folder:
            list(into.subfolders, name, keptAt, false);
            break;
        case Kind::File:
            if (pattern && pattern->matchesBytes(name))
                list(into.files, name, keptAt, false);
            break;
        case Kind::Link:
            if (pattern && !pattern->matchesBytes(name))
                break;
            const std::optional<Kind> target = linkTarget(name);
            if (pattern && target == Kind::File)
                list(into.files, name, keptAt, false);
            else if (!pattern && target == Kind::Folder)
                list(into.subfolders, name, keptAt, true);
            break;
        }
    }
};

// One record of a read: its name and kind, the kind of an entry whose record gives none looked
// at; handed to `take(kind, name)`.
template <typename Take> void readRecord(int folderFd, const LinuxDirent64& entry, Take&& take) {
    const char* name = entry.d_name;
    if (name[0] == '.')
        return;
    // The name ends within the last 8 bytes of its record (records are 8-byte aligned),
    // whatever lies in the padding after its NUL.
    const size_t room = entry.d_reclen - offsetof(LinuxDirent64, d_name);
    size_t length = room > 8 ? room - 8 : 0;
    while (name[length] != '\0')
        ++length;
    std::optional<Kind> kind;
    switch (entry.d_type) {
    case DT_DIR:
        kind = Kind::Folder;
        break;
    case DT_REG:
        kind = Kind::File;
        break;
    case DT_LNK:
        kind = Kind::Link;
        break;
    case DT_UNKNOWN: {
        struct stat info {};
        if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0) // else gone since
            kind = kindOf(info);
        break;
    }
    }
    if (kind)
        take(*kind, std::string_view(name, length));
}

// The listed names are gathered in a listing the thread keeps and moved out at their final
// size, sorted: a folder costs an allocation for each list, and one for its names where they
// are not kept, none for what it leaves out.
thread_local FolderListing gathered;

FolderListing& startGathering() {
    gathered.bytes.clear();
    gathered.keptNames = nullptr;
    gathered.subfolders.clear();
    gathered.files.clear();
    return gathered;
}

void finishGathering(FolderListing& listing) {
    const auto byName = [&](const FolderListing::Name& a, const FolderListing::Name& b) {
        return FolderReader::lessIgnoringCase(gathered.name(a), gathered.name(b));
    };
    std::sort(gathered.subfolders.begin(), gathered.subfolders.end(), byName);
    std::sort(gathered.files.begin(), gathered.files.end(), byName);
    listing.bytes.assign(gathered.bytes);
    listing.keptNames = std::exchange(gathered.keptNames, nullptr);
    listing.subfolders.assign(gathered.subfolders.begin(), gathered.subfolders.end());
    listing.files.assign(gathered.files.begin(), gathered.files.end());
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

int read(int folderFd, const NamePattern* pattern, FolderListing& listing, Keeping* keeping) {
    FolderListing& into = startGathering();
    Gathering gathering{into, keeping != nullptr};
    // A folder kept is recorded as it is read, straight from what the system hands back.
    if (keeping)
        KeptRecord::Writing::start(keeping->blocks);
    const auto linkTarget = [folderFd](std::string_view name) -> std::optional<Kind> {
        struct stat info {};
        const std::string path(name);
        if (fstatat(folderFd, path.c_str(), &info, 0) != 0)
            return std::nullopt; // a dangling link names nothing that is there
        return kindOf(info);
    };
    const auto take = [&](Kind kind, std::string_view name) {
        const uint32_t keptAt = keeping ? KeptRecord::Writing::add(kind, name) : 0;
        gathering.take(kind, name, keptAt, pattern, linkTarget);
    };
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
            readRecord(folderFd, *entry, take);
        }
    }
    if (keeping) {
        keeping->record = KeptRecord::Writing::keep(keeping->stamp, keeping->readAt);
        into.keptNames = keeping->record.names();
    }
    finishGathering(listing);
    return error;
}

void fromKept(const KeptFolder& kept, const NamePattern& pattern,
              const std::function<bool(std::string_view)>& linkIsFile, FolderListing& listing) {
    FolderListing& into = startGathering();
    Gathering gathering{into, true};
    const KeptFolder::NamesView names = kept.names().view();
    into.keptNames = names.bytes.data();
    const auto linkTarget = [&](std::string_view name) {
        return linkIsFile(name) ? std::optional<Kind>(Kind::File) : std::nullopt;
    };
    KeptFolder::forEachIn(names, [&](Kind kind, std::string_view name) {
        gathering.take(kind, name, uint32_t(name.data() - names.bytes.data()), &pattern,
                       linkTarget);
    });
    finishGathering(listing);
}

} // namespace FolderReader
