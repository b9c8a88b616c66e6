#pragma once

// The folders searches have read, kept so that the next search of them looks at each folder's
// stamp instead of reading it again (KeptFolder decides when that is safe), and kept between
// runs in one file (KeptFile).
//
// Who owns what. One keeper thread owns what is kept: it reads the file at start, merges what
// each search hands back, drops the folders of the trees searched longest ago past the bound,
// and writes the file after each change. Every other thread only asks: a search takes a
// snapshot when it starts (immutable, read by its threads without a lock) and hands back a
// harvest when its walk ends. Nothing here is ever waited for: a search that starts before the
// file is read, or while the keeper is held by a share, finds fewer folders kept, never a
// wrong one.
//
// The clock stepping back makes every folder kept untrustworthy (its moment of reading may
// lie in the future): they are all dropped.

#include "core/folders/FolderStamp.h"
#include "core/kept/KeptSnapshot.h"

#include <QString>
#include <functional>
#include <memory>

class KeptListings {
public:
    // As much memory, and as much file, as the kept folders may take. A tree of a million files
    // takes about a third of it.
    static constexpr size_t DefaultBound = size_t(64) << 20;

    struct Setup {
        QString file; // where they are kept between runs; none: only while the program runs
        size_t bound = DefaultBound;
        KeptClock clock = systemClock;
    };

    explicit KeptListings(Setup setup);
    ~KeptListings();
    KeptListings(const KeptListings&) = delete;
    KeptListings& operator=(const KeptListings&) = delete;

    // Reads the file, in the background.
    void load();
    // What is kept now, for a search that starts now.
    std::shared_ptr<const KeptSnapshot> snapshot();
    KeptClock clock() const { return m_clock; }
    // What a search read and used, merged in the background, then written.
    void keep(KeptHarvest harvest);
    // Runs `done` on the keeper's thread once all asked before is done: for the tests and the
    // benchmark, which wait for it before they look.
    void whenSettled(std::function<void()> done);

    struct Keeper;

private:
    const KeptClock m_clock;
    std::shared_ptr<Keeper> m_keeper;
};
