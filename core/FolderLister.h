#pragma once

// Lists the subfolders of one folder at a time for the folder list, on a thread of its own,
// and watches the folder listed last: a subfolder created or removed there, or the folder
// itself going away, asks for a new listing. A newer request makes every older one's answer
// stale; a stale answer is dropped, so a folder that never answers holds nothing up.

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

class FolderLister : public QObject {
    Q_OBJECT
public:
    explicit FolderLister(QObject* parent = nullptr);
    ~FolderLister() override;

    // Lists `folder`, an absolute path; listed() or failed() answers, unless a newer request
    // comes first.
    void list(const QString& folder);
    // Whether a request is still unanswered.
    bool isBusy() const { return m_answered != m_asked; }

signals:
    void listed(const SubfolderListing& listing);
    void failed(const QString& folder, const QString& error);
    void folderChanged(const QString& folder); // the watched folder's subfolders changed

private:
    void startWatching();
    void readChanges();
    std::shared_ptr<Mailbox> m_mailbox;
    quint64 m_asked = 0;
    quint64 m_answered = 0;
    int m_inotify = -1;
    int m_watch = -1;
    QString m_watched;
    QSocketNotifier* m_notifier = nullptr;
};
