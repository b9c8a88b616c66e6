// The walk on real temporary trees, through Search's public API alone: start(), the signals,
// takeEntries() and cancel(). Order, entry forms, hidden names, links and loops, odd bytes,
// a tree deeper than the longest path, cancelling, failures, an oracle against find, delivery
// a whole folder at a time, bounded run-ahead and the read-ahead threads.

#include "core/FileNames.h"
#include "core/Search.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
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

Outcome run(const SearchOptions& options, int readAheadThreads = -1) {
    return runSearch(options, readAheadThreads);
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

    void afterCancelNothingArrives() {
        TestTree tree;
        makeWideTree(tree, "W", 100, 100);
        for (int waitFirst : {0, 1}) {
            Search search;
            QSignalSpy ready(&search, &Search::entriesReady);
            QSignalSpy finished(&search, &Search::finished);
            QSignalSpy failed(&search, &Search::failed);
            search.start(optionsFor(tree.path("W"), "*.dat"));
            if (waitFirst) // the walk is under way and has handed out entries
                QVERIFY(QTest::qWaitFor([&] { return ready.count() > 0; }, 30000));
            search.cancel();
            QVERIFY(!search.isRunning());
            const int readyBefore = ready.count();
            QTest::qWait(500);
            QCOMPARE(ready.count(), readyBefore);
            QCOMPARE(finished.count(), 0);
            QCOMPARE(failed.count(), 0);
            QCOMPARE(search.takeEntries(), QStringList{});
        }
        // A search started again on the same object after a cancel runs to its end, alone.
        Search search;
        QSignalSpy finished(&search, &Search::finished);
        QStringList entries;
        connect(&search, &Search::entriesReady, [&] { entries += search.takeEntries(); });
        search.start(optionsFor(tree.path("W"), "*.dat"));
        QTest::qWait(5);
        search.start(optionsFor(tree.path("W/F007"), "*.dat"));
        QVERIFY(QTest::qWaitFor([&] { return finished.count() > 0; }, 30000));
        entries += search.takeEntries();
        QTest::qWait(200);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(entries.size(), 100);
        for (const QString& entry : entries)
            QVERIFY(entry.startsWith(tree.path("W/F007/")));
    }

    void destroyingARunningSearchIsSafe() {
        TestTree tree;
        makeWideTree(tree, "W", 50, 100);
        for (int i = 0; i < 5; ++i) {
            auto* search = new Search;
            search->start(optionsFor(tree.path("W"), "*"));
            QTest::qWait(i);
            delete search;
        }
        QTest::qWait(200); // late words from the walks reach nothing
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

    void entriesComeAWholeFolderAtATimeInWalkOrder() {
        TestTree tree;
        makeWideTree(tree, "W", 300, 100);
        const Outcome outcome = run(optionsFor(tree.path("W"), "*.dat"));
        expectFinishedQuietly(outcome);
        QCOMPARE(outcome.entries.size(), 30000);
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
        QCOMPARE(folderOrder.size(), 300);
        for (int i = 0; i < 300; ++i)
            QCOMPARE(folderOrder[i],
                     tree.path(QStringLiteral("W/F%1").arg(299 - i, 3, 10, QLatin1Char('0'))));
        // No batch ends inside a folder.
        for (const QStringList& batch : outcome.batches) {
            const QString last = batch.constLast();
            QCOMPARE(batch.filter(last.left(last.lastIndexOf(u'/')) + u'/').size(), 100);
        }
    }

    void aReceiverThatDoesNotTakeHoldsTheWalkBack() {
        TestTree tree;
        makeWideTree(tree, "W", 300, 100);
        Search search;
        QSignalSpy ready(&search, &Search::entriesReady);
        QSignalSpy finished(&search, &Search::finished);
        search.start(optionsFor(tree.path("W"), "*.dat"));
        QVERIFY(QTest::qWaitFor([&] { return ready.count() > 0; }, 30000));
        QTest::qWait(1500); // nothing taken for a while
        QCOMPARE(finished.count(), 0);
        const QStringList first = search.takeEntries();
        // The walk stopped once a bounded number waited: far from all 30,000.
        QVERIFY2(first.size() > 0 && first.size() <= 8192 + 100,
                 qPrintable(QString::number(first.size())));
        QTest::qWait(1000);
        QCOMPARE(finished.count(), 0);
        const QStringList second = search.takeEntries();
        QVERIFY2(second.size() > 0 && second.size() <= 8192 + 100,
                 qPrintable(QString::number(second.size())));
        // Taking lets it finish, with everything.
        qsizetype total = first.size() + second.size();
        connect(&search, &Search::entriesReady, [&] { total += search.takeEntries().size(); });
        QVERIFY(QTest::qWaitFor([&] { return finished.count() > 0; }, 60000));
        total += search.takeEntries().size();
        QCOMPARE(total, qsizetype(30000));
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
};

QTEST_GUILESS_MAIN(CoreSearchTest)
#include "test_core_search.moc"
