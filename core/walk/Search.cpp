#include "core/walk/Search.h"

#include "core/text/NamePattern.h"
#include "core/threads/Mailbox.h"
#include "core/walk/EntryOutbox.h"
#include "core/walk/ReadAhead.h"
#include "core/walk/Walk.h"

#include <sys/resource.h>
#include <thread>

namespace {

// Folders deep in a tree each hold a descriptor while their subfolders wait: allow as many as
// the system lets this process have.
void allowManyDescriptors() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

} // namespace

Search::Search(QObject* parent) : QObject(parent), m_mailbox(Mailbox::to(this)) {}

Search::~Search() {
    m_mailbox->close();
    cancel();
}

void Search::start(const SearchOptions& options) {
    cancel();
    allowManyDescriptors();
    SearchOptions walked = options;
    if (walked.startFolder.size() > 1 && walked.startFolder.endsWith(u'/'))
        walked.startFolder.chop(1);
    const NewestWins::Ticket ticket = m_runs.next();
    auto tell = [mailbox = m_mailbox, ticket] {
        mailbox->deliver<Search>([ticket](Search& search) { search.look(ticket); });
    };
    ReadAhead::Setup reads;
    reads.pattern = NamePattern(options.pattern);
    reads.includeSubfolders = options.includeSubfolders;
    reads.fixedReaders = m_readAheadThreads;
    if (m_kept) {
        reads.kept = m_kept->snapshot();
        reads.clock = m_kept->clock();
        reads.keepBudget = m_keepBudget;
        reads.blocks = std::make_shared<KeptBlocks>();
    }
    m_run = std::make_unique<Run>();
    m_run->reads = std::make_shared<ReadAhead>(std::move(reads));
    m_run->outbox = std::make_shared<EntryOutbox>(m_entriesWaitingLimit, std::move(tell));
    m_run->counts = std::make_shared<Walk::Counts>();
    std::thread([walk = std::make_shared<Walk>(walked, m_run->reads, m_run->outbox, m_kept,
                                               m_run->counts)] {
        walk->run();
    }).detach();
}

void Search::setKeptListings(std::shared_ptr<KeptListings> kept, size_t budget) {
    m_kept = std::move(kept);
    m_keepBudget = budget;
}

void Search::cancel() {
    m_leftOver.clear();
    if (!m_run)
        return;
    m_runs.dropAll();
    m_run->outbox->stop();
    m_run->reads->stop();
    end();
}

void Search::end() {
    m_lastReadThreads = m_run->reads->readingThreads();
    // Up to the end or the stop: a search the full list stopped read only part of the tree.
    m_lastFoldersRead = m_run->counts->read;
    m_lastFoldersKept = m_run->counts->kept;
    m_run.reset();
}

QStringList Search::takeEntries() {
    if (!m_run)
        return std::exchange(m_leftOver, {});
    return m_run->outbox->take();
}

bool Search::isHeldBack() const {
    return m_run && m_run->outbox->isHeldBack();
}

void Search::look(const NewestWins::Ticket& ticket) {
    if (ticket.isStale() || !m_run)
        return; // a cancelled walk's late word
    const EntryOutbox::Look outbox = m_run->outbox->look();
    if (!outbox.failure.isEmpty()) {
        m_runs.dropAll();
        end();
        emit failed(outbox.failure);
        return;
    }
    if (outbox.done) {
        // What is left stays to be taken after the walk is gone, so that a new search may
        // start from the signal.
        m_leftOver = takeEntries();
        m_runs.dropAll();
        end();
        emit finished();
        return;
    }
    if (outbox.hasEntries)
        emit entriesReady();
}
