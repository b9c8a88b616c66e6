#pragma once

// The search: what the window starts, cancels and takes entries from. It hands out result
// entries, a whole folder at a time, in the order a person reads a tree bottom-up: a folder's
// subfolders from the last listed to the first, each with everything below it, and the
// folder's own entries after all of that.
//
// A search runs as three parts, each in a file of its own: the walk (Walk: one thread, its
// stack and its path), the read-ahead (ReadAhead: the queue of folders to read and the reader
// threads), and the outbox (EntryOutbox: the entries waiting for the receiver, bounded). This
// facade starts them, stops them and carries the outbox's word to the receiver on its thread.
//
// Cancelling returns at once: nothing is handed out after it. A thread blocked in the file
// system (a network share that stopped answering) is left to return on its own; what it read
// is thrown away. Kernel and virtual file systems (proc, sysfs and their kind) mounted below the
// start folder are not descended into, unless the start folder lies on one. It knows no window:
// the receiver is told through signals and takes the entries.

#include "core/kept/KeptListings.h"
#include "core/text/SearchOptions.h"
#include "core/threads/NewestWins.h"
#include "core/walk/Walk.h"

#include <QObject>
#include <QStringList>
#include <memory>

class EntryOutbox;
class Mailbox;
class ReadAhead;

class Search : public QObject {
    Q_OBJECT
public:
    // As many as the result list holds: the window, which takes them at most ten times a
    // second, never needs more at once, and a walk held back sooner stood still until its next
    // pass.
    static constexpr qsizetype DefaultEntriesWaiting = 32768;

    explicit Search(QObject* parent = nullptr);
    ~Search() override;

    // Starts a walk of options.startFolder; a search still running is cancelled first.
    void start(const SearchOptions& options);
    void cancel();
    bool isRunning() const { return bool(m_run); }

    // The entries found since the last call, in walk order.
    QStringList takeEntries();
    // Whether the walk stands still until more of its entries are taken.
    bool isHeldBack() const;

    // How many threads read ahead of the walk; 0 makes the walk read every folder itself. By
    // default (a negative count) as many as the read depth asks for (ReadDepth).
    void setReadAheadThreads(int count) { m_readAheadThreads = count; }
    // How many threads read folders in the last search, finished or cancelled, the walk's own
    // included.
    int lastReadThreads() const { return m_lastReadThreads; }
    // How many entries may wait for takeEntries() before the walk stops to wait.
    void setEntriesWaitingLimit(qsizetype limit) { m_entriesWaitingLimit = limit; }

    // Where the folders searched are kept for the next searches; none by default. A search
    // keeps at most `budget` bytes of new listings.
    void setKeptListings(std::shared_ptr<KeptListings> kept,
                         size_t budget = KeptListings::DefaultBound);
    // How many folders the last search read, to its end or its stop, and how many of them came
    // from what was kept.
    size_t lastFoldersRead() const { return m_lastFoldersRead; }
    size_t lastFoldersKept() const { return m_lastFoldersKept; }

signals:
    // takeEntries() has something: said once until they are taken, and again when the walk
    // stands still until they are (isHeldBack()).
    void entriesReady();
    void finished();                         // the walk is over; take what is left
    void failed(const QString& description); // the start folder could not be read

private:
    struct Run {
        std::shared_ptr<ReadAhead> reads;
        std::shared_ptr<EntryOutbox> outbox;
        std::shared_ptr<Walk::Counts> counts;
    };
    void look(const NewestWins::Ticket& ticket);
    void end();

    std::unique_ptr<Run> m_run;
    NewestWins m_runs;      // a stopped walk's late word is dropped
    QStringList m_leftOver; // taken from a finished walk, not yet by the receiver
    std::shared_ptr<Mailbox> m_mailbox;
    int m_readAheadThreads = -1;
    int m_lastReadThreads = 0;
    qsizetype m_entriesWaitingLimit = DefaultEntriesWaiting;
    std::shared_ptr<KeptListings> m_kept;
    size_t m_keepBudget = 0;
    size_t m_lastFoldersRead = 0;
    size_t m_lastFoldersKept = 0;
};
