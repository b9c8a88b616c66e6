#include "support/SearchRun.h"

#include "core/walk/Search.h"

#include <QTest>

SearchOutcome runSearch(const SearchOptions& options, int readAheadThreads,
                        qsizetype entriesWaitingLimit) {
    Search search;
    if (readAheadThreads >= 0)
        search.setReadAheadThreads(readAheadThreads);
    if (entriesWaitingLimit > 0)
        search.setEntriesWaitingLimit(entriesWaitingLimit);
    return runSearch(search, options);
}

SearchOutcome runSearch(Search& search, const SearchOptions& options) {
    SearchOutcome outcome;
    bool over = false;
    const auto take = [&] {
        const QStringList entries = search.takeEntries();
        if (!entries.isEmpty()) {
            outcome.batches.append(entries);
            outcome.entries += entries;
        }
    };
    QObject context; // the connections go with it
    QObject::connect(&search, &Search::entriesReady, &context, take);
    QObject::connect(&search, &Search::finished, &context, [&] {
        take();
        ++outcome.finished;
        over = true;
    });
    QObject::connect(&search, &Search::failed, &context, [&](const QString& description) {
        outcome.failures.append(description);
        over = true;
    });
    search.start(options);
    if (!QTest::qWaitFor([&] { return over; }, 180000))
        QTest::qFail("the search did not end", __FILE__, __LINE__);
    outcome.foldersRead = search.lastFoldersRead();
    outcome.foldersKept = search.lastFoldersKept();
    return outcome;
}
