#pragma once

// The walk of one search: one thread that goes through the folder tree below the start folder
// in the order a person reads a tree bottom-up (a folder's subfolders from the last listed to
// the first, each with everything below it, then the folder's own entries) and hands out each
// folder's result entries, a whole folder at a time, to the outbox.
//
// It owns its stack of folders (each with the length of its path, so that memory grows with
// the depth, not with the paths) and the one path it stands in. It reaches folders only through
// the read-ahead: it asks for each by the id its parent's read gave it. A folder that cannot be
// opened is left out, as find leaves it out; a start folder that cannot be read fails the
// search. It stops as soon as the read-ahead or the outbox says nothing more is wanted.

#include "core/text/SearchOptions.h"

#include <QString>
#include <memory>
#include <string>

class EntryOutbox;
class ReadAhead;
struct FolderRead;

class Walk {
public:
    Walk(const SearchOptions& options, std::shared_ptr<ReadAhead> reads,
         std::shared_ptr<EntryOutbox> outbox);

    // On the walk's own thread, to the end of the walk or its stop.
    void run();

private:
    bool walkBelow(FolderRead start, std::string& path);
    bool handOut(const FolderRead& folder, const std::string& path);

    const SearchOptions m_options;
    const QString m_startName;
    const std::shared_ptr<ReadAhead> m_reads;
    const std::shared_ptr<EntryOutbox> m_outbox;
};
