#include "core/folders/ChosenFolder.h"

#include "core/folders/FolderRows.h"

ChosenFolder::ChosenFolder(QObject* parent)
    : QObject(parent), m_lister(new FolderLister(this)), m_rows(new FolderRows(this)) {
    connect(m_lister, &FolderLister::listed, this, &ChosenFolder::listed);
    connect(m_lister, &FolderLister::failed, this, &ChosenFolder::listingFailed);
    connect(m_lister, &FolderLister::changed, m_rows, &FolderRows::update);
    connect(m_lister, &FolderLister::gone, this, [this](const QString& folder) {
        // A choice on its way replaces the folder anyway.
        if (m_waiting == Waiting::Nothing || m_waiting == Waiting::Parent)
            ask(folder, Waiting::Parent);
    });
}

void ChosenFolder::start(const QString& startFolder, const QStringList& candidates) {
    m_chosen = startFolder;
    m_candidates = candidates;
    m_candidates.removeAll(QString());
    m_starting = true;
    ask(startFolder, Waiting::Quiet);
}

void ChosenFolder::addCandidate(const QString& folder) {
    if (folder.isEmpty() || !m_starting)
        return;
    if (m_waiting == Waiting::Quiet || m_waiting == Waiting::Probe)
        m_candidates.append(folder);
    else
        ask(folder, Waiting::Probe);
}

void ChosenFolder::choose(const QString& folder) {
    m_chosen = folder;
    m_candidates.clear();
    m_starting = false;
    ask(folder, Waiting::Person);
}

void ChosenFolder::returnTo(const QString& folder) {
    m_chosen = folder;
    m_candidates.clear();
    m_starting = false;
    ask(folder, Waiting::Quiet);
}

void ChosenFolder::ask(const QString& folder, Waiting waiting) {
    setWaiting(waiting);
    if (waiting == Waiting::Parent)
        m_lister->listNearestParent(folder);
    else
        m_lister->list(folder);
}

void ChosenFolder::setWaiting(Waiting waiting) {
    const bool wasPending = isPending();
    m_waiting = waiting;
    if (wasPending != isPending())
        emit pendingChanged(isPending());
}

void ChosenFolder::listed(const SubfolderListing& listing) {
    const Waiting answered = m_waiting;
    setWaiting(Waiting::Nothing);
    // Only the newest request is answered, so a person has not chosen since this was asked.
    m_chosen = listing.folder;
    m_rows->show(listing);
    emit shown(listing.folder);
    if (answered == Waiting::Quiet && !m_candidates.isEmpty())
        ask(m_candidates.takeFirst(), Waiting::Probe);
    else if (answered == Waiting::Probe) {
        m_candidates.clear();
        m_starting = false;
    }
}

void ChosenFolder::listingFailed(const QString& folder, const QString& reason) {
    const Waiting answered = m_waiting;
    setWaiting(Waiting::Nothing);
    if (answered == Waiting::Person || answered == Waiting::Quiet)
        m_chosen = m_rows->folder(); // back to the folder shown
    if (answered == Waiting::Person)
        emit failed(folder, reason);
    if ((answered == Waiting::Probe || answered == Waiting::Quiet) && !m_candidates.isEmpty())
        ask(m_candidates.takeFirst(), Waiting::Probe);
    else if (m_rows->folder().isEmpty() && folder != QLatin1String("/"))
        ask(QStringLiteral("/"), Waiting::Probe); // nothing to show yet: the root, then
}
