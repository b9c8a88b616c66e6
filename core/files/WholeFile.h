#pragma once

// Writes a file whole or not at all: into a new temporary file beside it, then renamed over
// it, so that a full disk or a killed program leaves the old file as it was. A link is
// followed only as LinkWalk allows. Before it writes, it takes away the temporary files of the
// program's own that a killed save left in that folder (the user's own plain files of the
// exact form, whose process is gone), and nothing else.
//
// The temporary files being written are listed, so that the program's end can take them away
// (abandonAll). It does not decide what goes into a file nor where files live.

#include "core/text/SystemError.h"

#include <QString>
#include <functional>
#include <optional>

namespace WholeFile {

// Writes into an open file; false with errno set when it could not.
using Writer = std::function<bool(int fd)>;

// Replaces `file` with what `write` writes. `givenUp`, when given, is asked once the temporary
// file exists: a save no longer wanted takes it away again and ends with an error without a
// description. A new file takes 0666 less the umask and an existing one keeps its own, unless
// `exactMode` is given.
std::optional<SystemError> replace(const QString& file, const Writer& write,
                                   const std::function<bool()>& givenUp = {}, int exactMode = -1);

// Writes all of `bytes`, across interruptions.
bool writeAll(int fd, const char* bytes, size_t size);

// Takes away the temporary file of every save still being written, in any thread, and keeps
// those saves from renaming anything: for the program's end, so that a save held by a slow
// disk or share leaves nothing behind. A save already renaming its file is let be. The files
// are removed by a process of their own, without waiting: a write that holds one holds its
// removal too, until the program has ended.
void abandonAll();

} // namespace WholeFile
