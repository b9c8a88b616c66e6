#include "core/FolderReader.h"

#include "core/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

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

int read(int folderFd, const NamePattern* pattern, FolderListing& listing) {
    const auto keep = [&](std::vector<FolderListing::Name>& into, const char* name, size_t length,
                          bool isLink) {
        into.push_back({uint32_t(listing.bytes.size()), uint16_t(length), isLink});
        listing.bytes.append(name, length);
        listing.bytes.push_back('\0');
    };
    alignas(8) char buffer[32768];
    for (;;) {
        const long length = syscall(SYS_getdents64, folderFd, buffer, sizeof buffer);
        if (length < 0)
            return errno;
        if (length == 0)
            break;
        for (long offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.')
                continue;
            const size_t nameLength = strlen(name);
            unsigned char type = entry->d_type;
            struct stat info {};
            if (type == DT_UNKNOWN) {
                if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // gone since it was read
                type = typeOf(info);
            }
            bool isLink = false;
            if (type == DT_LNK) {
                if (fstatat(folderFd, name, &info, 0) != 0)
                    continue; // a dangling link names nothing that is there
                type = typeOf(info);
                isLink = true;
            }
            if (type == DT_DIR)
                keep(listing.subfolders, name, nameLength, isLink);
            else if (type == DT_REG && pattern &&
                     pattern->matchesBytes(std::string_view(name, nameLength)))
                keep(listing.files, name, nameLength, false);
        }
    }
    const auto byName = [&](const FolderListing::Name& a, const FolderListing::Name& b) {
        return lessIgnoringCase(listing.name(a), listing.name(b));
    };
    std::sort(listing.subfolders.begin(), listing.subfolders.end(), byName);
    std::sort(listing.files.begin(), listing.files.end(), byName);
    return 0;
}

} // namespace FolderReader
