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
//
// Where listings are kept, it gathers what each folder it walked brings (names read to keep,
// kept names used, kept names found changed) and hands the harvest to the keeper when it ends,
// however it ends: what was read is true whether or not the search was cancelled.

#include "core/kept/KeptSnapshot.h"
#include "core/text/SearchOptions.h"

#include <QString>
#include <atomic>
#include <memory>
#include <string>

class EntryOutbox;
class KeptListings;
class ReadAhead;
struct FolderRead;

class Walk {
public:
    // How many folders were read, and how many came from what was kept: counted as they are
    // walked, read by the receiver once the walk is over.
    struct Counts {
        std::atomic<size_t> read{0};
        std::atomic<size_t> kept{0};
    };

    Walk(const SearchOptions& options, std::shared_ptr<ReadAhead> reads,
         std::shared_ptr<EntryOutbox> outbox, std::shared_ptr<KeptListings> keeper,
         std::shared_ptr<Counts> counts);

    // On the walk's own thread, to the end of the walk or its stop.
    void run();

private:
    bool walkBelow(FolderRead start, std::string& path);
    bool handOut(const FolderRead& folder, const std::string& path);
    void note(const FolderRead& folder);

    const SearchOptions m_options;
    const QString m_startName;
    const std::shared_ptr<ReadAhead> m_reads;
    const std::shared_ptr<EntryOutbox> m_outbox;
    const std::shared_ptr<KeptListings> m_keeper;
    const std::shared_ptr<Counts> m_counts;
    KeptHarvest m_harvest;
};
