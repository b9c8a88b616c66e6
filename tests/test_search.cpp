// Searches of real temporary trees through the real window: the walk's order and entry forms,
// the counter, cancelling, the full list, a new search, leaving, and the mends around folders
// that cannot be walked.

#include "platform/App.h"
#include "platform/FileNames.h"
#include "platform/FolderCache.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/YieldHook.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {
const QString FullListMessage =
    QStringLiteral("You've filled the listbox. Search being abandoned...");

// S with subfolders A (holding A1) and B, each with one matching file.
void makeExampleTree(const TestTree& tree) {
    tree.file("S/s.txt");
    tree.file("S/A/a.txt");
    tree.file("S/A/A1/a1.txt");
    tree.file("S/B/b.txt");
    tree.file("S/B/other.doc");
}

void expectResultState(const TestWindow& window) {
    QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
    QCOMPARE(window->cmdExit->Caption(), QStringLiteral("A&vsluta"));
    QVERIFY(!window->cmdExit->Cancel());
    QCOMPARE(Screen::MousePointer(), Screen::DefaultPointer);
    QVERIFY(!window->Picture1->Visible());
    QVERIFY(window->Picture2->Visible());
}
} // namespace

class SearchTest : public QObject {
    Q_OBJECT
private slots:
    void walksSubfoldersLastFirstAndListsAFolderAfterItsSubfolders() {
        TestTree tree;
        makeExampleTree(tree);
        TestWindow window;
        const QString s = tree.path("S");
        QCOMPARE(window.search(s, "*.txt"),
                 (QStringList{s + "/B/b.txt", s + "/A/A1/a1.txt", s + "/A/a.txt", s + "/s.txt"}));
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 4"));
        expectResultState(window);
        QCOMPARE(window->dirList->Path(), s); // back on the start folder
        QCOMPARE(window->lblmapp->Caption(), s);
        QCOMPARE(window->lblmappnamn->Caption(), QStringLiteral("S"));

        QCOMPARE(window.search(s, "*.txt", {.subfolders = false}), QStringList{s + "/s.txt"});
    }

    void entryForms() {
        TestTree tree;
        makeExampleTree(tree);
        tree.file("S/A/archive.tar.gz");
        TestWindow window;
        const QString s = tree.path("S");
        using O = TestWindow::Options;
        QCOMPARE(window.search(s, "*.txt", O{.folders = true, .fullPath = true}),
                 (QStringList{s + "/B", s + "/A/A1", s + "/A", s}));
        QCOMPARE(window.search(s, "*.txt", O{.folders = true, .fullPath = false}),
                 (QStringList{"S/B", "S/A/A1", "S/A", "S"}));
        QCOMPARE(window.search(s + "/A", "*.gz", O{.fullPath = true, .extension = false}),
                 QStringList{s + "/A/archive.tar"});
        QCOMPARE(window.search(s, "*.txt", O{.fullPath = false, .extension = true}),
                 (QStringList{"b.txt", "a1.txt", "a.txt", "s.txt"}));
        QCOMPARE(window.search(s, "*.txt", O{.fullPath = false, .extension = false}),
                 (QStringList{"b", "a1", "a", "s"}));
        // A folder holding subfolders but no matching file of its own gets no entry.
        QCOMPARE(window.search(s, "*.doc", O{.folders = true}), QStringList{s + "/B"});
        // Nothing found: the counter keeps "0".
        QCOMPARE(window.search(s, "*.none"), QStringList{});
        QCOMPARE(window->lblCount->Caption(), QStringLiteral("0"));
    }

    void cuttingExtensionsNeverReachesIntoTheFolderPart() {
        TestTree tree;
        const QString dotted = tree.folder("my.folder");
        tree.file("my.folder/README");
        tree.file("my.folder/report.txt");
        tree.file("my.folder/trailing.");
        tree.file("my.folder/two..");
        TestWindow window;
        QCOMPARE(window.search(dotted, "*.*", {.fullPath = true, .extension = false}),
                 (QStringList{dotted + "/README", dotted + "/report", dotted + "/trailing",
                              dotted + "/two."}));
        QCOMPARE(window.search(dotted, "*.*", {.fullPath = false, .extension = false}),
                 (QStringList{"README", "report", "trailing", "two."}));
    }

    void rootStartFolder() {
        TestWindow window;
        QCOMPARE(window.search("/", "no-such-name-*.xyz", {.subfolders = false}), QStringList{});
        QCOMPARE(window->lblmapp->Caption(), QStringLiteral("/"));
        QCOMPARE(window->lblmappnamn->Caption(), QString());
        if (geteuid() != 0 || !QFileInfo(QStringLiteral("/")).isWritable())
            QSKIP("a file in the root needs root");
        const QString name = QStringLiteral("trovan-root-test-%1.rtx").arg(getpid());
        QFile rootFile("/" + name);
        QVERIFY(rootFile.open(QIODevice::WriteOnly));
        rootFile.close();
        const QStringList full =
            window.search("/", "trovan-root-test-*.rtx", {.subfolders = false});
        const QStringList folder =
            window.search("/", "trovan-root-test-*.rtx",
                          {.subfolders = false, .folders = true, .fullPath = false});
        rootFile.remove();
        QCOMPARE(full, QStringList{"/" + name}); // one separator
        QCOMPARE(folder, QStringList{"/"});      // the root is listed, never as an empty entry
    }

    void relativeFolderEntriesBelowTheRoot() {
        // A search of the whole root, cancelled after a few hundred folders: every relative
        // folder entry reads as the folder's own path, with one separator.
        TestWindow window;
        YieldHook cancelLater([&](int yield) {
            if (yield == 400)
                window->cmdExit->click();
        });
        const QStringList found =
            window.search("/", "*", {.subfolders = true, .folders = true, .fullPath = false});
        QVERIFY(cancelLater.yields() >= 400);
        QVERIFY(!found.isEmpty());
        for (const QString& entry : found) {
            QVERIFY2(entry.startsWith(u'/') && !entry.startsWith("//"), qPrintable(entry));
            QVERIFY2(QFileInfo(entry).isDir(), qPrintable(entry));
        }
    }

    void cancelDuringTheWalkKeepsTheEntriesSoFar_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Avbryt") << false;
        QTest::newRow("Esc") << true;
    }
    void cancelDuringTheWalkKeepsTheEntriesSoFar() {
        QFETCH(bool, byEscape);
        TestTree tree;
        makeExampleTree(tree);
        TestWindow window;
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
        QString captionDuringSearch;
        int pointerDuringSearch = -1;
        YieldHook cancelAtA1([&](int yield) {
            if (yield == 2) {
                captionDuringSearch = window->cmdExit->Caption();
                pointerDuringSearch = Screen::MousePointer();
                QVERIFY(window->cmdExit->Cancel());
            }
            if (yield == 4) { // entering S/A/A1: B is listed, A1, A and S are not
                if (byEscape)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                else
                    window->cmdExit->click();
                QCOMPARE(window->cmdExit->Caption(), QStringLiteral("Avbryt"));
                QVERIFY(!window->cmdExit->Cancel());
            }
        });
        const QString s = tree.path("S");
        QCOMPARE(window.search(s, "*.txt"), QStringList{s + "/B/b.txt"});
        QCOMPARE(captionDuringSearch, QStringLiteral("Avbryt"));
        QCOMPARE(pointerDuringSearch, Screen::BusyPointer);
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 1"));
        QCOMPARE(window->dirList->Path(), s + "/A/A1"); // stays where the walk stopped
        QCOMPARE(window->filList->Path(), s + "/A/A1");
        expectResultState(window);
        QCOMPARE(QApplication::focusWidget(), window->cmdSearch);
        QVERIFY(window.desktop.boxes.empty());
        cancelAtA1.stop();

        // Esc does nothing once the search is over.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(window.desktop.boxes.empty());
        expectResultState(window);

        // A new search empties the list and puts the folder list back on the start folder.
        window->chkmapp->setValue(1);
        window->cmdSearch->click();
        QCOMPARE(window->lstFoundFiles->ListCount(), 0);
        QCOMPARE(window->lblCount->Caption(), QStringLiteral("0"));
        QVERIFY(window->Picture1->Visible());
        QVERIFY(!window->Picture2->Visible());
        QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Sök"));
        QCOMPARE(window->dirList->Path(), s);
        QCOMPARE(window->chkmapp->Value(), 1); // the options keep their values
        QVERIFY(!window->searchActive());
    }

    void aPressOfTheSearchButtonDuringASearchIsIgnored() {
        TestTree tree;
        makeExampleTree(tree);
        TestWindow window;
        YieldHook pressAgain([&](int yield) {
            if (yield == 2)
                window->cmdSearch->click();
        });
        const QString s = tree.path("S");
        QCOMPARE(window.search(s, "*.txt").size(), 4);
        QCOMPARE(window->lblmapp->Caption(), s);
    }

    void theOpenButtonFollowsTheOptionsAtTheStart() {
        TestTree tree;
        tree.file("x.txt");
        TestWindow window;
        using O = TestWindow::Options;
        window.search(tree.root(), "*.txt", O{.folders = false, .fullPath = true});
        QVERIFY(window->cmdopenfil->Enabled());
        window.search(tree.root(), "*.txt", O{.folders = true, .fullPath = true});
        QVERIFY(!window->cmdopenfil->Enabled());
        window.search(tree.root(), "*.txt", O{.folders = false, .fullPath = false});
        QVERIFY(!window->cmdopenfil->Enabled());
        window->Check1->setValue(1); // a later change does not enable it
        QVERIFY(!window->cmdopenfil->Enabled());
    }

    void theFullListStopsTheSearchWithOneMessage() {
        TestTree tree;
        for (int i = 0; i < 20000; ++i) {
            tree.file(QStringLiteral("S/A/a%1.dat").arg(i, 5, 10, QLatin1Char('0')));
            tree.file(QStringLiteral("S/B/b%1.dat").arg(i, 5, 10, QLatin1Char('0')));
        }
        tree.file("S/s.dat");
        TestWindow window;
        const QStringList found = window.search(tree.path("S"), "*.dat");
        QCOMPARE(found.size(), 32767);
        QCOMPARE(found.first(), tree.path("S/B/b00000.dat"));
        QCOMPARE(found.last(), tree.path("S/A/a12766.dat"));
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 32767"));
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].prompt, FullListMessage);
        QCOMPARE(window.desktop.boxes[0].style, 0);
        QCOMPARE(window.desktop.boxes[0].title, QString());
        expectResultState(window);
        QCOMPARE(window->dirList->Path(), tree.path("S/A")); // the folder whose entry was refused
    }

    void leavingAsksAndSavesTheLastStartFolder() {
        TestTree tree;
        tree.file("x.txt");
        TestWindow window;
        window.search(tree.root(), "*.txt");
        window->cmdSearch->click(); // a new search
        window->dirList->setPath("/");
        window.desktop.answers = {MsgBoxResult::No, MsgBoxResult::Yes};
        window->cmdExit->click();
        QCOMPARE(window.desktop.ends, 0);
        QVERIFY(!QFile::exists(window.programFolder() + "/setup.ini"));
        window->cmdExit->click();
        QCOMPARE(window.desktop.ends, 1);
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"),
                 FileNames::encode(tree.root()) + "\r\n");
    }

    void closingTheWindowDuringASearchSavesAndEnds() {
        TestTree tree;
        makeExampleTree(tree);
        TestWindow window;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        YieldHook closeAtB([&](int yield) {
            if (yield == 2)
                window->close();
        });
        window.search(tree.path("S"), "*.txt");
        QVERIFY(window.desktop.ends >= 1);
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"),
                 FileNames::encode(tree.path("S")) + "\r\n");
    }

    void aHighlightedFolderIsOpenedByTheFirstPress() {
        TestTree tree;
        tree.file("top.txt");
        tree.file("inner/in.txt");
        TestWindow window;
        window->dirList->setPath(tree.root());
        window->txtSearchSpec->setTextValue("*.txt");
        window->dirList->setListIndex(0);
        window->cmdSearch->click();
        QCOMPARE(window->dirList->Path(), tree.path("inner"));
        QVERIFY(window->Picture1->Visible());
        QCOMPARE(window->lstFoundFiles->ListCount(), 0);
        window->cmdSearch->click();
        QCOMPARE(window.entries(), QStringList{tree.path("inner/in.txt")});
    }

    void hiddenEntriesAndLinksAreNeverWalked() {
        TestTree tree;
        tree.file("S/.hidden.txt");
        tree.file("S/.git/inside.txt");
        tree.file("S/real/r.txt");
        tree.link("S/loop", tree.path("S"));         // to its own parent
        tree.link("S/real/up", tree.path("S/real")); // to itself, through the folder
        tree.link("S/self", tree.path("S/self"));    // a link to itself
        tree.link("S/x1", tree.path("S/x2"));        // two links to each other
        tree.link("S/x2", tree.path("S/x1"));
        tree.link("S/file-link.txt", tree.path("S/real/r.txt"));
        TestWindow window;
        QCOMPARE(window.search(tree.path("S"), "*.txt"),
                 (QStringList{tree.path("S/real/r.txt"), tree.path("S/file-link.txt")}));
        QVERIFY(window.desktop.boxes.empty());
        // A start folder that is itself a link is walked.
        tree.link("start-link", tree.path("S/real"));
        QCOMPARE(window.search(tree.path("start-link"), "*.txt"),
                 QStringList{tree.path("start-link/r.txt")});
    }

    void foldersChangedDuringTheWalkAreSkipped() {
        TestTree tree;
        makeExampleTree(tree);
        tree.file("S/C/c.txt");
        TestWindow window;
        YieldHook changeTree([&](int yield) {
            if (yield == 1) {
                QDir(tree.path("S/A")).removeRecursively(); // listed, not yet visited
                QDir(tree.path("S/B")).removeRecursively(); // replaced by a file
                tree.file("S/B", "not a folder");
            }
            if (yield == 2) // entering C: its file goes away inside the yield
                QFile::remove(tree.path("S/C/c.txt"));
        });
        QCOMPARE(window.search(tree.path("S"), "*.txt"), QStringList{tree.path("S/s.txt")});
        QVERIFY(window.desktop.boxes.empty());
        expectResultState(window);
    }

    void theStartFolderRemovedDuringTheWalk() {
        TestTree tree;
        makeExampleTree(tree);
        TestWindow window;
        YieldHook removeAll([&](int yield) {
            if (yield == 2) // entering B, whose listing was read before the yield
                QDir(tree.path("S")).removeRecursively();
        });
        QCOMPARE(window.search(tree.path("S"), "*.txt"), QStringList{});
        expectResultState(window);
        QVERIFY(window.desktop.boxes.empty());
        window->cmdSearch->click(); // a new search still works
        QVERIFY(window->Picture1->Visible());
    }

    void eachFolderIsReadOncePerSearch() {
        TestTree tree;
        for (int a = 0; a < 5; ++a)
            for (int b = 0; b < 5; ++b)
                tree.file(QStringLiteral("S/f%1/g%2/x.txt").arg(a).arg(b));
        tree.age();
        TestWindow window;
        window->dirList->setPath(tree.path("S"));
        const quint64 before = FolderCache::shared().readCount();
        QCOMPARE(window.search(tree.path("S"), "*.txt").size(), 25);
        QCOMPARE(FolderCache::shared().readCount() - before, quint64(5 + 25));
    }

    void listsWhatFindListsInARealTree() {
        const QString root = QStringLiteral("/usr/include");
        if (!QFileInfo(root).isDir())
            QSKIP("no /usr/include");
        QProcess find;
        find.start("find", {root, "-mindepth", "1", "-name", ".*", "-prune", "-o", "(", "-type",
                            "f", "-o", "-xtype", "f", ")", "-iname", "*.h", "-print"});
        QVERIFY(find.waitForFinished(60000));
        QStringList expected =
            QString::fromUtf8(find.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(expected.size() > 100);
        QVERIFY(expected.size() < 32767);
        TestWindow window;
        QStringList found = window.search(root, "*.h");
        expected.sort();
        found.sort();
        QCOMPARE(found.size(), expected.size());
        QCOMPARE(found, expected);
    }
};

TROVAN_TEST_MAIN(SearchTest)
#include "test_search.moc"
