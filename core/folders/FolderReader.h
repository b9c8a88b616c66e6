#pragma once

// Reads one folder from an open descriptor with getdents64: the entry types come with the
// names, so an ordinary entry costs no further system call; only a link or an entry of unknown
// type is looked at with a stat. Hidden (dot) names are left out. Links to files count as
// files; dangling links and special files are left out. Without a pattern (a folder list),
// links to folders are listed as subfolders marked as links, which nothing walks into. With one
// (a search, which walks no link), only a link whose name matches is looked at, and only a link
// to a file is kept.
//
// Names stay the system's bytes in one buffer: a file name is decoded only when it matched.
// It does not open the folder, walk, or keep anything between calls; a search that keeps
// listings hands it a KeptFolder::Builder, and lists a kept folder through it the same way.

#include "core/folders/KeptFolder.h"
#include "core/folders/KeptRecord.h"
#include "core/text/NamePattern.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct FolderListing {
    struct Name {
        uint32_t offset = 0;
        uint16_t length = 0;
        bool isLink = false; // for a subfolder: a link to a folder, listed but never walked into
    };
    // Where the names lie: in `bytes`, or, where the folder is kept, in its kept names (a
    // kept folder's, or the record of one read to be kept), which outlive the listing.
    std::string bytes;
    const char* keptNames = nullptr;
    std::vector<Name> subfolders; // sorted alphabetically, ignoring case
    std::vector<Name> files;      // the files that matched, sorted likewise

    std::string_view name(const Name& entry) const {
        return std::string_view((keptNames ? keptNames : bytes.data()) + entry.offset,
                                entry.length);
    }
    size_t memoryUse() const {
        return bytes.capacity() + (subfolders.capacity() + files.capacity()) * sizeof(Name);
    }
};

namespace FolderReader {

// How a folder read is to be kept: its stamp, taken before the read, and the moment; and the
// record of its names that the read makes.
struct Keeping {
    KeptBlocks& blocks;
    FolderStamp stamp;
    int64_t readAt = 0;
    KeptRecord record;
};

// Fills `listing` from the folder open as `folderFd`, keeping the files that `pattern`
// matches (none without a pattern). Returns 0, or the errno that stopped the read. With
// `keeping`, every folder, file and link of it is recorded there, whatever the pattern. The
// folder is read until a read hands back nothing: one that hands back less than fits may have
// been cut short by a signal.
int read(int folderFd, const NamePattern* pattern, FolderListing& listing,
         Keeping* keeping = nullptr);

// Fills `listing` from a kept folder as read() would have from the folder: its subfolders, and
// the files and the links to files that `pattern` matches; whether a link leads to a file is
// asked of `linkIsFile` for a link whose name matches. The listing points into the kept names:
// the folder must outlive it.
void fromKept(const KeptFolder& kept, const NamePattern& pattern,
              const std::function<bool(std::string_view)>& linkIsFile, FolderListing& listing);

// Whether `a` sorts before `b` in a folder list: ignoring case, then by case.
bool lessIgnoringCase(std::string_view a, std::string_view b);

} // namespace FolderReader
