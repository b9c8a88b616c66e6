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
    SearchOutcome outcome;
    bool over = false;
    const auto take = [&] {
        const QStringList entries = search.takeEntries();
        if (!entries.isEmpty()) {
            outcome.batches.append(entries);
            outcome.entries += entries;
        }
    };
    QObject::connect(&search, &Search::entriesReady, take);
    QObject::connect(&search, &Search::finished, [&] {
        take();
        ++outcome.finished;
        over = true;
    });
    QObject::connect(&search, &Search::failed, [&](const QString& description) {
        outcome.failures.append(description);
        over = true;
    });
    search.start(options);
    if (!QTest::qWaitFor([&] { return over; }, 180000))
        QTest::qFail("the search did not end", __FILE__, __LINE__);
    return outcome;
}
