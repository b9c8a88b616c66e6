#pragma once

// The kept folders between runs: one file in the user's cache folder, written whole or not at
// all (WholeFile) with mode 0600. It holds the names of folders and files already searched, as
// the snapshot holds them, after a header (a magic word, the format's version, the user's id)
// and before a checksum of everything.
//
// A file that is not a plain file of the user's, is larger than `mostBytes`, cut short, of
// another version or another user, or whose checksum or any folder in it is wrong, is not
// trusted at all: read() says so, and what it holds is dropped. It reads and writes; it decides
// nothing about what is kept.

#include "core/kept/KeptSnapshot.h"
#include "core/text/SystemError.h"

#include <QString>
#include <optional>

namespace KeptFile {

constexpr uint32_t Version = 1;

// The snapshot in `file`; empty when there is none to trust.
std::optional<KeptSnapshot> read(const QString& file, size_t mostBytes);
std::optional<SystemError> write(const QString& file, const KeptSnapshot& snapshot);

} // namespace KeptFile
