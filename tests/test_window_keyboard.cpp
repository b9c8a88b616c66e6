// The window with the keyboard alone: the Tab order of each state, the access keys, Enter and
// Esc, and where the focus is after each message box and each change of panel.

#include "app/ApplicationSetup.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QKeySequence>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace UserInput;

namespace {

// A message box closed: the window manager gives the keyboard back to the window, which
// the offscreen platform does not do by itself.
bool windowManagerActivates(QWidget* window) {
    if (!window->isActiveWindow())
        window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QString focused() {
    QWidget* widget = QApplication::focusWidget();
    return widget ? widget->objectName() : QString();
}

// The controls the focus visits from the search button on, one Tab at a time, until it is
// back there.
QStringList tabOrder(QWidget* window) {
    QStringList visited{focused()};
    for (int i = 0; i < 20; ++i) {
        key(window, Qt::Key_Tab);
        if (focused() == visited.first())
            return visited;
        visited.append(focused());
    }
    return visited;
}

// The share of a list's visible edge, a band two pixels wide, drawn in its highlight colour:
// the focus frame, plainly told from the list's own border and from a change of shade.
double framedShare(QAbstractItemView* list) {
    const QImage picture = drawnList(list);
    const QRgb highlight = list->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    int framed = 0;
    int edge = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            if (x >= 2 && y >= 2 && x < picture.width() - 2 && y < picture.height() - 2)
                continue;
            ++edge;
            framed += picture.pixel(x, y) == highlight;
        }
    return edge == 0 ? 0 : double(framed) / edge;
}

// Whether the list's edge shows the focus frame when the list has the focus, and not before.
QString focusFrameFault(double before, double focused) {
    if (before < 0.5 && focused == 1.0)
        return {};
    return QStringLiteral("highlighted along the edge: %1% without the focus, %2% with it")
        .arg(before * 100)
        .arg(focused * 100);
}

// The tree each case works in: a file at the top, one in "sub", and 200 more below "sub"; the
// window started on one of its folders, with its files kept in "files".
struct Session {
    TestTree tree;
    TestWindow w;

    explicit Session(const QString& start = {})
        : w(filled(tree).path(start), tree.folder("files")) {}
    static const TestTree& filled(const TestTree& tree) {
        tree.file("top.txt");
        tree.file("sub/inner.txt");
        for (int i = 0; i < 200; ++i)
            tree.file(QStringLiteral("sub/more%1/x.txt").arg(i));
        return tree;
    }
    // Active and showing `folder`.
    bool shows(const QString& folder) {
        return QTest::qWaitForWindowActive(&w.window) &&
               waitFor([&] { return w.folderView()->shownFolder() == tree.path(folder); });
    }
    // The access key set on the named button, which a person reaches with Alt.
    QKeySequence accessKey(const char* name) {
        return QKeySequence::mnemonic(w.control<QPushButton>(name)->text());
    }
};

} // namespace

class WindowKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    // The option state: its access keys, its Tab order from the search button round, and Esc,
    // which does nothing there.
    void theOptionStateByKeyboard() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shows({}));
        QCOMPARE(s.accessKey("searchButton"), QKeySequence(Qt::ALT | Qt::Key_S));
        QCOMPARE(s.accessKey("exitButton"), QKeySequence(Qt::ALT | Qt::Key_V));

        QCOMPARE(focused(), QStringLiteral("searchButton"));
        QCOMPARE(tabOrder(&window),
                 (QStringList{"searchButton", "exitButton", "folderView", "driveBox", "aboutButton",
                              "fullPaths", "patternBox", "listFolders", "includeSubfolders",
                              "keepExtensions"}));

        key(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QCOMPARE(window.state(), MainWindow::State::Options);
    }

    // Alt+V asks before leaving; "Nej" gives the focus back where it was.
    void leavingDeclinedGivesTheFocusBack() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shows({}));
        Message asked;
        answerNextMessage(&asked, Qt::Key_Escape);
        key(&window, Qt::Key_V, Qt::AltModifier);
        QVERIFY(waitFor([&] { return !asked.title.isEmpty(); }, 2000));
        QCOMPARE(asked.title, QStringLiteral("Avsluta?"));
        QCOMPARE(window.state(), MainWindow::State::Options);
        QVERIFY(windowManagerActivates(&window));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
    }

    // Enter on a subfolder highlighted with the arrows opens it and searches nothing; an Enter
    // on the shown folder searches there and leaves the focus on the search button. The list
    // shows its focus by a frame.
    void enterOnTheFolderListOpensOrSearches() {
        Session s;
        MainWindow& window = s.w.window;
        const TestTree& tree = s.tree;
        FolderView* folderView = s.w.folderView();
        QAbstractItemView* resultList = s.w.resultList();
        QVERIFY(s.shows({}));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
        key(&window, Qt::Key_Tab);
        const double folderViewBefore = framedShare(folderView);
        key(&window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("folderView"));
        const QString folderFrame = focusFrameFault(folderViewBefore, framedShare(folderView));
        QVERIFY2(folderFrame.isEmpty(), qPrintable(folderFrame));
        key(&window, Qt::Key_Down);
        QCOMPARE(folderView->highlightedFolder(), tree.path("files"));
        key(&window, Qt::Key_Down);
        QCOMPARE(folderView->highlightedFolder(), tree.path("sub"));
        key(&window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return folderView->shownFolder() == tree.path("sub"); }));
        QCOMPARE(window.state(), MainWindow::State::Options);
        QCOMPARE(focused(), QStringLiteral("folderView"));
        // A highlight moved away and back onto the shown folder chooses nothing: not when the
        // list loses the focus, and Enter there searches at its first press.
        QSignalSpy chosen(folderView, &FolderView::chosen);
        key(&window, Qt::Key_Down);
        key(&window, Qt::Key_Up);
        QCOMPARE(folderView->highlightedFolder(), tree.path("sub"));
        key(&window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("driveBox"));
        key(&window, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("folderView"));
        QCOMPARE(chosen.size(), 0);
        key(&window, Qt::Key_Down);
        key(&window, Qt::Key_Up);
        key(&window, Qt::Key_Return);
        QVERIFY(window.state() != MainWindow::State::Options);
        QCOMPARE(chosen.size(), 0);
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Results; }));
        QCOMPARE(resultList->model()->rowCount(), 1);
        QCOMPARE(resultList->model()->index(0, 0).data().toString(), tree.path("sub/inner.txt"));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
    }

    // The result state: its access key, its Tab order, Esc doing nothing there, the list's
    // focus frame. "Fil sparad" closed, then Alt+N: the focus goes to the search button, not
    // "Om...", and the folder list back to the folder searched.
    void theResultStateByKeyboard() {
        Session s("sub");
        MainWindow& window = s.w.window;
        const TestTree& tree = s.tree;
        QAbstractItemView* resultList = s.w.resultList();
        QVERIFY(s.shows("sub"));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
        key(&window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Results; }));
        QCOMPARE(resultList->model()->rowCount(), 1);
        QCOMPARE(focused(), QStringLiteral("searchButton"));

        QCOMPARE(s.accessKey("searchButton"), QKeySequence(Qt::ALT | Qt::Key_N));
        QCOMPARE(tabOrder(&window),
                 (QStringList{"searchButton", "exitButton", "resultList", "removeMarkedButton",
                              "saveListButton", "aboutButton", "openFileButton"}));
        key(&window, Qt::Key_Escape);
        QCOMPARE(window.state(), MainWindow::State::Results);

        key(&window, Qt::Key_Tab);
        const double resultListBefore = framedShare(resultList);
        key(&window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("resultList"));
        const QString resultFrame = focusFrameFault(resultListBefore, framedShare(resultList));
        QVERIFY2(resultFrame.isEmpty(), qPrintable(resultFrame));
        key(&window, Qt::Key_Tab);
        key(&window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("saveListButton"));
        answerNextMessage(nullptr);
        key(&window, Qt::Key_Space);
        QVERIFY(waitFor([&] { return s.w.opener.opened.size() == 1; }));
        QVERIFY(windowManagerActivates(&window));
        QCOMPARE(focused(), QStringLiteral("saveListButton"));
        key(&window, Qt::Key_N, Qt::AltModifier);
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Options; }, 2000));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
        QVERIFY(waitFor([&] { return s.w.folderView()->shownFolder() == tree.path("sub"); }));
    }

    // Esc during a search cancels it: nothing is added after it. The same search once more
    // runs to its end.
    void escCancelsASearch() {
        Session s("sub");
        MainWindow& window = s.w.window;
        QAbstractItemView* resultList = s.w.resultList();
        QVERIFY(s.shows("sub"));
        QCOMPARE(focused(), QStringLiteral("searchButton"));
        key(&window, Qt::Key_Tab); // exit
        key(&window, Qt::Key_Tab); // folder list
        key(&window, Qt::Key_Tab); // drive box
        key(&window, Qt::Key_Tab); // about
        key(&window, Qt::Key_Tab); // full paths
        key(&window, Qt::Key_Tab); // pattern box
        QCOMPARE(focused(), QStringLiteral("patternBox"));
        type(&window, "x*");
        key(&window, Qt::Key_Tab);
        key(&window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("includeSubfolders"));
        key(&window, Qt::Key_Space);
        key(&window, Qt::Key_Return);
        QCOMPARE(window.state(), MainWindow::State::Searching);
        key(&window, Qt::Key_Escape);
        QCOMPARE(window.state(), MainWindow::State::Results);
        // Entries reach the list only from a search that runs, in the search state: with
        // neither, nothing more can come.
        QVERIFY(!window.search().isRunning());
        const int kept = resultList->model()->rowCount();
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(resultList->model()->rowCount(), kept);
        QVERIFY(kept < 200);
        QCOMPARE(focused(), QStringLiteral("searchButton"));

        key(&window, Qt::Key_N, Qt::AltModifier);
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Options; }, 2000));
        key(&window, Qt::Key_S, Qt::AltModifier);
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Results; }));
        QCOMPARE(resultList->model()->rowCount(), 200);
        QCOMPARE(focused(), QStringLiteral("searchButton"));
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowKeyboardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_keyboard.moc"
