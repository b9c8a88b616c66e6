#pragma once

// The folder a search would search now, and the folder list that shows where that is.
//
// What a person chooses (a volume in the drive box, a folder opened or only highlighted in the
// folder list) is the chosen folder at once, whether or not its listing has come: a search
// started meanwhile searches it. Until the listing comes the choice is pending, and the rows
// still show the folder before it. A choice that cannot be read is reported with its reason,
// and the chosen folder falls back to the folder shown.
//
// The program's own choices are quieter: at start, the folder asked for on the command line or
// the saved one replaces the start folder once it answers, unless a person has chosen
// meanwhile; after a search the list returns to its start folder, silently staying where it is
// when that folder is gone. A shown folder that is removed or unmounted gives way to its nearest
// parent that can still be listed.
//
// It reads nothing on the caller's thread: the FolderLister reads, one request at a time.

#include "core/folders/FolderLister.h"

#include <QObject>
#include <QStringList>

class FolderRows;

class ChosenFolder : public QObject {
    Q_OBJECT
public:
    explicit ChosenFolder(QObject* parent = nullptr);

    // Shows `startFolder`, then the first of `candidates` that can be listed.
    void start(const QString& startFolder, const QStringList& candidates);
    // One more candidate after those given to start(), learnt later; none after a candidate was
    // shown or a person chose.
    void addCandidate(const QString& folder);
    // A person's choice.
    void choose(const QString& folder);
    // The program's return to a folder: chosen at once, but a failure says nothing.
    void returnTo(const QString& folder);

    QString folder() const { return m_chosen; }
    bool isPending() const { return m_waiting == Waiting::Person; }
    FolderRows* rows() const { return m_rows; }

signals:
    void pendingChanged(bool pending);
    void shown(const QString& folder);                         // the rows now show `folder`
    void failed(const QString& folder, const QString& reason); // a person's choice

private:
    enum class Waiting { Nothing, Person, Quiet, Probe, Parent };
    void ask(const QString& folder, Waiting waiting);
    void listed(const SubfolderListing& listing);
    void listingFailed(const QString& folder, const QString& reason);
    void setWaiting(Waiting waiting);

    FolderLister* m_lister = nullptr;
    FolderRows* m_rows = nullptr;
    QString m_chosen;
    Waiting m_waiting = Waiting::Nothing;
    QStringList m_candidates; // still to try at start
    bool m_starting = false;  // no candidate shown yet, no person's choice
};
