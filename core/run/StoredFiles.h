#pragma once

// The two files the program keeps: setup.ini, one line holding the last searched folder, and
// lista.txt, the saved result list, one entry a line. Lines end in CR LF; names are written as
// the system's own bytes, but for a CR or LF inside an entry, which lista.txt holds as "␍" or
// "␊" (LineBreaks) so that each entry stays one line.
//
// Each file is written whole or not at all: into a new file beside it, then renamed over it,
// so that a full disk or a killed program leaves the old file as it was. A link keeps pointing
// where it did: its target is replaced the same way, but only a link the kernel would follow
// in a sticky, world-writable folder is followed, wherever it lies: one the user owns, or one
// owned by the owner of the folder holding it. Another user's link is refused and nothing is
// written. Nothing is written, made or removed but the file, its temporary file, and the
// temporary files of this program's own that a killed save left beside it.
//
// It does not choose where the files live (ProgramFiles) nor report anything itself.

#include "core/text/SystemError.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace StoredFiles {

// The folder saved in `file`: its whole first line, or, when that begins with a double quote,
// what lies between it and the next one; empty when there is none to be had.
QString readSavedFolder(const QString& file);

// A folder whose name holds a CR or LF is not written: setup.ini stays one line.
std::optional<SystemError> writeSavedFolder(const QString& file, const QString& folder);
// `givenUp`, when given, is asked once the temporary file exists: a save no longer wanted
// takes it away again and ends with an error without a description.
std::optional<SystemError> writeList(const QString& file, const QStringList& entries,
                                     const std::function<bool()>& givenUp = {});

// Takes away the temporary file of every save still being written, in any thread, and keeps
// those saves from renaming anything: for the program's end, so that a save held by a slow
// disk or share leaves nothing behind. A save already renaming its file is let be. The files
// are removed by a process of their own, without waiting: a write that holds one holds its
// removal too, until the program has ended.
void abandonSaves();

} // namespace StoredFiles
