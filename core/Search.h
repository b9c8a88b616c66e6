#pragma once

// The search: walks the folder tree below a start folder on threads of its own and hands out
// result entries, a whole folder at a time, in the order a person reads a tree bottom-up: a
// folder's subfolders from the last listed to the first, each with everything below it, and
// the folder's own entries after all of that.
//
// A few reader threads read folders ahead of the walk, in the order the walk will want them,
// so that several reads are in flight when the disk has to be read; the walk never waits for a
// read it could do itself. It runs at most a bounded amount ahead of whoever takes the entries,
// so memory stays flat whatever the tree.
//
// Cancelling returns at once: nothing is handed out after it, and a walk blocked in the file
// system (a network mount that stopped answering) is left to finish on its own, its results
// thrown away. It knows no window: the receiver is told through signals and takes the entries.

#include "core/SearchOptions.h"

#include <QObject>
#include <QStringList>
#include <memory>

class Mailbox;

class Search : public QObject {
    Q_OBJECT
public:
    explicit Search(QObject* parent = nullptr);
    ~Search() override;

    // Starts a walk of options.startFolder; a search still running is cancelled first.
    void start(const SearchOptions& options);
    void cancel();
    bool isRunning() const { return bool(m_walk); }

    // The entries found since the last call, in walk order.
    QStringList takeEntries();

    // How many threads read ahead of the walk; 0 makes the walk read every folder itself.
    void setReadAheadThreads(int count) { m_readAheadThreads = count; }

    struct Walk;

signals:
    void entriesReady();                     // takeEntries() has something
    void finished();                         // the walk is over; take what is left
    void failed(const QString& description); // the start folder could not be read

private:
    void deliver(const std::shared_ptr<Walk>& walk);

    std::shared_ptr<Walk> m_walk;
    QStringList m_leftOver; // taken from a finished walk, not yet by the receiver
    std::shared_ptr<Mailbox> m_mailbox;
    int m_readAheadThreads = 3;
};
