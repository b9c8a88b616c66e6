#pragma once

// Lists the subfolders of one folder at a time for the folder list, on a thread through the
// read gate, and watches the folder listed last with its one inotify instance:
//
// - a subfolder made or removed there is listed again on a thread and handed over as what
//   changed, so that a folder of 100,000 subfolders is never rebuilt for one new folder;
// - the folder itself removed, moved or unmounted is reported as gone.
//
// A newer request makes every older one stale: a stale answer is dropped, and a stale request
// still waiting at the read gate gives up, so a folder that never answers holds nothing up and
// leaves no thread behind but the one the kernel holds.
//
// Watches are counted: two listings of one folder in flight get the same watch from the
// kernel, and the stale one's answer must not remove the watch the fresh one keeps.

#include "core/threads/NewestWins.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class Mailbox;
class QSocketNotifier;

struct SubfolderListing {
    QString folder;
    QStringList names;  // sorted alphabetically, ignoring case
    QList<bool> isLink; // per name: a link to a folder
    QString error;      // why the folder could not be listed; empty when it could
};

// What a new listing of the same folder changed: the rows gone from the old listing and the
// rows new in the new one, both ascending. Removing the first, then inserting the second in
// order, turns the old listing into the new.
struct ListingChange {
    QList<int> removed;
    QList<int> inserted;
    static ListingChange between(const SubfolderListing& before, const SubfolderListing& after);
};

class FolderLister : public QObject {
    Q_OBJECT
public:
    explicit FolderLister(QObject* parent = nullptr);
    ~FolderLister() override;

    // Lists `folder`, an absolute path; listed() or failed() answers, unless a newer request
    // comes first.
    void list(const QString& folder);
    // Lists `folder`'s nearest parent that can be listed.
    void listNearestParent(const QString& folder);
    // Whether a request is still unanswered.
    bool isBusy() const;

    struct Shared;

signals:
    void listed(const SubfolderListing& listing);
    void failed(const QString& folder, const QString& error);
    // The watched folder's subfolders changed: its new listing, and what changed.
    void changed(const SubfolderListing& listing, const ListingChange& change);
    // The watched folder was removed, moved away or unmounted.
    void gone(const QString& folder);

private:
    enum class Kind { Folder, NearestParent, Refresh };
    void request(const QString& folder, Kind kind);
    void answer(const NewestWins::Ticket& request, Kind kind, const SubfolderListing& listing,
                const ListingChange& change, int watch);
    void readChanges();
    void refresh();

    std::shared_ptr<Mailbox> m_mailbox;
    std::shared_ptr<Shared> m_shared;
    NewestWins m_requests;
    bool m_busy = false;        // the newest request is not answered yet
    SubfolderListing m_watched; // the listing shown, whose folder is watched
    int m_watch = -1;
    bool m_changedMeanwhile = false; // a change came while a listing was in flight
    QSocketNotifier* m_notifier = nullptr;
};
