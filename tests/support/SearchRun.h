#pragma once

// Runs a search to its end through Search's public API, taking the entries as they are
// announced, and keeps what came: every entry, each batch as it was taken, and the ends.

#include "core/text/SearchOptions.h"

#include <QList>
#include <QStringList>

struct SearchOutcome {
    QStringList entries;
    QList<QStringList> batches; // what each takeEntries() gave, in order
    int finished = 0;
    QStringList failures;
    size_t foldersRead = 0; // of a finished search: folders read, and those taken as kept
    size_t foldersKept = 0;
};

class Search;

// A negative number of read-ahead threads keeps the search's own choice, as a limit of 0 does
// for the entries that may wait. A search that does not end fails the test.
SearchOutcome runSearch(const SearchOptions& options, int readAheadThreads = -1,
                        qsizetype entriesWaitingLimit = 0);
// The same with a search of the caller's, set up as it likes (kept listings, say).
SearchOutcome runSearch(Search& search, const SearchOptions& options);
