#pragma once

// The search: walks the folder tree below a start folder on threads of its own and hands out
// result entries, a whole folder at a time, in the order a person reads a tree bottom-up: a
// folder's subfolders from the last listed to the first, each with everything below it, and
// the folder's own entries after all of that.
//
// Who owns what. The walk thread owns the walk: its stack of folders, the path it stands in,
// the entries it builds, the listings it has taken over. Reader threads read folders ahead of
// it, in the order it will want them; a reader takes requests (a parent folder's descriptor and
// a name; a few at once while reads come from the cache, so that one lock and one pass through
// the read gate serve them all) and hands back self-contained listings, and never sees the
// walk's state. The walk reads too: the folder it wants when no reader has taken it, and, while
// a reader reads that one, the next ones wanted, so that it waits for a reader only when there
// is nothing left to read; it takes all the listings the readers hold at once. Between them lie
// the queue of requests (in the walk's order: a request being read keeps its place, which the
// requests for its subfolders take), the listings read ahead and the entries waiting for the
// receiver, all under one lock. Every one of them is bounded: the entries waiting (then the walk
// waits for the receiver), the folders and bytes read ahead (then the readers wait for the
// walk), the threads reading (the read depth: as many as there are cores while reads come from
// the cache, deeper while they wait on the disk; see ReadDepth) and the reads on one volume
// (the read gate).
//
// Cancelling returns at once: nothing is handed out after it. A thread blocked in the file
// system (a network share that stopped answering) is left to return on its own; what it read
// is thrown away. Kernel and virtual file systems (proc, sysfs and their kind) mounted below the
// start folder are not descended into, unless the start folder lies on one. It knows no window:
// the receiver is told through signals and takes the entries.

#include "core/SearchOptions.h"

#include <QObject>
#include <QStringList>
#include <memory>

class Mailbox;

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
    bool isRunning() const { return bool(m_walk); }

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

    struct Walk;

signals:
    // takeEntries() has something: said once until they are taken, and again when the walk
    // stands still until they are (isHeldBack()).
    void entriesReady();
    void finished();                         // the walk is over; take what is left
    void failed(const QString& description); // the start folder could not be read

private:
    void deliver(const std::shared_ptr<Walk>& walk);

    std::shared_ptr<Walk> m_walk;
    QStringList m_leftOver; // taken from a finished walk, not yet by the receiver
    std::shared_ptr<Mailbox> m_mailbox;
    int m_readAheadThreads = -1;
    int m_lastReadThreads = 0;
    qsizetype m_entriesWaitingLimit = DefaultEntriesWaiting;
};
