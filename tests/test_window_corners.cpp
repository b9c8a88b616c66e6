// The window in its corners, driven as a person drives it: Enter on every command button of
// both panels and of the message boxes, names that hold a line break, a message about a path
// longer than the screen is high, the drive list open while a volume goes, and a folder named
// on the command line in bytes that are not UTF-8.

#include "app/ApplicationSetup.h"
#include "app/CommandLine.h"
#include "core/text/FileNames.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace UserInput;

namespace {

using Window = TestWindow;

QString focused() {
    QWidget* widget = QApplication::focusWidget();
    return widget ? widget->objectName() : QString();
}

// A message box closed: the window manager gives the keyboard back to the window, which
// the offscreen platform does not do by itself.
bool windowManagerActivates(QWidget* window) {
    if (!window->isActiveWindow())
        window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// Whether the box answered has gone and no other comes up, once every answer the program owes
// has come.
bool noBoxFollows() {
    if (QApplication::activeModalWidget())
        return false;
    MessageWatch watch;
    return ProgramThreads::answersDelivered() && watch.texts.isEmpty();
}

// The title of a modal window that came up, and the button Enter was pressed on there.
struct Answered {
    QString title;
    QString pressed;
};

// Answers the next modal window by moving the focus `tabs` times with Tab and pressing Enter
// on the button that then has it.
void answerWithEnterAfterTabs(Answered* answered, int tabs) {
    actOnNextModal([=](QWidget* modal) {
        answered->title = modal->windowTitle();
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(modal->focusWidget(), Qt::Key_Tab);
        QWidget* button = modal->focusWidget();
        if (auto* pushButton = qobject_cast<QPushButton*>(button))
            answered->pressed = pushButton->text();
        QTest::keyClick(button, Qt::Key_Return);
    });
}

// A chain of folders deeper than any path the system takes (PATH_MAX), made and removed one
// step at a time from the folder above; the file at its bottom is "djup.txt".
class DeepChain {
public:
    DeepChain(const QString& root, int depth, int nameLength)
        : m_root(FileNames::encode(root)), m_name(nameLength, 'd'), m_depth(depth) {
        int folder = open(m_root.constData(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < depth && folder >= 0; ++level) {
            mkdirat(folder, m_name.constData(), 0755);
            const int below = openat(folder, m_name.constData(), O_RDONLY | O_DIRECTORY);
            close(folder);
            folder = below;
        }
        if (folder >= 0) {
            close(openat(folder, "djup.txt", O_WRONLY | O_CREAT, 0644));
            close(folder);
        }
    }
    ~DeepChain() { removeBelow(open(m_root.constData(), O_RDONLY | O_DIRECTORY), 0); }
    QString file() const {
        QByteArray path = m_root;
        for (int level = 0; level < m_depth; ++level)
            path += '/' + m_name;
        path += "/djup.txt";
        return FileNames::decode(std::string_view(path.constData(), size_t(path.size())));
    }

private:
    void removeBelow(int folder, int level) {
        if (folder < 0)
            return;
        if (level < m_depth)
            removeBelow(openat(folder, m_name.constData(), O_RDONLY | O_DIRECTORY), level + 1);
        else
            unlinkat(folder, "djup.txt", 0);
        if (level < m_depth)
            unlinkat(folder, m_name.constData(), AT_REMOVEDIR);
        close(folder);
    }
    QByteArray m_root;
    QByteArray m_name;
    int m_depth;
};

// Folders bound in place of others: volumes of the disk's own kind, gone again at the end.
struct BoundVolumes {
    QStringList mountPoints;
    bool bind(const QString& source, const QString& mountPoint) {
        if (mount(FileNames::encode(source).constData(), FileNames::encode(mountPoint).constData(),
                  nullptr, MS_BIND, nullptr) != 0)
            return false;
        mountPoints.append(mountPoint);
        return true;
    }
    void unbind(const QString& mountPoint) {
        if (mountPoints.removeAll(mountPoint) > 0)
            umount(FileNames::encode(mountPoint).constData());
    }
    ~BoundVolumes() {
        for (const QString& mountPoint : mountPoints)
            umount(FileNames::encode(mountPoint).constData());
    }
};

int rowShowing(QComboBox* box, const QString& mountPoint) {
    for (int row = 0; row < box->count(); ++row)
        if (box->itemText(row).startsWith(mountPoint + " ["))
            return row;
    return -1;
}

} // namespace

class WindowCornersTest : public QObject {
    Q_OBJECT
private slots:
    // Enter presses the command button that has the focus, on both panels and in the boxes;
    // the search button only when no other command button has it.
    void enterPressesTheFocusedButton() {
        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/b.txt");
        tree.file("S/c.txt");
        const QString files = tree.folder("files");
        Window w(tree.path("S"), files);
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        QCOMPARE(focused(), QStringLiteral("searchButton"));

        // The option panel. "A&vsluta" asks; "Nej", reached with Tab, keeps the program.
        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("exitButton"));
        Answered asked;
        answerWithEnterAfterTabs(&asked, 1);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !asked.pressed.isEmpty(); }, 2000));
        QCOMPARE(asked.title, QStringLiteral("Avsluta?"));
        QCOMPARE(asked.pressed, QStringLiteral("&Nej"));
        QVERIFY(noBoxFollows());
        QVERIFY(w.window.isVisible());
        QCOMPARE(w.window.state(), MainWindow::State::Options);

        // "Om..." shows the about window, whose "&OK" Enter presses.
        QVERIFY(windowManagerActivates(&w.window));
        QCOMPARE(focused(), QStringLiteral("exitButton"));
        for (const char* next : {"folderView", "driveBox", "aboutButton"}) {
            key(&w.window, Qt::Key_Tab);
            QCOMPARE(focused(), QString::fromLatin1(next));
        }
        Answered about;
        answerWithEnterAfterTabs(&about, 0);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !about.pressed.isEmpty(); }, 2000));
        QCOMPARE(about.title, QStringLiteral("Om..."));
        QCOMPARE(about.pressed, QStringLiteral("&OK"));
        QVERIFY(noBoxFollows());
        QCOMPARE(w.window.state(), MainWindow::State::Options);

        // The result panel.
        QVERIFY(windowManagerActivates(&w.window));
        QVERIFY(w.search());
        QCOMPARE(w.entries().size(), 3);
        w.clickRow(0);
        const QString removed = w.entries().first();
        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("removeMarkedButton"));
        key(&w.window, Qt::Key_Return);
        QVERIFY(w.showsResults());
        QCOMPARE(w.entries().size(), 2);
        QVERIFY(!w.entries().contains(removed));

        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("saveListButton"));
        Answered saved;
        answerWithEnterAfterTabs(&saved, 0);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(saved.title, QStringLiteral("Fil sparad"));
        QCOMPARE(w.opener.opened, QStringList{files + "/lista.txt"});
        QCOMPARE(readBytes(files + "/lista.txt"), (w.entries().join("\r\n") + "\r\n").toUtf8());
        QVERIFY(w.showsResults());
        QCOMPARE(w.entries().size(), 2);

        QVERIFY(windowManagerActivates(&w.window));
        QCOMPARE(focused(), QStringLiteral("saveListButton"));
        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("aboutButton"));
        Answered aboutOnResults;
        answerWithEnterAfterTabs(&aboutOnResults, 0);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !aboutOnResults.pressed.isEmpty(); }, 2000));
        QCOMPARE(aboutOnResults.title, QStringLiteral("Om..."));
        QVERIFY(w.showsResults());

        QVERIFY(windowManagerActivates(&w.window));
        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("openFileButton"));
        w.opener.opened.clear();
        const QString current = w.entries().value(
            w.resultList()->currentIndex().isValid() ? w.resultList()->currentIndex().row() : 0);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(w.opener.opened, QStringList{current});
        QVERIFY(w.showsResults());

        // "A&vsluta" on the result panel: "Nej" with Enter keeps the list.
        key(&w.window, Qt::Key_Tab);
        key(&w.window, Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("exitButton"));
        Answered askedOnResults;
        answerWithEnterAfterTabs(&askedOnResults, 1);
        key(&w.window, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !askedOnResults.pressed.isEmpty(); }, 2000));
        QCOMPARE(askedOnResults.title, QStringLiteral("Avsluta?"));
        QCOMPARE(askedOnResults.pressed, QStringLiteral("&Nej"));
        QVERIFY(noBoxFollows());
        QVERIFY(w.showsResults());
        QCOMPARE(w.entries().size(), 2);

        // Enter on the search button itself: "&Ny sökning".
        QVERIFY(windowManagerActivates(&w.window));
        key(&w.window, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("searchButton"));
        key(&w.window, Qt::Key_Return);
        QCOMPARE(w.window.state(), MainWindow::State::Options);
        QVERIFY(w.entries().isEmpty());
    }

    // A name may hold CR and LF: the list shows it on one line of the usual height, saves it
    // on one line, and opens the file by its real name.
    void namesWithLineBreaksStayOnOneLine() {
        TestTree tree;
        const QString plain = tree.file("L/plain.txt");
        const QString twoLines = tree.file("L/två\nrader.txt");
        tree.file("L/vagn\rretur.txt");
        const QString files = tree.folder("files");
        Window w(tree.path("L"), files);
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("L"); }));
        QVERIFY(w.search());
        const QStringList shown = w.entries();
        QCOMPARE(
            QSet<QString>(shown.begin(), shown.end()),
            (QSet<QString>{plain, tree.path("L/två␊rader.txt"), tree.path("L/vagn␍retur.txt")}));
        const int lineHeight = w.resultList()->fontMetrics().lineSpacing();
        for (int row = 0; row < shown.size(); ++row) {
            const int height =
                w.resultList()->visualRect(w.resultList()->model()->index(row, 0)).height();
            QVERIFY2(height < 2 * lineHeight, qPrintable(QString::number(height)));
        }

        const int row = int(shown.indexOf(tree.path("L/två␊rader.txt")));
        w.clickRow(row);
        click(&w.window, "openFileButton");
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(w.opener.opened, QStringList{twoLines});
        w.opener.opened.clear();

        answerNextMessage(nullptr);
        click(&w.window, "saveListButton");
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(readBytes(files + "/lista.txt"), (shown.join("\r\n") + "\r\n").toUtf8());
    }

    // "Öppna markerad fil" on a file whose path is longer than the system takes: the message
    // names the path, wrapped and cut in the middle, in a box that lies on the screen whole,
    // its OK button too (the offscreen screen is 800 x 600).
    void aMessageAboutALongPathFitsTheScreen() {
        TestTree tree;
        const QString root = tree.folder("deep");
        const DeepChain chain(root, 60, 200);
        Window w(root, tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == root; }));
        w.setOption("includeSubfolders", true);
        QVERIFY(w.search());
        QCOMPARE(w.entries(), QStringList{chain.file()});
        // The row is far wider than the list: a click near its start, where it is drawn.
        const QRect row = w.resultList()->visualRect(w.resultList()->model()->index(0, 0));
        clickAt(&w.window, w.resultList()->viewport()->mapTo(
                               &w.window, QPoint(row.left() + 20, row.center().y())));

        QRect screen, box, ok;
        QString text;
        actOnNextModal([&](QWidget* modal) {
            auto* message = qobject_cast<QMessageBox*>(modal);
            screen = modal->screen()->availableGeometry();
            box = modal->frameGeometry();
            text = message ? message->text() : QString();
            if (QAbstractButton* button = message ? message->buttons().value(0) : nullptr)
                ok = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
            QTest::keyClick(modal, Qt::Key_Return);
        });
        click(&w.window, "openFileButton");
        QVERIFY(waitFor([&] { return !text.isEmpty(); }));
        const QString seen = QStringLiteral("box %1,%2 %3x%4 on a screen of %5x%6")
                                 .arg(box.x())
                                 .arg(box.y())
                                 .arg(box.width())
                                 .arg(box.height())
                                 .arg(screen.width())
                                 .arg(screen.height());
        QVERIFY2(screen.contains(box), qPrintable(seen));
        QVERIFY2(!ok.isEmpty() && screen.contains(ok), qPrintable(seen));
        // Both ends of the path are there, on lines of their own.
        QVERIFY2(text.startsWith("Ett fel uppstod!\n76 - Sökvägen är för lång: "),
                 qPrintable(text));
        const QString unwrapped = text.section(u'\n', 1).remove(u'\n');
        QVERIFY2(unwrapped.contains(root + "/ddd"), qPrintable(text));
        QVERIFY2(unwrapped.endsWith("ddd/djup.txt"), qPrintable(text));
        QVERIFY2(text.contains(u'…'), qPrintable(text));
    }

    // The drive list open while a volume goes: it shows the volumes left, no empty row, and
    // the one highlighted stays highlighted, for Enter to choose.
    void theOpenDriveListFollowsAVolumeThatGoes() {
        TestTree tree;
        const QString going = tree.folder("going");
        const QString staying = tree.folder("staying");
        Window w(tree.root(), tree.folder("files"));
        auto* driveBox = w.control<QComboBox>("driveBox");
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.root() && driveBox->count() > 0; }));
        BoundVolumes volumes;
        if (!volumes.bind(tree.folder("stick1"), going) ||
            !volumes.bind(tree.folder("stick2"), staying))
            QSKIP("mounting is not permitted here: the open drive list is not tested");
        QVERIFY(waitFor([&] {
            return rowShowing(driveBox, going) >= 0 && rowShowing(driveBox, staying) >= 0;
        }));

        click(&w.window, "driveBox");
        QAbstractItemView* list = driveBox->view();
        QVERIFY(waitFor([&] { return list->isVisible(); }));
        const auto highlighted = [&] { return list->currentIndex().row(); };
        for (int presses = 0; presses < 2 * driveBox->count(); ++presses) {
            if (highlighted() == rowShowing(driveBox, staying))
                break;
            QTest::keyClick(list, highlighted() < rowShowing(driveBox, staying) ? Qt::Key_Down
                                                                                : Qt::Key_Up);
        }
        QCOMPARE(highlighted(), rowShowing(driveBox, staying));

        const int before = driveBox->count();
        volumes.unbind(going);
        QVERIFY(waitFor([&] { return driveBox->count() == before - 1; }));
        QVERIFY(waitFor([&] { return list->isVisible(); }));
        QCOMPARE(list->model()->rowCount(), driveBox->count());
        // The rows fill the list: below the last one there is less than a row to spare.
        const QRect last = list->visualRect(list->model()->index(driveBox->count() - 1, 0));
        QVERIFY2(list->viewport()->height() - last.bottom() - 1 < last.height(),
                 qPrintable(QStringLiteral("%1 pixels below the last of %2 rows %3 high")
                                .arg(list->viewport()->height() - last.bottom() - 1)
                                .arg(driveBox->count())
                                .arg(last.height())));
        QCOMPARE(highlighted(), rowShowing(driveBox, staying));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(waitFor([&] { return !list->isVisible(); }));
        QVERIFY(waitFor([&] { return w.shownFolder() == staying; }));
    }

    // A folder named on the command line in bytes that are not UTF-8, relative to the folder
    // the program starts in, is the folder the window shows, byte for byte.
    void aFolderArgumentInAnyBytesReachesTheWindow() {
        TestTree tree;
        const QByteArray root = FileNames::encode(tree.root());
        const QByteArray name = "latin1-\xe5\xe4\xf6-\xff";
        QCOMPARE(mkdir(root + '/' + name, 0755), 0);
        const QByteArray before = FileNames::encode(QDir::currentPath());
        QCOMPARE(chdir(root.constData()), 0);
        const CommandLine commandLine = CommandLine::parse({"trovan", "-style", "Fusion", name});
        QCOMPARE(chdir(before.constData()), 0);
        QVERIFY(commandLine.complaint.isEmpty());
        Window w(commandLine.folder, tree.folder("files"));
        const bool shown =
            waitFor([&] { return FileNames::encode(w.shownFolder()) == root + '/' + name; });
        rmdir(root + '/' + name); // a name Qt cannot remove: it is not UTF-8
        QVERIFY(shown);
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowCornersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_corners.moc"
