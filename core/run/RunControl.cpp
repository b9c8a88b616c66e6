#include "core/run/RunControl.h"

#include "core/files/ProgramFiles.h"
#include "core/folders/ChosenFolder.h"
#include "core/folders/MountTable.h"
#include "core/kept/KeptListings.h"
#include "core/run/ResultEntries.h"
#include "core/run/StoredFiles.h"
#include "core/text/FileNames.h"
#include "core/text/SystemError.h"
#include "core/threads/OffThread.h"
#include "core/threads/ReadGate.h"
#include "core/walk/Search.h"

#include <QCoreApplication>
#include <QTimer>
#include <optional>
#include <sys/stat.h>

namespace {

// The list takes the entries found at most this often, so that the window repaints it ten
// times a second rather than once for every folder with a match.
constexpr int ListUpdateMs = 100;

const QString SettingsFile = QStringLiteral("setup.ini");
const QString ListFile = QStringLiteral("lista.txt");

// The read gate's place for a file: its volume and the file itself.
ReadGate::Place placeOf(const MountTable& mounts, const QByteArray& path) {
    return mounts.placeOf(std::string_view(path.constData(), size_t(path.size())));
}

ReadGate::Place placeOf(const QByteArray& path) {
    return placeOf(MountTable::read(), path);
}

// Why `entry` cannot be opened as a file; 0 when it can.
int whyNotAFile(const QByteArray& name) {
    if (name.contains('\0'))
        return ENOENT;
    struct stat info {};
    if (stat(name.constData(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? EISDIR : 0;
}

int whyNotAFolder(const QByteArray& name) {
    if (name.contains('\0'))
        return ENOENT;
    struct stat info {};
    if (stat(name.constData(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

} // namespace

const QString RunControl::FullListMessage =
    QStringLiteral("You've filled the listbox. Search being abandoned...");

RunControl::RunControl(QObject* parent)
    : QObject(parent), m_chosenFolder(new ChosenFolder(this)), m_entries(new ResultEntries(this)),
      m_search(new Search(this)), m_listUpdate(new QTimer(this)), m_mailbox(Mailbox::to(this)),
      m_kept(
          std::make_shared<KeptListings>(KeptListings::Setup{ProgramFiles::keptListingsFile()})) {
    m_search->setKeptListings(m_kept);
    m_listUpdate->setSingleShot(true);
    connect(m_listUpdate, &QTimer::timeout, this, &RunControl::takeEntries);
    connect(m_search, &Search::entriesReady, this, &RunControl::entriesFound);
    connect(m_search, &Search::finished, this, [this] {
        takeEntries();
        if (m_state == State::Searching && !m_listFull)
            endSearch();
    });
    connect(m_search, &Search::failed, this, [this](const QString& description) {
        // No search started there, so it is not the folder to come back to.
        m_refusedStart = m_lastStartFolder;
        m_lastStartFolder = m_folderBeforeSearch;
        setState(State::Options);
        if (!m_left)
            emit warned(description);
    });
    // A choice that cannot be read says why, unless a search there has just said it.
    connect(m_chosenFolder, &ChosenFolder::failed, this,
            [this](const QString& folder, const QString& reason) {
                if (m_state == State::Options && folder != m_refusedStart && !m_left)
                    emit warned(reason);
            });
}

RunControl::~RunControl() {
    m_mailbox->close();
    m_saves.dropAll();
    m_opens.dropAll();
}

QString RunControl::countText(qsizetype count) {
    return count == 0 ? QStringLiteral("0") : u' ' + QString::number(count);
}

// Formed without testing for a separator at the end: a root folder gives "//name", which
// names the same file.
QString RunControl::filePath(const QString& name) {
    if (m_filesFolder.isEmpty())
        m_filesFolder = ProgramFiles::folder();
    return m_filesFolder + u'/' + name;
}

// The folder saved at the last exit is read off the window's thread, through the read gate: the
// folder where the program keeps its files may be on a share.
void RunControl::start(const QString& startFolder, const QString& requested) {
    m_kept->load();
    m_chosenFolder->start(startFolder, {requested});
    OffThread::run(
        m_mailbox,
        [given = m_filesFolder] {
            const QString folder = given.isEmpty() ? ProgramFiles::folder() : given;
            const QString file = folder + u'/' + SettingsFile;
            const ReadPass pass(placeOf(FileNames::encode(file)), [] { return false; });
            return std::pair(folder, StoredFiles::readSavedFolder(file));
        },
        [this](const std::pair<QString, QString>& found) {
            if (m_filesFolder.isEmpty())
                m_filesFolder = found.first;
            m_chosenFolder->addCandidate(found.second);
        });
}

void RunControl::setState(State state) {
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void RunControl::searchPressed(SearchOptions options) {
    switch (m_state) {
    case State::Searching:
        return; // one search at a time
    case State::Results:
        prepareNewSearch();
        return;
    case State::Options:
        startSearch(std::move(options));
    }
}

void RunControl::startSearch(SearchOptions options) {
    options.startFolder = m_chosenFolder->folder();
    if (options.startFolder.isEmpty())
        return; // no folder could be read yet
    m_refusedStart.clear();
    m_folderBeforeSearch = m_lastStartFolder;
    m_lastStartFolder = options.startFolder;
    m_listFull = false;
    m_sinceListUpdate.invalidate();
    // Only full paths of files name something to open.
    m_canOpenEntries = !options.listFolders && options.fullPaths;
    m_entries->setKind(EntryPaths::kindOf(options));
    setState(State::Searching);
    m_search->start(options);
}

// The first entries go to the list at once, later ones at most every ListUpdateMs, and at once
// when the walk stands still until they are taken.
void RunControl::entriesFound() {
    if (m_state != State::Searching || m_listFull)
        return;
    const qint64 since =
        m_sinceListUpdate.isValid() ? m_sinceListUpdate.elapsed() : qint64(ListUpdateMs);
    if (since >= ListUpdateMs || m_search->isHeldBack())
        takeEntries();
    else if (!m_listUpdate->isActive())
        m_listUpdate->start(int(ListUpdateMs - since));
}

void RunControl::takeEntries() {
    m_listUpdate->stop();
    if (m_state != State::Searching || m_listFull || m_left)
        return;
    m_sinceListUpdate.start();
    const QStringList entries = m_search->takeEntries();
    const qsizetype added = m_entries->append(entries);
    m_found += added;
    if (added > 0)
        emit countChanged(countText(m_found));
    if (added == entries.size())
        return;
    m_search->cancel();
    m_listFull = true;
    emit informed(FullListMessage, {});
    endSearch();
}

void RunControl::endSearch() {
    setState(State::Results);
    emit searchEnded();
}

void RunControl::prepareNewSearch() {
    m_entries->clear();
    m_found = 0;
    emit countChanged(countText(0));
    setState(State::Options);
    if (!m_lastStartFolder.isEmpty())
        m_chosenFolder->returnTo(m_lastStartFolder);
}

void RunControl::exitPressed() {
    if (m_state == State::Searching) {
        m_search->cancel();
        endSearch();
        return;
    }
    emit leaveAsked();
}

void RunControl::escapePressed() {
    if (m_state == State::Searching)
        exitPressed();
}

// The windows go first, so that nothing of the program stays on the screen while a thread is
// held by a share that stopped answering. A save of the list still being written goes with
// the program: its temporary file is taken away, and a save still waiting gives up. Whatever
// ends the program comes here once; what was under way says nothing more.
void RunControl::leave() {
    if (m_left)
        return;
    m_left = true;
    m_search->cancel();
    m_saves.dropAll();
    m_opens.dropAll();
    emit leaving();
    keepFolder();
    StoredFiles::abandonSaves();
    QCoreApplication::exit(0);
}

// Without a search, the folder saved before stays. Written here and now, on the window's thread:
// the program's end, or the session manager, goes on once it is saved. It passes the read gate
// all the same, which bounds the threads a share that stopped answering holds.
void RunControl::keepFolder() {
    if (m_lastStartFolder.isEmpty())
        return;
    const QString file = filePath(SettingsFile);
    const ReadPass pass(placeOf(FileNames::encode(file)), [] { return false; });
    StoredFiles::writeSavedFolder(file, m_lastStartFolder);
}

// With no current entry, or an empty one, nothing is removed.
void RunControl::removeEntries(const QList<int>& rows, int currentRow) {
    if (m_entries->entryAt(currentRow).isEmpty())
        return;
    m_entries->removeRowsAt(rows);
}

void RunControl::saveList() {
    const QString file = filePath(ListFile);
    const NewestWins::Ticket save = m_saves.next();
    OffThread::run(
        m_mailbox,
        [file, entries = m_entries->entries(), save] {
            const QByteArray name = FileNames::encode(file);
            const auto givenUp = [&] { return save.isStale(); };
            const ReadPass pass(placeOf(name), givenUp);
            if (!pass.entered())
                return std::optional<SystemError>(SystemError{}); // a newer save goes instead
            return StoredFiles::writeList(file, entries, givenUp);
        },
        [this, file](const std::optional<SystemError>& error) {
            if (m_left)
                return;
            if (!error)
                emit listSaved(QStringLiteral("Fil sparad:\r\n") + file,
                               QStringLiteral("Fil sparad"), file);
            else if (!error->description.isEmpty())
                emit warned(error->description);
        });
}

// Only an existing file is handed to the opener: an entry cut short of its extension, or a
// file removed since the search, is reported with the system's reason.
void RunControl::openEntry(int row) {
    if (row < 0 || row >= m_entries->rowCount())
        return;
    open({m_entries->entryAt(row)}, false);
}

void RunControl::openEntries(const QList<int>& rows) {
    open(pathsAt(rows), entryKind() == EntryPaths::Kind::Folder);
}

EntryPaths::Kind RunControl::entryKind() const {
    return m_entries->kind();
}

QStringList RunControl::pathsAt(const QList<int>& rows) const {
    if (entryKind() == EntryPaths::Kind::Text)
        return {};
    return m_entries->entriesAt(rows);
}

// Each entry is looked at in turn on one thread, the mount table read once for all of them, and
// each one found goes to the opener, in list order.
void RunControl::open(const QStringList& entries, bool folders) {
    if (entries.isEmpty())
        return;
    OffThread::run(
        m_mailbox,
        [entries, folders, open = m_opens.next()] {
            const MountTable mounts = MountTable::read();
            QList<int> errors;
            errors.reserve(entries.size());
            for (const QString& entry : entries) {
                const QByteArray name = FileNames::encode(entry);
                const ReadPass pass(placeOf(mounts, name), [&] { return open.isStale(); });
                if (!pass.entered())
                    return QList<int>(); // a newer open goes instead
                errors.append(folders ? whyNotAFolder(name) : whyNotAFile(name));
            }
            return errors;
        },
        [this, entries, folders](const QList<int>& errors) {
            if (!m_left) // nothing more is said or opened after leaving
                openFound(entries, folders, errors);
        });
}

// An entry not found is reported as the button reports it; several together in one box, the
// first few by name, so that thousands of entries gone since the search never bring up
// thousands of boxes.
void RunControl::openFound(const QStringList& entries, bool folders, const QList<int>& errors) {
    QStringList found, failures;
    qsizetype failed = 0;
    for (qsizetype i = 0; i < errors.size(); ++i) {
        if (errors[i] == 0) {
            found.append(entries[i]);
            continue;
        }
        if (++failed > MostFailuresNamed)
            continue;
        const SystemError failure = folders ? SystemError::fromErrno(errors[i], entries[i])
                                            : SystemError::forFile(errors[i], entries[i]);
        failures.append(QString::number(failure.number) + QStringLiteral(" - ") +
                        failure.description);
    }
    QString report;
    if (failed > 0) {
        report = QStringLiteral("Ett fel uppstod!\r\n");
        if (failed > 1)
            report += QStringLiteral("%1 av %2 %3 kunde inte öppnas:\r\n")
                          .arg(failed)
                          .arg(entries.size())
                          .arg(folders ? QStringLiteral("mappar") : QStringLiteral("filer"));
        report += failures.join(QStringLiteral("\r\n"));
        if (failed > MostFailuresNamed)
            report += QStringLiteral("\r\noch %1 till.").arg(failed - MostFailuresNamed);
    }
    handOn(found, 0, report);
}

// Starting an opener takes the window's thread a moment: thousands of them go a few at a time,
// with the window's events between, and the report comes once the last has gone.
void RunControl::handOn(const QStringList& found, qsizetype from, const QString& report) {
    if (m_left)
        return;
    const qsizetype end = std::min(found.size(), from + HandedOnAtOnce);
    for (qsizetype i = from; i < end; ++i)
        emit openRequested(found[i]);
    if (end < found.size())
        QTimer::singleShot(0, this, [this, found, end, report] { handOn(found, end, report); });
    else if (!report.isEmpty())
        emit warned(report);
}
