#include "core/kept/KeptListings.h"

#include "core/folders/MountTable.h"
#include "core/kept/KeptFile.h"
#include "core/text/FileNames.h"
#include "core/threads/ReadGate.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int KeeperNice = 19;

// The folders that hold `file`, made where missing, for the user alone: what they hold names
// what the user searched.
void makeFoldersOf(const QByteArray& file) {
    for (qsizetype slash = file.indexOf('/', 1); slash > 0; slash = file.indexOf('/', slash + 1))
        mkdir(file.left(slash).constData(), 0700);
}

} // namespace

struct KeptListings::Keeper {
    const Setup setup;
    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::function<void()>> tasks; // under the mutex
    int mergesWaiting = 0;                   // under the mutex
    bool stopping = false;                   // under the mutex
    std::shared_ptr<const KeptSnapshot> published = std::make_shared<KeptSnapshot>();
    // A snapshot handed out is never changed again.

    explicit Keeper(Setup setup) : setup(std::move(setup)) {}

    void ask(std::function<void()> task) {
        {
            const std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        }
        work.notify_one();
    }

    void run() {
        pthread_setname_np(pthread_self(), "trovan-keep");
        // Its work waits: at the lowest priority it never takes a core from a search or the
        // window.
        setpriority(PRIO_PROCESS, id_t(gettid()), KeeperNice);
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return stopping || !tasks.empty(); });
            if (stopping)
                return;
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::shared_ptr<const KeptSnapshot> current() {
        const std::lock_guard lock(mutex);
        return published;
    }
    void publish(std::shared_ptr<KeptSnapshot> snapshot) {
        snapshot->index();
        const std::lock_guard lock(mutex);
        published = std::move(snapshot);
    }
    // Whether another merge waits: the file is written after the last.
    bool moreToMerge() {
        const std::lock_guard lock(mutex);
        return --mergesWaiting > 0;
    }

    void write(const KeptSnapshot& snapshot) {
        if (setup.file.isEmpty())
            return;
        const QByteArray file = FileNames::encode(setup.file);
        makeFoldersOf(file);
        const ReadPass pass(
            MountTable::read().placeOf(std::string_view(file.constData(), size_t(file.size()))),
            [] { return false; });
        KeptFile::write(setup.file, snapshot);
    }

    void load() {
        if (setup.file.isEmpty())
            return;
        const QByteArray file = FileNames::encode(setup.file);
        std::optional<KeptSnapshot> loaded;
        {
            const ReadPass pass(
                MountTable::read().placeOf(std::string_view(file.constData(), size_t(file.size()))),
                [] { return false; });
            loaded = KeptFile::read(setup.file, setup.bound);
        }
        if (!loaded || setup.clock() < loaded->newestRead) {
            write(*current()); // not to be trusted: replaced
            return;
        }
        // Whatever a search kept meanwhile is newer than the file.
        const std::shared_ptr<const KeptSnapshot> now = current();
        for (const auto& [hash, slot] : now->folders)
            loaded->folders[hash] = slot;
        loaded->searches = std::max(loaded->searches, now->searches);
        recount(*loaded);
        publish(std::make_shared<KeptSnapshot>(std::move(*loaded)));
    }

    // The records go as they are made into kept folders, so that the blocks they lie in go one
    // after the other rather than all at the end.
    void merge(KeptHarvest& harvest) {
        auto next = std::make_shared<KeptSnapshot>(*current());
        const uint64_t search = ++next->searches;
        for (const uint64_t hash : harvest.gone)
            next->folders.erase(hash);
        for (const uint64_t hash : harvest.used)
            if (const auto at = next->folders.find(hash); at != next->folders.end())
                at->second.lastUse = search;
        // A block goes once the last record in it is made into a kept folder.
        std::vector<uint32_t> recordsIn(harvest.blocks ? harvest.blocks->count() : 0);
        for (const auto& [hash, record] : harvest.read)
            ++recordsIn[record.block()];
        for (const auto& [hash, record] : harvest.read) {
            next->folders[hash] = {std::make_shared<const KeptFolder>(record.make()), search};
            if (--recordsIn[record.block()] == 0)
                harvest.blocks->release(record.block());
        }
        harvest.read.clear();
        recount(*next);
        evictPastTheBound(*next);
        publish(next);
        if (!moreToMerge())
            write(*next);
    }

    static void recount(KeptSnapshot& snapshot) {
        snapshot.bytes = 0;
        for (const auto& [hash, slot] : snapshot.folders) {
            snapshot.bytes += slot.folder->memoryUse();
            snapshot.newestRead = std::max(snapshot.newestRead, slot.folder->readAt());
        }
    }

    // The folders used longest ago go first: those of the trees searched longest ago.
    void evictPastTheBound(KeptSnapshot& snapshot) const {
        if (snapshot.bytes <= setup.bound)
            return;
        std::vector<std::pair<uint64_t, uint64_t>> byUse; // last use, hash
        byUse.reserve(snapshot.folders.size());
        for (const auto& [hash, slot] : snapshot.folders)
            byUse.emplace_back(slot.lastUse, hash);
        std::sort(byUse.begin(), byUse.end());
        for (const auto& [use, hash] : byUse) {
            if (snapshot.bytes <= setup.bound)
                break;
            const auto at = snapshot.folders.find(hash);
            snapshot.bytes -= at->second.folder->memoryUse();
            snapshot.folders.erase(at);
        }
    }
};

KeptListings::KeptListings(Setup setup)
    : m_clock(setup.clock), m_keeper(std::make_shared<Keeper>(std::move(setup))) {
    std::thread([keeper = m_keeper] { keeper->run(); }).detach();
}

// The keeper is not waited for: a write held by a share must not hold the program's end.
KeptListings::~KeptListings() {
    {
        const std::lock_guard lock(m_keeper->mutex);
        m_keeper->stopping = true;
    }
    m_keeper->work.notify_one();
}

void KeptListings::load() {
    m_keeper->ask([keeper = m_keeper.get()] { keeper->load(); });
}

std::shared_ptr<const KeptSnapshot> KeptListings::snapshot() {
    std::shared_ptr<const KeptSnapshot> snapshot = m_keeper->current();
    if (m_clock() >= snapshot->newestRead)
        return snapshot;
    // The clock went back: nothing kept can be told from a change made after it was read.
    auto empty = std::make_shared<KeptSnapshot>();
    empty->searches = snapshot->searches;
    m_keeper->publish(empty);
    m_keeper->ask([keeper = m_keeper.get(), empty] { keeper->write(*empty); });
    return empty;
}

void KeptListings::keep(KeptHarvest harvest) {
    {
        const std::lock_guard lock(m_keeper->mutex);
        ++m_keeper->mergesWaiting;
    }
    m_keeper->ask([keeper = m_keeper.get(), harvest = std::move(harvest)]() mutable {
        keeper->merge(harvest);
    });
}

void KeptListings::whenSettled(std::function<void()> done) {
    m_keeper->ask(std::move(done));
}
