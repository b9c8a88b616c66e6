#include "core/walk/Walk.h"

#include "core/folders/MountTable.h"
#include "core/kept/KeptListings.h"
#include "core/text/EntryText.h"
#include "core/text/FileNames.h"
#include "core/text/SystemError.h"
#include "core/walk/EntryOutbox.h"
#include "core/walk/ReadAhead.h"

#include <pthread.h>
#include <vector>

Walk::Walk(const SearchOptions& options, std::shared_ptr<ReadAhead> reads,
           std::shared_ptr<EntryOutbox> outbox, std::shared_ptr<KeptListings> keeper,
           std::shared_ptr<Counts> counts)
    : m_options(options), m_startName(EntryText::startFolderName(options.startFolder)),
      m_reads(std::move(reads)), m_outbox(std::move(outbox)), m_keeper(std::move(keeper)),
      m_counts(std::move(counts)) {}

void Walk::run() {
    // Named, so that a profile or a debugger tells the walk from its readers.
    pthread_setname_np(pthread_self(), "trovan-walk");
    std::string path = FileNames::encode(m_options.startFolder).toStdString();
    if (path.find('\0') != std::string::npos) {
        // The system would read it as the shorter path before the NUL.
        m_outbox->fail(SystemError::fromErrno(ENOENT, m_options.startFolder).description);
        return;
    }
    std::optional<FolderRead> start = m_reads->take(m_reads->start(path, MountTable::read()));
    if (!start)
        return;
    note(*start);
    bool walkedToTheEnd = false;
    if (start->error != 0) {
        m_reads->stop();
        m_outbox->fail(SystemError::fromErrno(start->error, m_options.startFolder).description);
    } else {
        walkedToTheEnd = walkBelow(std::move(*start), path);
        m_reads->stop(); // the readers go, whatever ended the walk
    }
    // The receiver hears first: what is kept is merged while it shows the end.
    if (walkedToTheEnd)
        m_outbox->finish();
    KeptRecord::Writing::stop(); // this thread read too
    if (m_keeper) {
        m_harvest.blocks = m_reads->keptBlocks();
        m_keeper->keep(std::move(m_harvest));
    }
}

void Walk::note(const FolderRead& folder) {
    if (folder.fromKept) {
        ++m_counts->kept;
        m_harvest.used.push_back(folder.pathHash);
        return;
    }
    if (folder.error == 0)
        ++m_counts->read;
    if (folder.toKeep)
        m_harvest.read.emplace_back(folder.pathHash, folder.toKeep);
    else if (folder.keptChanged && folder.error != 0)
        m_harvest.gone.push_back(folder.pathHash);
}

// From the start folder to the end; false when stopped on the way.
bool Walk::walkBelow(FolderRead start, std::string& path) {
    struct Step {
        FolderRead folder;
        size_t pathLength;
        size_t next; // subfolders still to walk, counted down
    };
    std::vector<Step> steps;
    const size_t subfolders = start.listing.subfolders.size();
    steps.push_back({std::move(start), path.size(), subfolders});
    while (!steps.empty()) {
        Step& step = steps.back();
        path.resize(step.pathLength);
        if (step.next == 0) {
            if (!handOut(step.folder, path))
                return false;
            steps.pop_back();
            continue;
        }
        const size_t k = --step.next;
        const FolderListing& listing = step.folder.listing;
        const std::string_view name = listing.name(listing.subfolders[k]);
        std::optional<FolderRead> subfolder = m_reads->take(step.folder.firstSubfolderId + k);
        if (!subfolder)
            return false;
        note(*subfolder);
        if (subfolder->error != 0)
            continue; // a folder that cannot be opened is left out, as find leaves it
        if (path != "/")
            path.push_back('/');
        path.append(name);
        const size_t below = subfolder->listing.subfolders.size();
        steps.push_back({std::move(*subfolder), path.size(), below});
    }
    return true;
}

// The folder's entries, made outside every lock; false when nothing more is wanted.
bool Walk::handOut(const FolderRead& folder, const std::string& path) {
    const FolderListing& listing = folder.listing;
    if (listing.files.empty())
        return true;
    const QString decodedPath = FileNames::decode(path);
    QStringList entries;
    if (m_options.listFolders) {
        entries.append(EntryText::folderEntry(m_options, m_startName, decodedPath));
    } else {
        entries.reserve(qsizetype(listing.files.size()));
        const QString prefix = EntryText::filePrefix(decodedPath);
        for (const FolderListing::Name& file : listing.files)
            entries.append(
                EntryText::fileEntry(m_options, prefix, FileNames::decode(listing.name(file))));
    }
    return m_outbox->put(std::move(entries));
}
