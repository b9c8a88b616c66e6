// The window between two answers, through real input: a subfolder highlighted and the search
// pressed at once (by a click or by Alt+S), Esc typed right after a search was asked for, a
// folder found by typing the start of its name, and a shown folder that is removed.

#include "app/ApplicationSetup.h"
#include "core/folders/FolderRows.h"
#include "core/run/RunControl.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FolderView.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace UserInput;

namespace {

// A tree whose walk cannot be over before the event loop runs again: it hands out its entries
// from there.
void makeTree(const TestTree& tree) {
    for (int i = 0; i < 20; ++i)
        tree.file(QStringLiteral("S/beta/b%1/x.txt").arg(i));
    tree.file("S/gamma/g.txt");
    tree.file("S/alfa/a.txt");
    tree.file("S/s.txt");
}

bool showsFolder(TestWindow& w, const QString& folder) {
    return waitFor([&] { return w.shownFolder() == folder; });
}

} // namespace

class WindowStatesTest : public QObject {
    Q_OBJECT
private slots:
    // One click highlights a subfolder; one click on "Sök", or one Alt+S with the highlight
    // moved by the arrows, searches that subfolder at once.
    void aHighlightedSubfolderIsSearchedByOnePress() {
        TestTree tree;
        makeTree(tree);
        TestWindow w(tree.path("S"), tree.folder("files"));
        QVERIFY(showsFolder(w, tree.path("S")));

        clickAt(&w.window, w.spotOfFolder("gamma"));
        QVERIFY(w.search());
        QCOMPARE(w.entries(), QStringList{tree.path("S/gamma/g.txt")});
        click(&w.window, "searchButton"); // "Ny sökning": back to gamma
        QVERIFY(showsFolder(w, tree.path("S/gamma")));

        key(&w.window, Qt::Key_Tab); // the exit button
        key(&w.window, Qt::Key_Tab); // the folder list, on gamma
        QCOMPARE(QApplication::focusWidget(), w.folderView());
        key(&w.window, Qt::Key_Up);   // S
        key(&w.window, Qt::Key_Down); // gamma again: the highlight moved
        key(&w.window, Qt::Key_Up);
        QCOMPARE(w.folderView()->highlightedFolder(), tree.path("S"));
        key(&w.window, Qt::Key_S, Qt::AltModifier);
        QVERIFY(waitFor([&] { return w.showsResults(); }));
        QCOMPARE(w.entries(), QStringList{tree.path("S/s.txt")});
    }

    // Esc right after Alt+S, or right after Enter, cancels the search it asked for: the result
    // state at once, and no search starting later.
    void escRightAfterTheSearchWasAskedForCancelsIt() {
        TestTree tree;
        makeTree(tree);
        for (int i = 0; i < 200; ++i)
            tree.file(QStringLiteral("S/beta/many/m%1/x.txt").arg(i));
        TestWindow w(tree.path("S"), tree.folder("files"));
        // The walk hands out a folder at a time, so that it cannot be over by the time the
        // event loop has delivered the two keys.
        w.window.search().setEntriesWaitingLimit(1);
        QVERIFY(showsFolder(w, tree.path("S")));
        w.setOption("includeSubfolders", true);
        for (const bool byEnter : {false, true}) {
            if (byEnter) {
                click(&w.window, "patternBox");
                key(&w.window, Qt::Key_Return);
                key(&w.window, Qt::Key_Escape);
            } else {
                // Both keys through the window system, one right after the other, as typed.
                QTest::keyClick(w.window.windowHandle(), Qt::Key_S, Qt::AltModifier);
                QTest::keyClick(w.window.windowHandle(), Qt::Key_Escape);
                QApplication::processEvents();
            }
            QVERIFY2(w.showsResults(), byEnter ? "Enter, Esc" : "Alt+S, Esc");
            // What came before the cancel stays; nothing comes after it, and no search starts.
            const qsizetype kept = w.entries().size();
            QVERIFY2(kept < 50, qPrintable(QString::number(kept)));
            QVERIFY(!w.window.search().isRunning());
            QVERIFY(!w.control<QPushButton>("searchButton")->isDown()); // no click to come
            QVERIFY(ProgramThreads::answersDelivered());
            QVERIFY(!w.searching());
            QCOMPARE(w.entries().size(), kept);
            QCOMPARE(w.count(), RunControl::countText(kept));
            key(&w.window, Qt::Key_N, Qt::AltModifier);
            QVERIFY(waitFor([&] { return w.window.state() == MainWindow::State::Options; }));
        }
    }

    // Typing the start of a name moves the highlight to that folder; leaving the list opens it.
    // A name with a line break shows on one line, the break made visible.
    void typingTheStartOfANameFindsTheFolder() {
        TestTree tree;
        makeTree(tree);
        tree.folder("S/gammal");
        tree.folder("S/rad\nbrytning");
        TestWindow w(tree.path("S"), tree.folder("files"));
        QVERIFY(showsFolder(w, tree.path("S")));
        const QString oneLine = QStringLiteral("rad\u240Abrytning");
        QCOMPARE(w.listedFolders().last(), oneLine);
        QVERIFY(!w.listedFolders().join(QString()).contains(u'\n'));
        clickAt(&w.window, w.spotOfFolder("alfa"));
        type(&w.window, "gam");
        QCOMPARE(w.folderView()->highlightedFolder(), tree.path("S/gamma"));
        type(&w.window, "mal");
        QCOMPARE(w.folderView()->highlightedFolder(), tree.path("S/gammal"));
        click(&w.window, "patternBox");
        QVERIFY(showsFolder(w, tree.path("S/gammal")));
    }

    // The shown folder removed: the list gives way to its parent, which the search searches.
    void aShownFolderThatIsRemovedGivesWayToItsParent() {
        TestTree tree;
        makeTree(tree);
        tree.folder("S/alfa/tom/inre");
        TestWindow w(tree.path("S/alfa/tom/inre"), tree.folder("files"));
        QVERIFY(showsFolder(w, tree.path("S/alfa/tom/inre")));
        QVERIFY(QDir(tree.path("S/alfa/tom")).removeRecursively());
        QVERIFY(showsFolder(w, tree.path("S/alfa")));
        QVERIFY(w.search());
        QCOMPARE(w.entries(), QStringList{tree.path("S/alfa/a.txt")});
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowStatesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_states.moc"
