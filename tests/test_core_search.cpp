// The walk on real temporary trees, through Search's public API alone: start(), the signals,
// takeEntries() and cancel(). Order, entry forms, hidden names, links and loops, odd bytes,
// a tree deeper than the longest path, cancelling, failures, an oracle against find, delivery
// a whole folder at a time, bounded run-ahead and the read-ahead threads.

#include "core/folders/FolderOpener.h"
#include "core/text/FileNames.h"
#include "core/walk/ReadDepth.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using Outcome = SearchOutcome;

SearchOptions optionsFor(const QString& start, const QString& pattern, bool subfolders = true) {
    SearchOptions options;
    options.startFolder = start;
    options.pattern = pattern;
    options.includeSubfolders = subfolders;
    return options;
}

Outcome run(const SearchOptions& options, int readAheadThreads = -1,
            qsizetype entriesWaitingLimit = 0) {
    return runSearch(options, readAheadThreads, entriesWaitingLimit);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// S with subfolders A (holding A1) and B, each with one matching file.
void makeExampleTree(const TestTree& tree) {
    tree.file("S/s.txt");
    tree.file("S/A/a.txt");
    tree.file("S/A/A1/a1.txt");
    tree.file("S/B/b.txt");
    tree.file("S/B/other.doc");
}

// Removes a tree whose paths are too long for Qt's own removal, or whose names it cannot spell.
struct RemovedAtEnd {
    QString path;
    ~RemovedAtEnd() { QProcess::execute("rm", {"-rf", "--", path}); }
};

void expectFinishedQuietly(const Outcome& outcome) {
    QCOMPARE(outcome.failures, QStringList{});
    QCOMPARE(outcome.finished, 1);
}

// A tree of `folders` folders of `files` files each, "F000/f000.dat" and so on.
void makeWideTree(const TestTree& tree, const QString& top, int folders, int files) {
    for (int d = 0; d < folders; ++d) {
        const QString folder =
            tree.folder(QStringLiteral("%1/F%2").arg(top).arg(d, 3, 10, QLatin1Char('0')));
        const QByteArray base = FileNames::encode(folder);
        for (int f = 0; f < files; ++f) {
            const QByteArray name =
                base + "/f" + QByteArray::number(f).rightJustified(3, '0') + ".dat";
            ::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644));
        }
    }
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// Resets the process's peak resident memory to what it holds now (Linux 4.0 and later).
bool resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

qint64 peakMemoryKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

class CoreSearchTest : public QObject {
    Q_OBJECT
private slots:
    // --- order and forms --------------------------------------------------------------------

    void walksSubfoldersLastFirstAndListsAFolderAfterItsSubfolders() {
        TestTree tree;
        makeExampleTree(tree);
        const QString s = tree.path("S");
        const Outcome outcome = run(optionsFor(s, "*.txt"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries,
                 (QStringList{s + "/B/b.txt", s + "/A/A1/a1.txt", s + "/A/a.txt", s + "/s.txt"}));
        // A start folder given with a trailing separator reads the same.
        QCOMPARE(run(optionsFor(s + "/", "*.txt")).entries, outcome.entries);
    }

    void subfoldersAreOrderedIgnoringCase() {
        TestTree tree;
        for (const char* folder : {"b", "A", "C", "a2", "x", "X", "Åsa", "zeta"})
            tree.file(QString::fromUtf8(folder) + "/f.txt");
        // Sorted ignoring case (then upper before lower): A a2 b C x X zeta Åsa; walked last first.
        const QStringList order{"Åsa", "zeta", "x", "X", "C", "b", "a2", "A"};
        QStringList expected;
        for (const QString& folder : order)
            expected.append(tree.path(folder + "/f.txt"));
        QCOMPARE(run(optionsFor(tree.root(), "*.txt")).entries, expected);
        // A folder's own files come sorted the same way (FolderReader.h).
        for (const char* file : {"c.txt", "B.txt", "a.txt", "b.txt", "\xc3\xa5.txt"})
            tree.file(QStringLiteral("F/") + QString::fromUtf8(file));
        QCOMPARE(run(optionsFor(tree.path("F"), "*.txt")).entries,
                 (QStringList{tree.path("F/a.txt"), tree.path("F/B.txt"), tree.path("F/b.txt"),
                              tree.path("F/c.txt"), tree.path("F/å.txt")}));
    }

    void withoutSubfoldersOnlyTheStartFolderIsListed() {
        TestTree tree;
        makeExampleTree(tree);
        const QString s = tree.path("S");
        QCOMPARE(run(optionsFor(s, "*.txt", false)).entries, QStringList{s + "/s.txt"});
        SearchOptions folders = optionsFor(s, "*.txt", false);
        folders.listFolders = true;
        QCOMPARE(run(folders).entries, QStringList{s});
        folders.pattern = "*.doc";
        QCOMPARE(run(folders).entries, QStringList{});
    }

    void entryForms() {
        TestTree tree;
        makeExampleTree(tree);
        tree.file("S/A/archive.tar.gz");
        tree.file("S/X/Y/y.txt"); // X holds a match only below it
        const QString s = tree.path("S");
        SearchOptions options = optionsFor(s, "*.txt");
        options.listFolders = true;
        QCOMPARE(run(options).entries,
                 (QStringList{s + "/X/Y", s + "/B", s + "/A/A1", s + "/A", s}));
        options.fullPaths = false;
        QCOMPARE(run(options).entries, (QStringList{"S/X/Y", "S/B", "S/A/A1", "S/A", "S"}));
        options.pattern = "*.doc";
        QCOMPARE(run(options).entries, QStringList{"S/B"});
        options.fullPaths = true;
        QCOMPARE(run(options).entries, QStringList{s + "/B"});

        options = optionsFor(s + "/A", "*.gz");
        options.keepExtensions = false;
        QCOMPARE(run(options).entries, QStringList{s + "/A/archive.tar"});
        options = optionsFor(s, "*.txt");
        options.fullPaths = false;
        QCOMPARE(run(options).entries, (QStringList{"y.txt", "b.txt", "a1.txt", "a.txt", "s.txt"}));
        options.keepExtensions = false;
        QCOMPARE(run(options).entries, (QStringList{"y", "b", "a1", "a", "s"}));
        const Outcome none = run(optionsFor(s, "*.none"));
        expectFinishedQuietly(none);
        QCOMPARE(none.entries, QStringList{});
    }

    void cuttingExtensionsNeverReachesIntoTheFolderPart() {
        TestTree tree;
        const QString dotted = tree.folder("my.folder");
        tree.file("my.folder/README");
        tree.file("my.folder/report.txt");
        tree.file("my.folder/trailing.");
        tree.file("my.folder/two..");
        SearchOptions options = optionsFor(dotted, "*.*");
        options.keepExtensions = false;
        QCOMPARE(sorted(run(options).entries), sorted({dotted + "/README", dotted + "/report",
                                                       dotted + "/trailing", dotted + "/two."}));
        options.fullPaths = false;
        QCOMPARE(sorted(run(options).entries), sorted({"README", "report", "trailing", "two."}));
    }

    void theRootAsStartFolder() {
        SearchOptions options = optionsFor("/", "no-such-name-*.xyz", false);
        Outcome outcome = run(options);
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries, QStringList{});
        if (geteuid() != 0 || access("/", W_OK) != 0)
            QSKIP("a file in the root needs root");
        const QString name = QStringLiteral("trovan-core-test-%1.rtx").arg(getpid());
        QFile rootFile("/" + name);
        QVERIFY(rootFile.open(QIODevice::WriteOnly));
        rootFile.close();
        options.pattern = "trovan-core-test-*.rtx";
        const QStringList full = run(options).entries;
        options.listFolders = true;
        options.fullPaths = false;
        const QStringList folder = run(options).entries;
        options.fullPaths = true;
        const QStringList folderFull = run(options).entries;
        rootFile.remove();
        QCOMPARE(full, QStringList{"/" + name}); // one separator
        QCOMPARE(folder, QStringList{"/"});      // the root, never an empty entry
        QCOMPARE(folderFull, QStringList{"/"});
    }

    // --- hidden names, links, special files ---------------------------------------------------

    void hiddenNamesAreNeitherListedNorWalked() {
        TestTree tree;
        tree.file("S/.hidden.txt");
        tree.file("S/.git/inside.txt");
        tree.file("S/real/r.txt");
        tree.file("S/real/.h/deep.txt");
        QCOMPARE(run(optionsFor(tree.path("S"), "*.txt")).entries,
                 QStringList{tree.path("S/real/r.txt")});
        QCOMPARE(run(optionsFor(tree.path("S"), ".*")).entries, QStringList{});
        // A hidden start folder is walked: only what lies in it is judged.
        QCOMPARE(run(optionsFor(tree.path("S/.git"), "*")).entries,
                 QStringList{tree.path("S/.git/inside.txt")});
    }

    void linksToFoldersAreNeverWalkedAndLoopsEnd() {
        TestTree tree;
        tree.file("S/real/r.txt");
        tree.file("elsewhere/e.txt");
        tree.link("S/loop", tree.path("S"));         // to its own parent
        tree.link("S/real/up", tree.path("S/real")); // to itself, through the folder
        tree.link("S/self", tree.path("S/self"));    // a link to itself
        tree.link("S/x1", tree.path("S/x2"));        // two links to each other
        tree.link("S/x2", tree.path("S/x1"));
        tree.link("S/away", tree.path("elsewhere"));             // to a folder outside
        tree.link("S/relative", "real");                         // a relative link to a folder
        tree.link("S/file-link.txt", tree.path("S/real/r.txt")); // to a file: a file
        tree.link("S/dangling.txt", tree.path("S/nothing.txt")); // left out
        QVERIFY(mkfifo(FileNames::encode(tree.path("S/fifo.txt")).constData(), 0644) == 0);
        const Outcome outcome = run(optionsFor(tree.path("S"), "*"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries,
                 (QStringList{tree.path("S/real/r.txt"), tree.path("S/file-link.txt")}));
        // Folder mode: the same folders, none reached through a link.
        SearchOptions folders = optionsFor(tree.path("S"), "*");
        folders.listFolders = true;
        QCOMPARE(run(folders).entries, (QStringList{tree.path("S/real"), tree.path("S")}));
        // A start folder that is itself a link is walked.
        tree.link("start-link", tree.path("S/real"));
        QCOMPARE(run(optionsFor(tree.path("start-link"), "*.txt")).entries,
                 QStringList{tree.path("start-link/r.txt")});
    }

    void oddNamesAreListedExactly() {
        const QList<QByteArray> oddFolders = {
            "mapp med blanksteg",
            "flik\there",
            "ny\nrad",
            "back\\slash",
            "  ledande",
            "avslutande  ",
            "r\xc3\xa4ksm\xc3\xb6rg\xc3\xa5s \xc3\x85\xc3\x84\xc3\x96",
            "latin1-\xe5\xe4\xf6",
            "\xff\xfe-ogiltig",
        };
        const QList<QByteArray> oddFiles = {
            "med blanksteg.txt",
            "flik\t.txt",
            "ny\nrad.txt",
            "back\\slash.txt",
            "  ledande.txt",
            "avslutande.txt  ",
            "\xc3\xa5\xc3\xa4\xc3\xb6.txt",
            "\xff\xfe-ogiltig.txt",
            "latin1-\xe5\xe4\xf6.txt",
            "stj\xc3\xa4rna*och?.txt",
            "semi;kolon.txt",
            "citat\"och'.txt",
            "utan-punkt",
            "cr\rlf.txt",
        };
        TestTree tree;
        const RemovedAtEnd cleanup{tree.root()};
        QStringList expected{tree.file("S/top.txt")};
        for (const QByteArray& folder : oddFolders)
            for (const QByteArray& file : oddFiles)
                expected.append(
                    tree.file(FileNames::decode(("S/" + folder + "/" + file).toStdString())));
        const Outcome outcome = run(optionsFor(tree.path("S"), "*"));
        expectFinishedQuietly(outcome);
        QCOMPARE(sorted(outcome.entries), sorted(expected));
        for (const QString& entry : outcome.entries) { // each names a file that is there
            struct stat info {};
            QVERIFY2(stat(FileNames::encode(entry).constData(), &info) == 0 &&
                         S_ISREG(info.st_mode),
                     FileNames::encode(entry).toHex().constData());
        }

        // Names alone, extension cut: the last dot decides; blanks and control characters stay.
        SearchOptions bare = optionsFor(tree.path("S/ny\nrad"), "*");
        bare.fullPaths = false;
        bare.keepExtensions = false;
        QCOMPARE(sorted(run(bare).entries),
                 sorted({"med blanksteg", "flik\t", "ny\nrad", "back\\slash", "  ledande",
                         "avslutande", QStringLiteral("åäö"), FileNames::decode("\xff\xfe-ogiltig"),
                         FileNames::decode("latin1-\xe5\xe4\xf6"), QStringLiteral("stjärna*och?"),
                         "semi;kolon", "citat\"och'", "utan-punkt", "cr\rlf"}));

        // Folder mode, relative: the start folder's odd name leads every entry.
        const QString latin = tree.path(FileNames::decode("S/latin1-\xe5\xe4\xf6"));
        SearchOptions folders = optionsFor(latin, "*.txt");
        folders.listFolders = true;
        folders.fullPaths = false;
        QCOMPARE(run(folders).entries, QStringList{FileNames::decode("latin1-\xe5\xe4\xf6")});
        // A pattern with a Swedish letter finds the UTF-8 name, not the Latin-1 one.
        const Outcome swedish = run(optionsFor(tree.path("S/  ledande"), "ÅÄÖ.*"));
        QCOMPARE(swedish.entries, QStringList{tree.path("S/  ledande/åäö.txt")});
    }

    void aTreeDeeperThanTheLongestPath() {
        TestTree tree;
        const QByteArray root = FileNames::encode(tree.path("D"));
        const RemovedAtEnd cleanup{tree.path("D")};
        QVERIFY(mkdir(root.constData(), 0755) == 0);
        const QByteArray segment(240, 'd');
        constexpr int Depth = 40;
        int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        QStringList expected;
        QByteArray folder = root;
        for (int level = 1; level <= Depth; ++level) {
            QVERIFY(mkdirat(fd, segment.constData(), 0755) == 0);
            const int next = ::openat(fd, segment.constData(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            QVERIFY(fd >= 0);
            ::close(::openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644));
            folder += '/' + segment;
            expected.prepend(FileNames::decode(folder.toStdString()) + "/f.txt"); // deepest first
        }
        ::close(fd);
        QVERIFY(folder.size() > 2 * PATH_MAX);

        // find agrees on the count.
        QProcess find;
        find.start("find", {tree.path("D"), "-name", "f.txt", "-type", "f"});
        QVERIFY(find.waitForFinished(60000));
        QCOMPARE(find.readAllStandardOutput().count('\n'), Depth);

        const Outcome outcome = run(optionsFor(tree.path("D"), "*.txt"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries.size(), Depth);
        QCOMPARE(outcome.entries, expected);
        SearchOptions names = optionsFor(tree.path("D"), "*.txt");
        names.fullPaths = false;
        QCOMPARE(run(names).entries, QStringList(Depth, QStringLiteral("f.txt")));
        names.listFolders = true;
        QCOMPARE(run(names).entries.size(), Depth);
        QCOMPARE(run(optionsFor(tree.path("D"), "*.txt"), 0).entries, expected);
    }

    // --- failures and cancelling ----------------------------------------------------------------

    void aStartFolderThatCannotBeReadFails() {
        TestTree tree;
        tree.file("file.txt");
        const QString missing = tree.path("no such folder");
        Outcome outcome = run(optionsFor(missing, "*"));
        QCOMPARE(outcome.failures,
                 QStringList{QStringLiteral("Sökvägen hittades inte: ") + missing});
        QCOMPARE(outcome.finished, 0);
        QCOMPARE(outcome.entries, QStringList{});

        const QString file = tree.path("file.txt");
        outcome = run(optionsFor(file, "*"));
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY2(outcome.failures[0].startsWith(QStringLiteral("Sökvägen hittades inte")) &&
                     outcome.failures[0].endsWith(QStringLiteral(": ") + file),
                 qPrintable(outcome.failures[0]));
        QCOMPARE(outcome.finished, 0);

        // A new search after a failure works.
        expectFinishedQuietly(run(optionsFor(tree.root(), "*.txt")));
    }

    // Cancelled before and after entries came, the walk hands out nothing more: not when its
    // threads have ended and their last word has been delivered, not the entries that waited
    // at the cancel. A search started again on the same object runs to its end alone.
    void afterCancelNothingArrives() {
        TestTree tree;
        makeWideTree(tree, "W", 20, 20);
        Search search;
        search.setEntriesWaitingLimit(25); // the walk cannot finish before the cancel
        QSignalSpy ready(&search, &Search::entriesReady);
        QSignalSpy finished(&search, &Search::finished);
        QSignalSpy failed(&search, &Search::failed);
        search.start(optionsFor(tree.path("W"), "*.dat"));
        search.cancel();
        QVERIFY(!search.isRunning());
        search.start(optionsFor(tree.path("W"), "*.dat"));
        // At least 25 entries wait to be taken, and the search has said so.
        QVERIFY(QTest::qWaitFor([&] { return search.isHeldBack() && !ready.isEmpty(); }, 30000));
        const qsizetype readyAtCancel = ready.size();
        search.cancel();
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(ready.size(), readyAtCancel);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(search.takeEntries(), QStringList{});

        search.start(optionsFor(tree.path("W/F007"), "*.dat"));
        QStringList entries;
        connect(&search, &Search::entriesReady, [&] { entries += search.takeEntries(); });
        QVERIFY(QTest::qWaitFor([&] { return finished.count() > 0; }, 30000));
        entries += search.takeEntries();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(entries.size(), 20);
        for (const QString& entry : entries)
            QVERIFY2(entry.startsWith(tree.path("W/F007/")), qPrintable(entry));
    }

    // A search destroyed while it runs lets its threads go, wherever they stood.
    void destroyingARunningSearchLetsItsThreadsGo() {
        TestTree tree;
        makeWideTree(tree, "W", 30, 10);
        const int before = threadCount();
        for (int round = 0; round < 5; ++round) {
            auto* search = new Search;
            search->setEntriesWaitingLimit(5);
            search->start(optionsFor(tree.path("W"), "*"));
            if (round % 2)
                QVERIFY(QTest::qWaitFor([&] { return search->isHeldBack(); }, 10000));
            delete search;
        }
        QVERIFY2(
            QTest::qWaitFor([&] { return threadCount() <= before; }, 10000),
            qPrintable(QStringLiteral("%1 threads, %2 before").arg(threadCount()).arg(before)));
    }

    // Many searches started and cancelled at every moment of their walk (a quick one may be
    // over first): none hands out anything after its cancel, to the search after it or once
    // its threads have ended, and the last runs to its end with everything. Run under
    // ThreadSanitizer too, where any race between the walk and its readers fails it.
    void startAndCancelAtEveryMoment() {
        TestTree tree;
        makeWideTree(tree, "W", 60, 3);
        for (int a = 0; a < 6; ++a)
            for (int b = 0; b < 6; ++b)
                tree.folder(QStringLiteral("W/d%1/e%2/f").arg(a).arg(b));
        // Every other search lists the folders instead of the files: what a search is handed
        // shows whose it is.
        const auto listsFolders = [](int cycle) { return cycle % 2 == 1; };
        Search search;
        search.setEntriesWaitingLimit(20);
        int cycle = 0;
        QStringList entries;
        QStringList strays;
        connect(&search, &Search::entriesReady, [&] {
            for (const QString& entry : search.takeEntries())
                (entry.endsWith(u".dat") != listsFolders(cycle) ? entries : strays) += entry;
        });
        QSignalSpy ready(&search, &Search::entriesReady);
        QSignalSpy finished(&search, &Search::finished);
        for (; cycle < 150; ++cycle) {
            SearchOptions options = optionsFor(tree.path("W"), "*.dat");
            options.listFolders = listsFolders(cycle);
            search.start(options);
            for (int turn = 0; turn < cycle % 7; ++turn)
                QCoreApplication::processEvents();
            search.cancel();
        }
        const qsizetype readyAtLastCancel = ready.size();
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(ready.size(), readyAtLastCancel);
        QCOMPARE(search.takeEntries(), QStringList{});
        QCOMPARE(strays, QStringList{});

        const qsizetype finishedBefore = finished.count();
        entries.clear();
        search.start(optionsFor(tree.path("W"), "*.dat"));
        QVERIFY(QTest::qWaitFor([&] { return finished.count() == finishedBefore + 1; }, 30000));
        entries += search.takeEntries();
        QCOMPARE(entries.size(), 180);
        QCOMPARE(strays, QStringList{});
    }

    // Memory grows with the depth of the tree, not with its square: no folder of the walk
    // holds its whole path. A chain of 1,500 folders of 100-byte names, whose paths add up to
    // 112 MB.
    void aDeepChainTakesLittleMemory() {
        TestTree tree;
        const QByteArray top = FileNames::encode(tree.path("kedja"));
        RemovedAtEnd removed{tree.path("kedja")};
        QVERIFY(::mkdir(top.constData(), 0755) == 0);
        int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
        const QByteArray name(100, 'k');
        for (int depth = 0; depth < 1500; ++depth) {
            QVERIFY(::mkdirat(fd, name.constData(), 0755) == 0);
            const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "botten.txt", O_WRONLY | O_CREAT, 0644));
        ::close(fd);
        if (!resetPeakMemory())
            QSKIP("the peak memory of a process cannot be reset here");
        const qint64 before = peakMemoryKiB();
        SearchOptions options = optionsFor(tree.path("kedja"), "*.txt");
        options.fullPaths = false;
        const Outcome outcome = run(options);
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries, QStringList{"botten.txt"});
        const qint64 grown = peakMemoryKiB() - before;
        qInfo("the search's peak memory grew by %lld KiB", grown);
        QVERIFY2(grown < 20 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grown)));
    }

    // --- against find, delivery, memory, read-ahead
    // -----------------------------------------------

    void listsWhatFindListsInARealTree() {
        const QString root = QStringLiteral("/usr/include");
        if (!QFileInfo(root).isDir())
            QSKIP("no /usr/include");
        QProcess find;
        find.start("find", {root, "-name", ".*", "-prune", "-o", "-iname", "*.h", "(", "-type", "f",
                            "-o", "-xtype", "f", ")", "-print0"});
        QVERIFY(find.waitForFinished(120000));
        QStringList expected;
        for (const QByteArray& line : find.readAllStandardOutput().split('\0'))
            if (!line.isEmpty())
                expected.append(FileNames::decode(line.toStdString()));
        QVERIFY(expected.size() > 100);
        const Outcome outcome = run(optionsFor(root, "*.h"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries.size(), expected.size());
        QCOMPARE(sorted(outcome.entries), sorted(expected));
    }

    // A folder whose names take several reads, of every length up to the longest, so that a
    // read ends anywhere in its buffer: each name is found.
    void aFolderOfManyReadsIsReadWhole() {
        TestTree tree;
        QStringList expected;
        for (int i = 0; i < 1200; ++i) {
            const QString name = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')) +
                                 QString(i % 248, QLatin1Char('x')) + QStringLiteral(".log");
            expected.append(tree.file("M/" + name));
        }
        tree.file("M/other.txt");
        const Outcome outcome = run(optionsFor(tree.path("M"), "*.log"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries.size(), expected.size());
        QCOMPARE(sorted(outcome.entries), sorted(expected));
    }

    void entriesComeAWholeFolderAtATimeInWalkOrder() {
        TestTree tree;
        makeWideTree(tree, "W", 30, 10);
        const Outcome outcome = run(optionsFor(tree.path("W"), "*.dat"), -1, 15);
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries.size(), 300);
        QVERIFY(outcome.batches.size() > 1);
        // Folders from the last to the first, each folder's files together.
        QStringList folderOrder;
        for (const QString& entry : outcome.entries) {
            const QString folder = entry.left(entry.lastIndexOf(u'/'));
            if (folderOrder.isEmpty() || folderOrder.constLast() != folder) {
                QVERIFY2(!folderOrder.contains(folder), qPrintable(folder)); // never split up
                folderOrder.append(folder);
            }
        }
        QCOMPARE(folderOrder.size(), 30);
        for (int i = 0; i < 30; ++i)
            QCOMPARE(folderOrder[i],
                     tree.path(QStringLiteral("W/F%1").arg(29 - i, 3, 10, QLatin1Char('0'))));
        // No batch ends inside a folder.
        for (const QStringList& batch : outcome.batches) {
            const QString last = batch.constLast();
            QCOMPARE(batch.filter(last.left(last.lastIndexOf(u'/')) + u'/').size() % 10, 0);
        }
    }

    // A receiver that does not take holds the walk back once a bounded number wait: at most
    // the limit and the rest of the folder that crossed it.
    void aReceiverThatDoesNotTakeHoldsTheWalkBack() {
        TestTree tree;
        makeWideTree(tree, "W", 30, 10);
        Search search;
        search.setEntriesWaitingLimit(25);
        QSignalSpy finished(&search, &Search::finished);
        search.start(optionsFor(tree.path("W"), "*.dat"));
        qsizetype total = 0;
        for (int round = 0; round < 3; ++round) {
            QVERIFY(QTest::qWaitFor([&] { return search.isHeldBack(); }, 30000));
            const QStringList taken = search.takeEntries();
            QVERIFY2(taken.size() >= 25 && taken.size() < 25 + 10,
                     qPrintable(QString::number(taken.size())));
            total += taken.size();
        }
        QCOMPARE(finished.count(), 0);
        // Taking lets it finish, with everything.
        connect(&search, &Search::entriesReady, [&] { total += search.takeEntries().size(); });
        QVERIFY(QTest::qWaitFor([&] { return finished.count() > 0; }, 60000));
        total += search.takeEntries().size();
        QCOMPARE(total, qsizetype(300));
    }

    void readAheadThreadsGiveTheSameResultAsNone() {
        TestTree tree;
        makeWideTree(tree, "W", 40, 20);
        for (int a = 0; a < 20; ++a)
            for (int b = 0; b < 20; ++b)
                tree.file(QStringLiteral("W/deep%1/g%2/h/x%3.dat").arg(a).arg(b).arg(a * b));
        const SearchOptions options = optionsFor(tree.path("W"), "*.dat");
        const Outcome alone = run(options, 0);
        const Outcome helped = run(options);
        const Outcome many = run(options, 16);
        expectFinishedQuietly(alone);
        expectFinishedQuietly(helped);
        QCOMPARE(alone.entries.size(), 40 * 20 + 400);
        QCOMPARE(helped.entries, alone.entries);
        QCOMPARE(many.entries, alone.entries);
        SearchOptions folders = options;
        folders.listFolders = true;
        QCOMPARE(run(folders).entries, run(folders, 0).entries);
    }

    // A signal that comes while a folder's names are read makes the read hand back what it has,
    // however much room is left: the kernel stops filling at a pending signal. The folder is
    // read on to its end all the same. Signals come to a running program from its children's
    // ends and from the session; here one comes to every thread again and again.
    void aSignalWhileAFolderIsReadLosesNoName() {
        TestTree tree;
        QStringList expected;
        for (int folder = 0; folder < 60; ++folder)
            for (int file = 0; file < 60; ++file)
                expected.append(tree.file(
                    QStringLiteral("S/folder%1/a rather long name %2.txt").arg(folder).arg(file)));
        struct sigaction quiet {
        }, before{};
        quiet.sa_handler = [](int) {};
        quiet.sa_flags = SA_RESTART;
        QVERIFY(sigaction(SIGURG, &quiet, &before) == 0);
        std::atomic<bool> searching{true};
        std::thread signaller([&searching] {
            const pid_t self = gettid();
            while (searching.load()) {
                QDir tasks(QStringLiteral("/proc/self/task"));
                for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                    if (task.toInt() != self)
                        syscall(SYS_tgkill, getpid(), task.toInt(), SIGURG);
            }
        });
        bool same = true;
        for (int round = 0; round < 10 && same; ++round)
            same = sorted(run(optionsFor(tree.path("S"), "*.txt")).entries) == sorted(expected);
        searching = false;
        signaller.join();
        sigaction(SIGURG, &before, nullptr);
        QVERIFY(same);
    }

    // Folders opened in a batch through the ring answer as each open on its own does: the same
    // folder, or the same failure (missing, not a folder, a link not followed, a path through a
    // file); every descriptor the batch gave is closed by closing the batch.
    void aBatchOpensAndClosesAsSingleCallsDo() {
        if (!FolderOpener::usesRing())
            QSKIP("io_uring cannot be used here: every open is a call of its own");
        TestTree tree;
        tree.file("R/A/a.txt");
        tree.file("R/plain.txt");
        tree.folder("R/B");
        QVERIFY(symlink("A", qPrintable(tree.path("R/link"))) == 0);
        const QByteArray root = FileNames::encode(tree.path("R"));
        const int from = open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(from >= 0);
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        const std::vector<FolderOpener::Open> opens = {
            {from, "A", flags},
            {from, "missing", flags},
            {from, "plain.txt", flags},
            {from, "link", flags},
            {from, "plain.txt/x", flags},
            {from, "B", flags},
            {AT_FDCWD, root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC}};
        std::vector<int> byRing(opens.size()), alone(opens.size());
        FolderOpener::openAll(opens, byRing);
        qputenv("TROVAN_NO_IO_URING", "1"); // read by a thread's first batch
        bool ringThere = true;
        std::thread([&] {
            ringThere = FolderOpener::usesRing();
            FolderOpener::openAll(opens, alone);
        }).join();
        qunsetenv("TROVAN_NO_IO_URING");
        QVERIFY(!ringThere);
        const auto inodeOf = [](int fd) {
            struct stat info {};
            return fstat(fd, &info) == 0 ? info.st_ino : ino_t(0);
        };
        QCOMPARE(std::vector<int>(byRing.begin() + 1, byRing.begin() + 5),
                 std::vector<int>({-ENOENT, -ENOTDIR, -ENOTDIR, -ENOTDIR}));
        std::vector<int> opened;
        for (size_t k = 0; k < opens.size(); ++k) {
            QCOMPARE(byRing[k] >= 0, alone[k] >= 0);
            if (byRing[k] < 0) {
                QCOMPARE(byRing[k], alone[k]);
                continue;
            }
            QCOMPARE(inodeOf(byRing[k]), inodeOf(alone[k]));
            QVERIFY(inodeOf(byRing[k]) != 0);
            opened.push_back(byRing[k]);
            opened.push_back(alone[k]);
        }
        QCOMPARE(opened.size(), size_t(6));
        FolderOpener::closeAll(opened);
        for (const int fd : opened)
            QVERIFY2(fcntl(fd, F_GETFD) == -1 && errno == EBADF, qPrintable(QString::number(fd)));
        close(from);
    }

    // The reads under way: as many as cores while reads come from the cache, the deepest once
    // most of the last reads' time went to reads that waited, and back once little did. A
    // couple of short waits among reads from the cache do not move it; one long wait among
    // quick looks does, as when folders kept before are looked at with the caches dropped: the
    // first look into a folder waits for its block, the others find it in the cache. The first
    // read decides alone.
    void theReadDepthFollowsWhereTheReadsTimeGoes() {
        const ReadDepth::Read fromTheCache{false, 20'000};
        const ReadDepth::Read shortWait{true, 30'000};
        const ReadDepth::Read quickLook{false, 5'000};
        const ReadDepth::Read diskWait{true, 800'000};
        ReadDepth depth(2);
        QCOMPARE(depth.depth(), 2);
        for (int read = 0; read < 20; ++read)
            depth.add(fromTheCache);
        depth.add(shortWait);
        depth.add(shortWait);
        QCOMPARE(depth.depth(), 2);
        for (int look = 0; look < 14; ++look)
            depth.add(quickLook);
        QCOMPARE(depth.depth(), 2);
        depth.add(diskWait);
        QCOMPARE(depth.depth(), ReadDepth::MaxDepth);
        for (int look = 0; look < 15; ++look)
            depth.add(quickLook);
        QCOMPARE(depth.depth(), ReadDepth::MaxDepth);
        depth.add(quickLook);
        QCOMPARE(depth.depth(), 2);

        ReadDepth fromTheDisk(4);
        fromTheDisk.add(diskWait);
        QCOMPARE(fromTheDisk.depth(), ReadDepth::MaxDepth);
        QCOMPARE(ReadDepth(0).depth(), 1);
    }
};

QTEST_GUILESS_MAIN(CoreSearchTest)
#include "test_core_search.moc"
