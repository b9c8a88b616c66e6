// Kept listings on real folders: a search of a tree searched before finds exactly what a fresh
// walk finds, whatever changed in between, and takes the unchanged folders from what was kept.
// Random changes between searches (also right after one), compared entry for entry with a
// fresh walk, on tmpfs and, where root may mount one, on an ext2 image with stamps of whole
// seconds; the racy margin and the clock stepping back with a clock of the test's; a mount laid
// over a kept folder; a link that turns from a file into a folder; the kept file between runs,
// its bound, and files that are not to be trusted.

#include "core/folders/FolderStamp.h"
#include "core/folders/KeptFolder.h"
#include "core/folders/MountTable.h"
#include "core/kept/KeptFile.h"
#include "core/kept/KeptListings.h"
#include "core/text/FileNames.h"
#include "core/walk/Search.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Set in main(), before Qt starts a thread: a namespace can only be left single-threaded.
QString ownNamespaceRefused;

constexpr int64_t Second = 1000000000;

// The kept listings' clock: the system's moved by `shift`, or `fixed` when that is not 0.
std::atomic<int64_t> shift{0};
std::atomic<int64_t> fixed{0};
int64_t testClock() {
    const int64_t at = fixed;
    return at != 0 ? at : systemClock() + shift;
}
struct ClockSet {
    ClockSet(int64_t shiftBy, int64_t fixedAt = 0) {
        shift = shiftBy;
        fixed = fixedAt;
    }
    ~ClockSet() {
        shift = 0;
        fixed = 0;
    }
};

QByteArray bytes(const QString& path) {
    return FileNames::encode(path);
}

bool keepsListingsAt(const QString& folder) {
    const QByteArray path = bytes(folder);
    const MountTable table = MountTable::read();
    return table.keepsListings(table.volumeOf(std::string_view(path.constData(), path.size())));
}

// The file system's clock ticks more coarsely than the system's: a change in the tick of a read
// can leave a stamp as it was. With the margin moved out of the way by the test's clock, each
// change waits for the next tick of the clock the file system reads.
void waitForTheNextTick(clockid_t clock = CLOCK_REALTIME_COARSE, int64_t unit = 1) {
    timespec start{}, now{};
    clock_gettime(clock, &start);
    do {
        std::this_thread::yield();
        clock_gettime(clock, &now);
    } while ((int64_t(now.tv_sec) * Second + now.tv_nsec) / unit ==
             (int64_t(start.tv_sec) * Second + start.tv_nsec) / unit);
}

SearchOptions optionsFor(const QString& start, const QString& pattern) {
    SearchOptions options;
    options.startFolder = start;
    options.pattern = pattern;
    options.includeSubfolders = true;
    return options;
}

// Waits until the keeper has done all it was asked.
void settle(KeptListings& kept) {
    std::atomic<bool> settled{false};
    kept.whenSettled([&] { settled = true; });
    if (!QTest::qWaitFor([&] { return settled.load(); }, 30000))
        QTest::qFail("the keeper did not settle", __FILE__, __LINE__);
}

// What was kept read from its file, before anything is searched.
void load(KeptListings& kept) {
    kept.load();
    settle(kept);
}

// A search that keeps its listings in `kept`, run to its end, and the keeper settled after it.
SearchOutcome keptSearch(KeptListings& kept, const SearchOptions& options, size_t budget = 0) {
    Search search;
    search.setKeptListings(std::shared_ptr<KeptListings>(&kept, [](KeptListings*) {}),
                           budget ? budget : KeptListings::DefaultBound);
    SearchOutcome outcome = runSearch(search, options);
    settle(kept);
    return outcome;
}

// Random changes to a tree, of every kind that changes what a search finds.
class Changes {
public:
    explicit Changes(const QString& root) : m_root(root) {}

    void makeTree() {
        for (int i = 0; i < 30; ++i)
            makeFolder();
        for (int i = 0; i < 150; ++i)
            makeFile();
        for (int i = 0; i < 6; ++i)
            retargetLink();
    }

    QString apply(int count) {
        QStringList done;
        for (int i = 0; i < count; ++i)
            done.append(applyOne());
        return done.join(u", ");
    }

private:
    // Kept growing a little, so that the tree never withers to its root.
    QString applyOne() {
        switch (m_random.bounded(12)) {
        case 0:
        case 1:
            return makeFile();
        case 2:
            return makeFolder();
        case 3:
            return remove(pick(QDir::Files | QDir::System), false);
        case 4:
            return remove(leaf(), true);
        case 5:
            return move(pick(QDir::Files | QDir::System));
        case 6:
            return move(pick(QDir::Dirs));
        case 7:
        case 8:
            return retargetLink();
        case 9:
            return replaceFolderByFile();
        default:
            return changePermissions();
        }
    }

    QString name() {
        static const char* stems[] = {"a", "B", "report", "Ny", "lista", "x"};
        static const char* endings[] = {".txt", ".TXT", ".log", "", ".tar.gz", ".doc"};
        return QString::fromLatin1(stems[m_random.bounded(6)]) +
               QString::number(m_random.bounded(40)) +
               QString::fromLatin1(endings[m_random.bounded(6)]);
    }

    QStringList all(QDir::Filters filters) {
        QStringList found;
        QDirIterator it(m_root, filters | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(it.next());
        return found;
    }
    // A folder or an entry of the kind asked for; the root for a folder when there is none.
    QString pick(QDir::Filters filters) {
        const QStringList found = all(filters);
        if (found.isEmpty())
            return filters & QDir::Dirs ? m_root : QString();
        return found[m_random.bounded(int(found.size()))];
    }
    // A folder without subfolders.
    QString leaf() {
        QStringList leaves;
        for (const QString& folder : all(QDir::Dirs))
            if (QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
                leaves.append(folder);
        return leaves.isEmpty() ? m_root : leaves[m_random.bounded(int(leaves.size()))];
    }
    QString anyFolder() {
        QStringList found = all(QDir::Dirs);
        found.append(m_root);
        return found[m_random.bounded(int(found.size()))];
    }

    QString makeFile() {
        const QString file = anyFolder() + u'/' + name();
        const int fd = open(bytes(file).constData(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            close(fd);
        return "file " + file;
    }
    QString makeFolder() {
        const QString folder = anyFolder() + u'/' + name();
        mkdir(bytes(folder).constData(), 0755);
        return "folder " + folder;
    }
    QString remove(const QString& path, bool folder) {
        if (path.isEmpty() || path == m_root)
            return "nothing";
        if (folder)
            QDir(path).removeRecursively();
        else
            unlink(bytes(path).constData());
        return "removed " + path;
    }
    // Into another folder, or under another name in its own; never into itself.
    QString move(const QString& path) {
        if (path.isEmpty() || path == m_root)
            return "nothing";
        const QString into = anyFolder();
        if (into == path || into.startsWith(path + u'/'))
            return "nothing";
        const QString to = into + u'/' + name();
        rename(bytes(path).constData(), bytes(to).constData());
        return "moved " + path + " to " + to;
    }
    // A link named like a file the pattern takes, to a file, a folder or nothing.
    QString retargetLink() {
        const QString link = anyFolder() + "/l" + QString::number(m_random.bounded(8)) + ".txt";
        const int kind = m_random.bounded(3);
        const QString target = kind == 0   ? pick(QDir::Files)
                               : kind == 1 ? anyFolder()
                                           : m_root + "/nowhere";
        unlink(bytes(link).constData());
        if (symlink(bytes(target).constData(), bytes(link).constData()) != 0)
            return "no link " + link;
        return "link " + link + " to " + target;
    }
    QString replaceFolderByFile() {
        const QString folder = leaf();
        if (folder == m_root)
            return "nothing";
        QDir(folder).removeRecursively();
        const int fd = open(bytes(folder).constData(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            close(fd);
        return "folder made a file " + folder;
    }
    QString changePermissions() {
        const QString folder = pick(QDir::Dirs);
        struct stat info {};
        if (folder == m_root || stat(bytes(folder).constData(), &info) != 0)
            return "nothing";
        chmod(bytes(folder).constData(), (info.st_mode & 0777) == 0755 ? 0 : 0755);
        return "permissions of " + folder;
    }

    QString m_root;
    QRandomGenerator m_random{20261208};
};

// Searches `root` again and again with random changes between, each search compared with a
// fresh walk's: first with the system's clock and the changes right after each search, where
// the margin alone keeps what was kept from being trusted; then with the test's clock an hour
// ahead, so that what was kept is used at once, each change in a later tick of the file
// system's clock than the search before it. Returns how many folders came from what was kept.
size_t compareWithFreshWalks(const QString& root, int rounds, clockid_t tick, int64_t tickUnit) {
    KeptListings kept({{}, KeptListings::DefaultBound, testClock});
    Changes changes(root);
    changes.makeTree();
    const QStringList patterns = {"*.txt", "*.*", "l*", "*.log;*.TXT", "a*;B*"};
    size_t fromKept = 0, read = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool pastTheMargin = round >= rounds / 2;
        const ClockSet clock(pastTheMargin ? 3600 * Second : 0);
        SearchOptions options = optionsFor(root, patterns[round % patterns.size()]);
        options.listFolders = round % 5 == 4;
        const SearchOutcome repeated = keptSearch(kept, options);
        const SearchOutcome fresh = runSearch(options);
        [&] {
            QCOMPARE(repeated.failures, fresh.failures);
            QCOMPARE(repeated.entries, fresh.entries);
        }();
        if (QTest::currentTestFailed()) {
            qWarning("in round %d", round);
            return fromKept;
        }
        fromKept += repeated.foldersKept;
        read += repeated.foldersRead;
        if (pastTheMargin)
            waitForTheNextTick(tick, tickUnit);
        changes.apply(1 + round % 4);
    }
    [&] { QVERIFY(read > 0); }();
    return fromKept;
}

// A folder of this test's on tmpfs; empty when there is none.
QString onTmpfs(QTemporaryDir& dir) {
    if (!dir.isValid())
        return {};
    const QString root = QFileInfo(dir.path()).canonicalFilePath();
    return keepsListingsAt(root) ? root : QString();
}

// An ext2 image with inodes of 128 bytes (stamps of whole seconds), mounted at `point` in this
// test's own mount namespace; false when that cannot be had here.
bool mountExt2(const QString& image, const QString& point) {
    if (!ownNamespaceRefused.isEmpty() || geteuid() != 0)
        return false;
    return QProcess::execute("truncate", {"-s", "8M", image}) == 0 &&
           QProcess::execute("mkfs.ext2", {"-q", "-F", "-I", "128", image}) == 0 &&
           QProcess::execute("mount", {"-o", "loop", "-t", "ext2", image, point}) == 0;
}

} // namespace

class CoreKeptTest : public QObject {
    Q_OBJECT
private slots:
    // On tmpfs (fine stamps): random changes between searches, also right after one, and a
    // search of the same tree never differs from a fresh walk; past the margin, folders that did
    // not change come from what was kept. Also run as the user nobody, for whom a folder without
    // permissions cannot be read or entered.
    void aRepeatedSearchIsAFreshWalkOnTmpfs() {
        QTemporaryDir dir(QStringLiteral("/dev/shm/trovan-kept-XXXXXX"));
        const QString root = onTmpfs(dir);
        if (root.isEmpty())
            QSKIP("no tmpfs at /dev/shm to keep listings on");
        struct GiveBackPermissions { // so that the tree can be removed
            QString root;
            ~GiveBackPermissions() { QProcess::execute("chmod", {"-R", "u+rwx", root}); }
        } giveBack{root};
        const size_t fromKept = compareWithFreshWalks(root, 40, CLOCK_REALTIME_COARSE, 1);
        QVERIFY2(fromKept > 100, qPrintable(QString::number(fromKept)));
    }

    // On ext2 with stamps of whole seconds: a change in the same second as a search leaves the
    // folder's stamp as it was, and the margin alone tells that its kept names cannot be
    // trusted; past the margin, with a second between each search and the changes after it.
    void aRepeatedSearchIsAFreshWalkOnCoarseStamps() {
        QTemporaryDir dir;
        const QString point = dir.path() + "/mounted";
        QDir().mkpath(point);
        if (!mountExt2(dir.path() + "/ext2.img", point))
            QSKIP("needs root to mount an ext2 image in a mount namespace of its own");
        struct Unmount {
            QString point;
            ~Unmount() { umount2(bytes(point).constData(), MNT_DETACH); }
        } unmount{point};
        const QString root = point + "/tree";
        QDir().mkpath(root);
        QVERIFY(keepsListingsAt(root));

        // The same second: search, change, search. A change in the same second leaves the
        // stamp as it was; should the second tick in between, the round goes again.
        KeptListings kept({{}, KeptListings::DefaultBound, testClock});
        const SearchOptions options = optionsFor(root, "*.txt");
        bool sameSecond = false;
        for (int attempt = 0; attempt < 5 && !sameSecond; ++attempt) {
            const QString folder = root + "/same" + QString::number(attempt);
            waitForTheNextTick(CLOCK_REALTIME_COARSE, Second);
            QDir().mkpath(folder);
            keptSearch(kept, options);
            const std::optional<FolderStamp> stamp = FolderStamp::at(bytes(folder).constData());
            close(open(bytes(folder + "/ny.txt").constData(), O_WRONLY | O_CREAT, 0644));
            sameSecond = stamp && FolderStamp::at(bytes(folder).constData()) == stamp;
            const SearchOutcome after = keptSearch(kept, options);
            QVERIFY(after.entries.contains(folder + "/ny.txt"));
            QCOMPARE(after.entries, runSearch(options).entries);
        }
        QVERIFY(sameSecond);

        const size_t fromKept = compareWithFreshWalks(root, 8, CLOCK_REALTIME_COARSE, Second);
        QVERIFY(fromKept > 0);
    }

    // The margin, with the clock of the test fixed at a folder's stamp plus three seconds, one
    // nanosecond either side: only a stamp settled more than three seconds before the read is
    // trusted. The clock stepping back drops everything kept.
    void theMarginAndTheClockDecideWhatIsTrusted() {
        QTemporaryDir dir(QStringLiteral("/dev/shm/trovan-kept-XXXXXX"));
        const QString root = onTmpfs(dir);
        if (root.isEmpty())
            QSKIP("no tmpfs at /dev/shm to keep listings on");
        for (const char* name : {"a.txt", "b.txt", "c.doc"})
            close(open(bytes(root + u'/' + name).constData(), O_WRONLY | O_CREAT, 0644));
        const SearchOptions options = optionsFor(root, "*.txt");
        const QStringList expected = runSearch(options).entries;
        const int64_t latest = FolderStamp::at(bytes(root).constData())->latest();

        for (const int64_t off : {int64_t(1), int64_t(0), int64_t(-1)}) {
            KeptListings kept({{}, KeptListings::DefaultBound, testClock});
            const int64_t readAt = latest + KeptFolder::SettledMargin + off;
            {
                const ClockSet clock(0, readAt);
                QCOMPARE(keptSearch(kept, options).foldersRead, size_t(1));
            }
            const ClockSet later(0, readAt + Second);
            const SearchOutcome again = keptSearch(kept, options);
            QCOMPARE(again.entries, expected);
            QCOMPARE(again.foldersKept, off > 0 ? size_t(1) : size_t(0));
        }

        KeptListings kept({{}, KeptListings::DefaultBound, testClock});
        {
            const ClockSet clock(3600 * Second);
            keptSearch(kept, options);
            QCOMPARE(keptSearch(kept, options).foldersKept, size_t(1));
        }
        const ClockSet back(-3600 * Second);
        const SearchOutcome afterTheStep = keptSearch(kept, options);
        QCOMPARE(afterTheStep.foldersKept, size_t(0));
        QCOMPARE(afterTheStep.entries, expected);
        QCOMPARE(kept.snapshot()->folders.size(), size_t(1)); // read again, and kept anew
    }

    // What a stamp cannot tell is looked at every time: a mount laid over a kept folder, and a
    // link named like a file whose target turns from a file into a folder, its own folder's
    // stamp unchanged.
    void aMountAndALinkAreLookedAtEveryTime() {
        QTemporaryDir dir(QStringLiteral("/dev/shm/trovan-kept-XXXXXX"));
        const QString root = onTmpfs(dir);
        if (root.isEmpty())
            QSKIP("no tmpfs at /dev/shm to keep listings on");
        QDir().mkpath(root + "/under/deep");
        QDir().mkpath(root + "/targets");
        close(open(bytes(root + "/under/deep/old.txt").constData(), O_WRONLY | O_CREAT, 0644));
        close(open(bytes(root + "/targets/t").constData(), O_WRONLY | O_CREAT, 0644));
        QVERIFY(symlink(bytes(root + "/targets/t").constData(),
                        bytes(root + "/länk.txt").constData()) == 0);
        const ClockSet clock(3600 * Second);
        KeptListings kept({{}, KeptListings::DefaultBound, testClock});
        const SearchOptions options = optionsFor(root, "*.txt");
        QCOMPARE(keptSearch(kept, options).entries,
                 QStringList({root + "/under/deep/old.txt", root + "/länk.txt"}));

        QVERIFY(unlink(bytes(root + "/targets/t").constData()) == 0);
        QVERIFY(mkdir(bytes(root + "/targets/t").constData(), 0755) == 0);
        SearchOutcome again = keptSearch(kept, options);
        QCOMPARE(again.entries, QStringList{root + "/under/deep/old.txt"});
        QCOMPARE(again.entries, runSearch(options).entries);
        QVERIFY(again.foldersKept >= 3); // the root among them: its stamp did not change

        if (!ownNamespaceRefused.isEmpty() || geteuid() != 0)
            QSKIP("needs root to mount in a mount namespace of its own");
        QVERIFY(mount("tmpfs", bytes(root + "/under").constData(), "tmpfs", 0, nullptr) == 0);
        close(open(bytes(root + "/under/mounted.txt").constData(), O_WRONLY | O_CREAT, 0644));
        again = keptSearch(kept, options);
        umount2(bytes(root + "/under").constData(), MNT_DETACH);
        QCOMPARE(again.entries, QStringList{root + "/under/mounted.txt"});
    }

    // Between runs the listings live in one file of mode 0600: the next start takes every
    // folder from it. Past the bound, the trees searched longest ago go first.
    void theFileCarriesThemBetweenRunsWithinTheBound() {
        QTemporaryDir dir(QStringLiteral("/dev/shm/trovan-kept-XXXXXX"));
        const QString root = onTmpfs(dir);
        if (root.isEmpty())
            QSKIP("no tmpfs at /dev/shm to keep listings on");
        const ClockSet clock(3600 * Second);
        for (const char* tree : {"first", "second", "third"})
            for (int i = 0; i < 30; ++i) {
                const QString folder = root + u'/' + tree + "/f" + QString::number(i);
                QDir().mkpath(folder);
                close(open(bytes(folder + "/n.txt").constData(), O_WRONLY | O_CREAT, 0644));
            }
        const QString file = root + "/kept/listings";
        QDir().mkpath(root + "/kept");
        const SearchOptions first = optionsFor(root + "/first", "*.txt");
        {
            KeptListings kept({file, KeptListings::DefaultBound, testClock});
            load(kept);
            QCOMPARE(keptSearch(kept, first).foldersRead, size_t(31));
        }
        struct stat info {};
        QVERIFY(stat(bytes(file).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        KeptListings restarted({file, KeptListings::DefaultBound, testClock});
        load(restarted);
        const SearchOutcome again = keptSearch(restarted, first);
        QCOMPARE(again.foldersKept, size_t(31));
        QCOMPARE(again.entries, runSearch(first).entries);

        // Room for two trees and half a folder: the first, searched longest ago, goes.
        const size_t tree = restarted.snapshot()->bytes;
        const size_t bound = tree * 2 + tree / 31 / 2;
        KeptListings bounded({file, bound, testClock});
        load(bounded);
        keptSearch(bounded, first);
        keptSearch(bounded, optionsFor(root + "/second", "*.txt"));
        keptSearch(bounded, optionsFor(root + "/third", "*.txt"));
        QVERIFY(bounded.snapshot()->bytes <= bound);
        QCOMPARE(keptSearch(bounded, optionsFor(root + "/third", "*.txt")).foldersKept, size_t(31));
        QCOMPARE(keptSearch(bounded, first).foldersKept, size_t(0));
    }

    // A share never: a mirror through FUSE (stallfs, tests/fuse) is read every time, and
    // nothing of it is kept. Runs where the mirror is mounted (ctest kept_share).
    void aShareIsNeverKept() {
        const QString source = qEnvironmentVariable("STALLFS_SOURCE");
        if (source.isEmpty())
            QSKIP("runs under tests/fuse/run-blocked-read.sh, which mounts the mirror");
        for (const char* folder : {"tree/a", "tree/b"}) {
            QDir().mkpath(source + u'/' + folder);
            close(open(bytes(source + u'/' + folder + "/f.txt").constData(), O_WRONLY | O_CREAT,
                       0644));
        }
        const ClockSet clock(3600 * Second);
        KeptListings kept({{}, KeptListings::DefaultBound, testClock});
        const SearchOptions options =
            optionsFor(qEnvironmentVariable("STALLFS_MOUNT") + "/tree", "*.txt");
        QCOMPARE(keptSearch(kept, options).foldersRead, size_t(3));
        const SearchOutcome again = keptSearch(kept, options);
        QCOMPARE(again.foldersRead, size_t(3));
        QCOMPARE(again.foldersKept, size_t(0));
        QCOMPARE(again.entries.size(), 2);
        QVERIFY(kept.snapshot()->folders.empty());
    }

    // A kept file that is damaged, cut short, of another version or another user, not a plain
    // file, or larger than the bound is not trusted at all, and is replaced.
    void aFileNotToBeTrustedIsIgnoredAndReplaced() {
        QTemporaryDir dir(QStringLiteral("/dev/shm/trovan-kept-XXXXXX"));
        const QString root = onTmpfs(dir);
        if (root.isEmpty())
            QSKIP("no tmpfs at /dev/shm to keep listings on");
        const ClockSet clock(3600 * Second);
        for (int i = 0; i < 5; ++i)
            QDir().mkpath(root + "/tree/f" + QString::number(i));
        const QString file = root + "/listings";
        const SearchOptions options = optionsFor(root + "/tree", "*");
        {
            KeptListings kept({file, KeptListings::DefaultBound, testClock});
            keptSearch(kept, options);
        }
        QFile good(file);
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray valid = good.readAll();
        good.close();
        QVERIFY(KeptFile::read(file, KeptListings::DefaultBound).has_value());

        // After the search that follows, a plain file of the user's is replaced by one to trust.
        const auto damaged = [&](const char* why, const std::function<void()>& spoil,
                                 size_t bound = KeptListings::DefaultBound, bool replaced = true) {
            QFile::remove(file);
            QDir(file).removeRecursively();
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(valid);
            out.close();
            spoil();
            KeptListings kept({file, bound, testClock});
            load(kept);
            QVERIFY2(keptSearch(kept, options).foldersKept == 0, why);
            QVERIFY2(KeptFile::read(file, bound).has_value() == replaced, why);
        };
        const auto rewrite = [&](qsizetype at, char byte) {
            return [&, at, byte] {
                QFile out(file);
                QVERIFY(out.open(QIODevice::ReadWrite));
                QVERIFY(out.seek(at < 0 ? out.size() + at : at));
                out.write(&byte, 1);
            };
        };
        damaged("a byte of a name", rewrite(valid.size() / 2, '\x7f'));
        damaged("the checksum", rewrite(-1, valid.back() ^ 1));
        damaged("another version", rewrite(8, char(KeptFile::Version + 1)));
        damaged("cut short", [&] { QVERIFY(truncate(bytes(file).constData(), 40) == 0); });
        damaged(
            "larger than the bound", [] {}, size_t(valid.size() - 1));
        damaged(
            "a link to a good file",
            [&] {
                QVERIFY(rename(bytes(file).constData(), bytes(file + ".real").constData()) == 0);
                QVERIFY(symlink(bytes(file + ".real").constData(), bytes(file).constData()) == 0);
            },
            KeptListings::DefaultBound, false);
        damaged(
            "a folder",
            [&] {
                QFile::remove(file);
                QVERIFY(QDir().mkpath(file));
            },
            KeptListings::DefaultBound, false);
        QDir(file).removeRecursively();
        if (geteuid() == 0)
            damaged("another user's",
                    [&] { QVERIFY(chown(bytes(file).constData(), 4242, 4242) == 0); });
    }
};

int main(int argc, char* argv[]) {
    ownNamespaceRefused = enterOwnMountNamespace();
    QCoreApplication application(argc, argv);
    CoreKeptTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_core_kept.moc"
