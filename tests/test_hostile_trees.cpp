// Searches of hostile trees through the real window: names no one would choose, a folder of
// 50,000 files, a tree deeper than the longest path the system takes in one piece, and folders
// swapped for links, files or nothing while the walk runs. Each search must finish without a
// message, list what can be listed, and list nothing that is not there.

#include "platform/App.h"
#include "platform/FileChannel.h"
#include "platform/FileNames.h"
#include "support/Piecewise.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/YieldHook.h"

#include <QDir>
#include <QFile>
#include <climits>

namespace {

void expectAllThere(const QStringList& entries) {
    for (const QString& entry : entries)
        QVERIFY2(Piecewise::exists(FileNames::encode(entry)), qPrintable(entry));
}

void expectFinishedQuietly(const TestWindow& window) {
    QVERIFY(window.desktop.boxes.empty());
    QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
    QCOMPARE(window->cmdExit->Caption(), QStringLiteral("A&vsluta"));
}

// Removes a tree whose names Qt's own removal cannot spell, or whose paths are too long for it.
struct RemovedAtEnd {
    QByteArray root;
    ~RemovedAtEnd() { Piecewise::removeTree(root); }
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// Folder and file names with blanks where they are easy to miss, control characters, a
// backslash, pattern characters, Swedish letters in UTF-8 and in Latin-1 (not valid UTF-8).
const QList<QByteArray> OddFolders = {
    "mapp med blanksteg",
    "flik\there",
    "ny\nrad",
    "back\\slash",
    "  ledande",
    "avslutande  ",
    "r\xc3\xa4ksm\xc3\xb6rg\xc3\xa5s \xc3\x85\xc3\x84\xc3\x96",
    "latin1-\xe5\xe4\xf6",
};
const QList<QByteArray> OddFiles = {
    "med blanksteg.txt",
    "flik\t.txt",
    "ny\nrad.txt",
    "back\\slash.txt",
    "  ledande.txt",
    "avslutande.txt  ",
    "\xc3\xa5\xc3\xa4\xc3\xb6.txt",
    "\xff\xfe-ogiltig.txt",
    "stj\xc3\xa4rna*och?.txt",
    "semi;kolon.txt",
    "citat\"och'.txt",
    "utan-punkt",
};

} // namespace

class HostileTreesTest : public QObject {
    Q_OBJECT
private slots:
    void oddNamesAreListedSavedAndOpenedAsTheyAre() {
        TestTree tree;
        const RemovedAtEnd cleanup{FileNames::encode(tree.root())};
        QStringList expected;
        expected.append(tree.file("S/top.txt"));
        for (const QByteArray& folder : OddFolders) {
            for (const QByteArray& file : OddFiles)
                expected.append(
                    tree.file(FileNames::decode(("S/" + folder + "/" + file).toStdString())));
        }
        TestWindow window;
        const QStringList found = window.search(tree.path("S"), "*");
        expectFinishedQuietly(window);
        QCOMPARE(sorted(found), sorted(expected));
        expectAllThere(found);
        QCOMPARE(window->lblCount->Caption(), u' ' + QString::number(expected.size()));

        // Names alone, extension cut: the last dot decides, blanks and control characters stay.
        const QStringList bare =
            window.search(tree.path("S/ny\nrad"), "*", {.fullPath = false, .extension = false});
        QCOMPARE(sorted(bare),
                 sorted(QStringList{
                     "med blanksteg", "flik\t", "ny\nrad", "back\\slash", "  ledande", "avslutande",
                     QStringLiteral("åäö"), FileNames::decode("\xff\xfe-ogiltig"),
                     QStringLiteral("stjärna*och?"), "semi;kolon", "citat\"och'", "utan-punkt"}));

        // Folder mode, relative: the start folder's odd name leads every entry.
        const QString latin = tree.path(FileNames::decode("S/latin1-\xe5\xe4\xf6"));
        QCOMPARE(window.search(latin, "*.txt", {.folders = true, .fullPath = false}),
                 QStringList{FileNames::decode("latin1-\xe5\xe4\xf6")});

        // Saved: every entry's own bytes, one CR LF line each; the newline inside a name stays.
        window.search(tree.path("S"), "*");
        window->Command2->click();
        QByteArray lines;
        for (const QString& entry : window.entries())
            lines += FileNames::encode(entry) + "\r\n";
        QCOMPARE(readBytes(window.programFolder() + "/lista.txt"), lines);
        QVERIFY(lines.contains("/\xff\xfe-ogiltig.txt\r\n"));
        QVERIFY(lines.contains("/latin1-\xe5\xe4\xf6/ny\nrad.txt\r\n"));
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].title, QStringLiteral("Fil sparad"));
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        QVERIFY(!FileChannel::IsOpen(1));

        // Opened: the entry goes to the opener as the name's own bytes.
        const int invalid = window.entries().indexOf(
            tree.path(FileNames::decode("S/latin1-\xe5\xe4\xf6/\xff\xfe-ogiltig.txt")));
        QVERIFY(invalid >= 0);
        window->lstFoundFiles->setListIndex(invalid);
        window->cmdopenfil->click();
        QCOMPARE(window.desktop.opened.size(), size_t(2));
        QCOMPARE(FileNames::encode(window.desktop.opened[1].file),
                 FileNames::encode(tree.root()) + "/S/latin1-\xe5\xe4\xf6/\xff\xfe-ogiltig.txt");
    }

    void oddStartFoldersComeBackFromSetupIni_data() {
        QTest::addColumn<QByteArray>("folder");
        for (const QByteArray& folder : OddFolders)
            QTest::newRow(folder.toPercentEncoding().constData()) << folder;
    }
    void oddStartFoldersComeBackFromSetupIni() {
        QFETCH(QByteArray, folder);
        TestTree tree;
        const RemovedAtEnd cleanup{FileNames::encode(tree.root())};
        const QString start = tree.folder(FileNames::decode(folder.toStdString()));
        tree.file(FileNames::decode((folder + "/x.txt").toStdString()));
        TestWindow window;
        QCOMPARE(window.search(start, "*.txt"), QStringList{start + "/x.txt"});
        window->Form_Unload();
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"),
                 FileNames::encode(start) + "\r\n");

        TestWindow next;
        QFile::copy(window.programFolder() + "/setup.ini", next.programFolder() + "/setup.ini");
        const QString before = next->dirList->Path();
        App::setPathForTesting(next.programFolder());
        next->Form_Load();
        QVERIFY(next.desktop.boxes.empty());
        QVERIFY(!FileChannel::IsOpen(1));
        if (folder.contains('\n')) {
            // The line ends inside the name: what comes back names no folder, nothing moves.
            QCOMPARE(next->dirList->Path(), before);
        } else {
            QCOMPARE(next->dirList->Path(), start);
            QCOMPARE(next->filList->Path(), start);
        }
    }

    void aFolderOfFiftyThousandFiles() {
        TestTree tree;
        QStringList sevens;
        for (int i = 0; i < 50000; ++i) {
            const QString name = QStringLiteral("F/n%1.dat").arg(i, 5, 10, QLatin1Char('0'));
            tree.file(name);
            if (i % 10 == 7)
                sevens.append(tree.path(name));
        }
        TestWindow window;
        QCOMPARE(window.search(tree.path("F"), "n*7.dat"), sevens);
        expectFinishedQuietly(window);
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 5000"));

        // All of them: the list fills inside the one folder's listing, with one message.
        const QStringList all = window.search(tree.path("F"), "*.dat", {.fullPath = false});
        QCOMPARE(all.size(), 32767);
        QCOMPARE(all.first(), QStringLiteral("n00000.dat"));
        QCOMPARE(all.last(), QStringLiteral("n32766.dat"));
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].prompt,
                 QStringLiteral("You've filled the listbox. Search being abandoned..."));
    }

    void aTreeDeeperThanTheLongestPath() {
        TestTree tree;
        const QByteArray root = FileNames::encode(tree.path("D"));
        const RemovedAtEnd cleanup{root};
        QVERIFY(mkdir(root.constData(), 0755) == 0);
        const QByteArray segment(240, 'd');
        constexpr int Depth = 20;
        int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        for (int level = 1; level <= Depth; ++level) {
            QVERIFY(mkdirat(fd, segment.constData(), 0755) == 0);
            const int next = ::openat(fd, segment.constData(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            QVERIFY(fd >= 0);
            ::close(::openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644));
        }
        ::close(fd);
        QVERIFY(root.size() + Depth * (segment.size() + 1) > PATH_MAX);

        // Every folder whose path the system takes in one piece is walked, deepest first.
        QStringList expected;
        QByteArray folder = root;
        for (int level = 1; level <= Depth; ++level) {
            folder += '/' + segment;
            if (folder.size() < PATH_MAX)
                expected.prepend(FileNames::decode(folder.toStdString()) + "/f.txt");
        }
        QVERIFY(expected.size() >= 10 && expected.size() < Depth);
        TestWindow window;
        const QStringList found = window.search(tree.path("D"), "*.txt");
        const QStringList names = window.search(tree.path("D"), "*.txt", {.fullPath = false});
        QCOMPARE(found, expected);
        QCOMPARE(names, QStringList(expected.size(), QStringLiteral("f.txt")));
        QVERIFY(window.desktop.boxes.empty());
        QCOMPARE(window->dirList->Path(), tree.path("D"));
    }

    void aFolderSwappedForALinkDuringTheWalkIsNotWalked_data() {
        QTest::addColumn<bool>("toParent");
        QTest::newRow("link elsewhere") << false;
        QTest::newRow("link to its parent") << true;
    }
    void aFolderSwappedForALinkDuringTheWalkIsNotWalked() {
        QFETCH(bool, toParent);
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/A/a.txt");
        tree.file("S/B/b.txt");
        tree.file("elsewhere/E/e.txt");
        tree.file("elsewhere/o.txt");
        TestWindow window;
        YieldHook swap([&](int yield) {
            if (yield == 2) { // entering B, already opened by the folder list
                QDir(tree.path("S/B")).removeRecursively();
                tree.link("S/B", toParent ? tree.path("S") : tree.path("elsewhere"));
            }
        });
        const QStringList found = window.search(tree.path("S"), "*.txt");
        QCOMPARE(found, (QStringList{tree.path("S/A/a.txt"), tree.path("S/s.txt")}));
        expectFinishedQuietly(window);
    }

    void aParentRemovedWhileItsChildIsEntered() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/A/a.txt");
        tree.file("S/A/A1/a1.txt");
        tree.file("S/A/A2/a2.txt");
        tree.file("S/B/b.txt");
        TestWindow window;
        YieldHook remove([&](int yield) {
            if (yield == 4) // S, B, A, then A2: A goes away with both its children
                QDir(tree.path("S/A")).removeRecursively();
        });
        const QStringList found = window.search(tree.path("S"), "*.txt");
        QCOMPARE(found, (QStringList{tree.path("S/B/b.txt"), tree.path("S/s.txt")}));
        expectFinishedQuietly(window);
        QCOMPARE(window->dirList->Path(), tree.path("S"));
        expectAllThere(found);
    }

    void aFolderReplacedByAFileAsItIsEntered() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/A/a.txt");
        tree.file("S/B/b.txt");
        TestWindow window;
        YieldHook replace([&](int yield) {
            if (yield == 3) { // entering A
                QDir(tree.path("S/A")).removeRecursively();
                tree.file("S/A", "now a file");
            }
        });
        const QStringList found = window.search(tree.path("S"), "*");
        // The parent is read again after the walk of A: the new file A is listed with it.
        QCOMPARE(found,
                 (QStringList{tree.path("S/B/b.txt"), tree.path("S/A"), tree.path("S/s.txt")}));
        expectFinishedQuietly(window);
        expectAllThere(found);
    }
};

TROVAN_TEST_MAIN(HostileTreesTest)
#include "test_hostile_trees.moc"
