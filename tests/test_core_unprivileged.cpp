// Places an ordinary user may not read, enter or write. Root may do all of that, so this suite
// runs without root's privileges (tests/run-unprivileged.sh runs it as nobody).

#include "core/files/ProgramFiles.h"
#include "core/run/StoredFiles.h"
#include "core/text/FileNames.h"
#include "core/walk/Search.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Outcome = SearchOutcome;

Outcome run(const QString& start, const QString& pattern, bool listFolders = false) {
    SearchOptions options;
    options.startFolder = start;
    options.pattern = pattern;
    options.includeSubfolders = true;
    options.listFolders = listFolders;
    return runSearch(options);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

void setMode(const QString& path, mode_t mode) {
    if (chmod(FileNames::encode(path).constData(), mode) != 0)
        qWarning("chmod failed");
}

// Gives every folder below `root` its permissions back, so the temporary tree can be removed.
struct Unlock {
    QString root;
    ~Unlock() { QProcess::execute("chmod", {"-R", "u+rwx", root}); }
};

// What find lists as files matching `glob` below `root`, hidden names pruned.
QStringList findFiles(const QString& root, const QString& glob) {
    QProcess find;
    find.start("find", {root, "-name", ".*", "-prune", "-o", "-iname", glob, "(", "-type", "f",
                        "-o", "-xtype", "f", ")", "-print0"});
    find.waitForFinished(60000);
    QStringList files;
    for (const QByteArray& line : find.readAllStandardOutput().split('\0'))
        if (!line.isEmpty())
            files.append(FileNames::decode(line.toStdString()));
    return files;
}

} // namespace

class CoreUnprivilegedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (geteuid() == 0)
            QFAIL("run without root's privileges: tests/run-unprivileged.sh");
    }

    void anUnwritableProgramFolderSendsTheFilesToTheUsersDataFolder() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        const QString program = tree.folder("program");
        setMode(program, 0555);
        qputenv("XDG_DATA_HOME", FileNames::encode(tree.path("xdg")));
        const QString folder = ProgramFiles::folderFor(program);
        QCOMPARE(folder, tree.path("xdg/trovan"));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(StoredFiles::writeList(folder + "/lista.txt", {"x"}), std::nullopt);
        setMode(program, 0755);
        QCOMPARE(ProgramFiles::folderFor(program), program);
    }

    void foldersThatCannotBeReadAreSkippedQuietly() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        tree.file("S/s.txt");
        tree.file("S/unreadable/r.txt");
        tree.file("S/unreadable/inner/ri.txt");
        tree.file("S/ok/o.txt");
        tree.file("S/ok/locked/l.txt");
        tree.file("S/z/z.txt");
        setMode(tree.path("S/unreadable"), 0300); // may be entered, not listed
        setMode(tree.path("S/ok/locked"), 0000);  // two levels down
        const Outcome files = run(tree.path("S"), "*.txt");
        QCOMPARE(files.failures, QStringList{});
        QCOMPARE(files.finished, 1);
        QCOMPARE(files.entries, (QStringList{tree.path("S/z/z.txt"), tree.path("S/ok/o.txt"),
                                             tree.path("S/s.txt")}));
        const Outcome folders = run(tree.path("S"), "*.txt", true);
        QCOMPARE(folders.failures, QStringList{});
        QCOMPARE(folders.entries,
                 (QStringList{tree.path("S/z"), tree.path("S/ok"), tree.path("S")}));
        QCOMPARE(sorted(files.entries), sorted(findFiles(tree.path("S"), "*.txt")));
    }

    // A folder that can be read but not entered (r--): its names and their types come with the
    // listing, so its files are listed, as find lists them; what lies below it cannot be opened.
    void aFolderThatCanBeReadButNotEntered() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        tree.file("S/s.txt");
        tree.file("S/ronly/f.txt");
        tree.file("S/ronly/g.txt");
        tree.file("S/ronly/sub/below.txt");
        setMode(tree.path("S/ronly"), 0444);
        const Outcome files = run(tree.path("S"), "*.txt");
        QCOMPARE(files.failures, QStringList{});
        QCOMPARE(files.finished, 1);
        const QStringList found = findFiles(tree.path("S"), "*.txt");
        QCOMPARE(sorted(files.entries), sorted(found));
        QVERIFY(!files.entries.contains(tree.path("S/ronly/sub/below.txt")));
        QCOMPARE(files.entries.constLast(), tree.path("S/s.txt"));
        if (!found.contains(tree.path("S/ronly/f.txt")))
            QSKIP("this file system gives no entry types: find cannot tell files either");
        QCOMPARE(sorted(files.entries), sorted({tree.path("S/ronly/f.txt"),
                                                tree.path("S/ronly/g.txt"), tree.path("S/s.txt")}));
        // The folder itself as the start folder: listed the same way.
        const Outcome start = run(tree.path("S/ronly"), "*");
        QCOMPARE(start.failures, QStringList{});
        QCOMPARE(sorted(start.entries),
                 sorted({tree.path("S/ronly/f.txt"), tree.path("S/ronly/g.txt")}));
    }

    void aStartFolderThatCannotBeReadFails() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        tree.file("S/s.txt");
        setMode(tree.path("S"), 0000);
        const Outcome outcome = run(tree.path("S"), "*");
        QCOMPARE(outcome.failures, QStringList{QStringLiteral("Åtkomst nekad: ") + tree.path("S")});
        QCOMPARE(outcome.finished, 0);
    }

    void aReadOnlyListIsRefusedAndKept() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        const QString list = tree.file("program/lista.txt", "gammal\r\n");
        setMode(list, 0444);
        const auto error = StoredFiles::writeList(list, {"ny"});
        QVERIFY(error);
        QCOMPARE(error->description, QStringLiteral("Åtkomst nekad: ") + list);
        QCOMPARE(readBytes(list), QByteArray("gammal\r\n"));
        QCOMPARE(QDir(tree.path("program"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"lista.txt"});

        // A writable list in a folder that may not be written: no new file can be made beside it.
        const QString locked = tree.file("locked/lista.txt", "gammal\r\n");
        setMode(tree.path("locked"), 0555);
        const auto folderError = StoredFiles::writeList(locked, {"ny"});
        QVERIFY(folderError);
        QCOMPARE(folderError->description, QStringLiteral("Åtkomst nekad: ") + locked);
        QCOMPARE(readBytes(locked), QByteArray("gammal\r\n"));
    }

    // Root's link in the user's own folder is not followed; the user's own link in root's
    // sticky, world-writable /tmp is.
    void anotherUsersLinkIsNotFollowed() {
        TestTree tree;
        const QString own = QStringLiteral("/tmp/trovan-own-link-%1").arg(getpid());
        QVERIFY(symlink(FileNames::encode(tree.path("home/egen.txt")).constData(),
                        FileNames::encode(own).constData()) == 0);
        const QString home = tree.folder("home");
        const auto ownResult = StoredFiles::writeList(own, {"egen"});
        unlink(FileNames::encode(own).constData());
        QCOMPARE(ownResult, std::nullopt);
        QCOMPARE(readBytes(home + "/egen.txt"), QByteArray("egen\r\n"));

        const QString links = qEnvironmentVariable("TROVAN_OTHERS_LINKS");
        if (links.isEmpty())
            QSKIP("no link of another user's to use: tests/run-unprivileged.sh makes them when "
                  "started as root");
        const QString target = tree.file("program/lista-target", "mitt\r\n");
        const QString list = tree.path("program/lista.txt");
        QVERIFY(rename(FileNames::encode(links + "/1").constData(),
                       FileNames::encode(list).constData()) == 0);
        const auto error = StoredFiles::writeList(list, {"ny"});
        QVERIFY(error);
        QCOMPARE(error->description,
                 QStringLiteral("Länken ägs av en annan användare och följs inte: ") + list);
        QCOMPARE(readBytes(target), QByteArray("mitt\r\n"));
        QCOMPARE(
            QDir(tree.path("program"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            (QStringList{"lista-target", "lista.txt"}));
        // Dangling: its target is not made.
        const QString ini = tree.path("elsewhere/setup.ini");
        tree.folder("elsewhere");
        QVERIFY(rename(FileNames::encode(links + "/2").constData(),
                       FileNames::encode(ini).constData()) == 0);
        QVERIFY(StoredFiles::writeSavedFolder(ini, "/x"));
        QVERIFY(!QFileInfo::exists(tree.path("elsewhere/lista-target")));
    }

    void anUnreadableSetupIniReadsAsNothingAndIsKept() {
        TestTree tree;
        const Unlock unlock{tree.root()};
        const QString ini = tree.file("setup.ini", "/home/ann\r\n");
        setMode(ini, 0000);
        QCOMPARE(StoredFiles::readSavedFolder(ini), QString());
        setMode(ini, 0644);
        QCOMPARE(readBytes(ini), QByteArray("/home/ann\r\n"));
    }
};

QTEST_GUILESS_MAIN(CoreUnprivilegedTest)
#include "test_core_unprivileged.moc"
