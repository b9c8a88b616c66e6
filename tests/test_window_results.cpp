// What a person does with the found entries, and how the program starts and ends: removing
// marked entries, saving and opening, the full list, leaving, the folder remembered between
// runs, and a window that follows the system while it is open.

#include "app/ApplicationSetup.h"
#include "app/Endings.h"
#include "core/folders/FolderRows.h"
#include "core/folders/MountTable.h"
#include "core/text/FileNames.h"
#include "core/threads/ReadGate.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/mount.h>
#include <unistd.h>

using namespace UserInput;

namespace {

using Window = TestWindow;

// Where a message box is too narrow for a window manager to show its whole title, how much;
// empty when it is wide enough. Measured under openbox (theme Clearlooks, buttons "NLIMC",
// title font "sans" bold) on Xvfb at 100 dpi: the title shows whole from a client width of its
// inked width plus 110 pixels with the default 8 pt font ("Trovan" 41 + 109, "Avsluta?"
// 50 + 110, "Fil sparad" 62 + 110), plus 136 with the font at 10 pt ("Avsluta?" 64 + 134,
// "Fil sparad" 73 + 136); narrower, it is cut to "...". The rest is the frame's borders and
// paddings, the window icon, the iconify, maximize and close buttons, which grow with the
// font, and the label's margins. Desktops often draw titles larger than openbox's default, so
// the box leaves room for 10 pt: bare, "Avsluta?" is 188 wide and shows as "Av... a?".
QString tooNarrowForTitle(const Message& message) {
    QFont titleFont(QStringLiteral("Sans"));
    titleFont.setBold(true);
    titleFont.setPixelSize(14);
    const double scale = (10.0 * 100 / 72) / 14; // 10 pt at 100 dpi
    const double title = QFontMetricsF(titleFont).horizontalAdvance(message.title) * scale;
    const int needed = int(std::ceil(title)) + 136;
    if (message.width >= needed)
        return {};
    return QStringLiteral("the box \"%1\" is %2 pixels wide, its title needs %3")
        .arg(message.title)
        .arg(message.width)
        .arg(needed);
}

QStringList twelveIn(const TestTree& tree) {
    QStringList names;
    for (int i = 0; i < 12; ++i)
        names.append(
            QFileInfo(tree.file(QStringLiteral("twelve/f%1.txt").arg(i, 2, 10, QLatin1Char('0'))))
                .fileName());
    return names;
}

} // namespace

class WindowResultsTest : public QObject {
    Q_OBJECT
private slots:
    void removesExactlyTheMarkedEntries() {
        TestTree tree;
        const QStringList twelve = twelveIn(tree);
        Window w(tree.path("twelve"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("twelve"); }));
        w.setOption("fullPaths", false);
        QVERIFY(w.search());
        QStringList expected = w.entries();
        QCOMPARE(expected.size(), 12);
        QCOMPARE(QSet<QString>(expected.begin(), expected.end()),
                 QSet<QString>(twelve.begin(), twelve.end()));

        // 2 and 10 marked, 5 current but not marked.
        w.clickRow(2);
        w.clickRow(10, Qt::ControlModifier);
        w.clickRow(5, Qt::ControlModifier);
        w.clickRow(5, Qt::ControlModifier);
        click(&w.window, "removeMarkedButton");
        expected.removeAt(10);
        expected.removeAt(2);
        QCOMPARE(w.entries(), expected);
        QCOMPARE(w.count(), QStringLiteral(" 12")); // what was found, not what is left

        // A range with Shift.
        w.clickRow(0);
        w.clickRow(2, Qt::ShiftModifier);
        click(&w.window, "removeMarkedButton");
        expected.erase(expected.begin(), expected.begin() + 3);
        QCOMPARE(w.entries(), expected);

        // All of them: the list is empty, the count stays; then nothing is left to remove.
        w.clickRow(0);
        key(&w.window, Qt::Key_A, Qt::ControlModifier);
        click(&w.window, "removeMarkedButton");
        QVERIFY(w.entries().isEmpty());
        QCOMPARE(w.count(), QStringLiteral(" 12"));
        click(&w.window, "removeMarkedButton");
        QVERIFY(w.entries().isEmpty());
    }

    void savesTheListAndOpensTheCurrentFile() {
        TestTree tree;
        tree.file("S/a.txt", "a");
        tree.file("S/b.txt", "b");
        tree.file("S/c.txt", "c");
        const QString files = tree.folder("MinaProgram");
        Window w(tree.path("S"), files);
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        QVERIFY(w.search());
        const QStringList found = w.entries();
        QCOMPARE(found.size(), 3);
        QVERIFY(w.control<QPushButton>("openFileButton")->isEnabled());

        // Several marked: only the current entry is opened, once.
        w.clickRow(0);
        w.clickRow(2, Qt::ControlModifier);
        click(&w.window, "openFileButton");
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QVERIFY(ProgramThreads::answersDelivered()); // all that the click set off has answered
        QCOMPARE(w.opener.opened, QStringList{found[2]});
        w.opener.opened.clear();

        // The list saved byte for byte; the path shown as it is; opened once the box is closed.
        Message saved;
        answerNextMessage(&saved);
        click(&w.window, "saveListButton");
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        const QString listFile = files + "/lista.txt";
        QCOMPARE(readBytes(listFile), (found.join("\r\n") + "\r\n").toUtf8());
        QCOMPARE(saved.title, QStringLiteral("Fil sparad"));
        QCOMPARE(saved.text, QStringLiteral("Fil sparad:\n") + listFile);
        QCOMPARE(saved.icon, int(QMessageBox::NoIcon));
        QCOMPARE(saved.buttons, QStringList{"OK"});
        QVERIFY2(tooNarrowForTitle(saved).isEmpty(), qPrintable(tooNarrowForTitle(saved)));
        QCOMPARE(w.opener.opened, QStringList{listFile});
        QVERIFY(!w.opener.openedUnderABox);
        w.opener.opened.clear();

        // A folder where the list goes: the reason in Swedish, nothing opened.
        QFile::remove(listFile);
        QDir().mkpath(listFile);
        Message failed;
        answerNextMessage(&failed);
        click(&w.window, "saveListButton");
        QVERIFY(waitFor([&] { return !failed.title.isEmpty(); }));
        QCOMPARE(failed.title, QStringLiteral("Trovan"));
        QCOMPARE(failed.icon, int(QMessageBox::Warning));
        QVERIFY2(failed.text.startsWith(QStringLiteral("Det är en mapp")), qPrintable(failed.text));
        QVERIFY2(tooNarrowForTitle(failed).isEmpty(), qPrintable(tooNarrowForTitle(failed)));
        QVERIFY(ProgramThreads::answersDelivered());
        QVERIFY(w.opener.opened.isEmpty());

        // Without extensions an entry names no file: an error with its number, nothing opened.
        click(&w.window, "searchButton"); // "Ny sökning"
        w.setOption("keepExtensions", false);
        QVERIFY(w.search());
        QCOMPARE(w.entries().value(0), tree.path("S/a"));
        w.clickRow(0);
        Message missing;
        answerNextMessage(&missing);
        click(&w.window, "openFileButton");
        QVERIFY(waitFor([&] { return !missing.title.isEmpty(); }));
        QCOMPARE(missing.icon, int(QMessageBox::Warning));
        QCOMPARE(missing.text,
                 QStringLiteral("Ett fel uppstod!\n53 - Filen hittades inte: ") + tree.path("S/a"));
        QVERIFY(ProgramThreads::answersDelivered());
        QVERIFY(w.opener.opened.isEmpty());

        // Folders, or names without their folder, name nothing to open.
        click(&w.window, "searchButton");
        w.setOption("listFolders", true);
        QVERIFY(w.search());
        QVERIFY(!w.control<QPushButton>("openFileButton")->isEnabled());
        click(&w.window, "searchButton");
        w.setOption("listFolders", false);
        w.setOption("fullPaths", false);
        QVERIFY(w.search());
        QVERIFY(!w.control<QPushButton>("openFileButton")->isEnabled());
    }

    void aFullListStopsTheSearchOnce() {
        TestTree tree;
        const QString root = tree.folder("many");
        const QByteArray base = QFile::encodeName(root);
        for (int i = 0; i < 40000; ++i) {
            const int file =
                ::open((base + "/f" + QByteArray::number(i)).constData(), O_CREAT | O_WRONLY, 0644);
            QVERIFY(file >= 0);
            ::close(file);
        }
        Window w(root, tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == root; }));
        w.setOption("fullPaths", false);
        w.typePattern("f*");
        Message full;
        answerNextMessage(&full, Qt::Key_Return, 60000);
        QVERIFY(w.search());
        QVERIFY(waitFor([&] { return !full.title.isEmpty(); }, 60000));
        QCOMPARE(full.title, QStringLiteral("Trovan"));
        QCOMPARE(full.text, QStringLiteral("You've filled the listbox. Search being abandoned..."));
        QCOMPARE(full.icon, int(QMessageBox::NoIcon));
        QVERIFY2(tooNarrowForTitle(full).isEmpty(), qPrintable(tooNarrowForTitle(full)));
        // Once: the walk is stopped, and what its threads said last is delivered, to no box.
        QVERIFY(!w.window.search().isRunning());
        {
            MessageWatch more;
            QVERIFY(ProgramThreads::answersDelivered());
            QCOMPARE(more.texts, QStringList{});
        }
        QCOMPARE(w.entries().size(), 32767);
        QCOMPARE(w.window.state(), MainWindow::State::Results);

        // "Ny sökning": an empty list, the options kept, the start folder shown.
        click(&w.window, "searchButton");
        QCOMPARE(w.window.state(), MainWindow::State::Options);
        QVERIFY(w.entries().isEmpty());
        QCOMPARE(w.count(), QStringLiteral("0"));
        QCOMPARE(w.control<QLineEdit>("patternBox")->text(), QStringLiteral("f*"));
        QVERIFY(!w.control<QCheckBox>("fullPaths")->isChecked());
        QVERIFY(waitFor([&] { return w.shownFolder() == root; }));
    }

    // A signal to end (a logout, `kill`, a closed terminal) leaves as the close box does, also
    // with a box up: the folder is kept, the windows go, and the list just saved is not opened.
    // After the first signal the next one takes its default action, for an ending that hangs.
    void aSignalToEndLeavesAsTheCloseBoxDoes() {
        TestTree tree;
        tree.file("S/a.txt", "a");
        const QString files = tree.folder("files");
        const auto handlerOf = [](int signal) {
            struct sigaction now {};
            sigaction(signal, nullptr, &now);
            return now.sa_handler;
        };
        const auto before = handlerOf(SIGTERM);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QFile::remove(files + "/setup.ini");
            Window w(tree.path("S"), files);
            followEndings(w.window);
            QVERIFY(handlerOf(signal) != SIG_DFL && handlerOf(signal) != before);
            QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
            QVERIFY(w.search());
            QString up;
            QVERIFY(programEnds([&] {
                actOnNextModal([&](QWidget* box) {
                    up = box->windowTitle();
                    raise(signal);
                });
                click(&w.window, "saveListButton");
            }));
            QCOMPARE(up, QStringLiteral("Fil sparad"));
            QVERIFY(!w.window.isVisible());
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
            QCOMPARE(readBytes(files + "/setup.ini"), (tree.path("S") + "\r\n").toUtf8());
            QCOMPARE(readBytes(files + "/lista.txt"), (tree.path("S/a.txt") + "\r\n").toUtf8());
            QCOMPARE(w.opener.opened, QStringList{});
            for (const int each : {SIGTERM, SIGINT, SIGHUP})
                QVERIFY(handlerOf(each) == SIG_DFL);
        }
        QVERIFY(handlerOf(SIGTERM) == before); // put back with the window

        // Ignored from the start, as nohup leaves SIGHUP: ignored it stays.
        const auto hangUp = signal(SIGHUP, SIG_IGN);
        {
            Window w(tree.path("S"), files);
            followEndings(w.window);
            QVERIFY(handlerOf(SIGHUP) == SIG_IGN);
            QVERIFY(handlerOf(SIGTERM) != before);
        }
        signal(SIGHUP, hangUp);
    }

    void aStartFolderRemovedBeforeTheSearchIsReported() {
        TestTree tree;
        const QString gone = tree.folder("gone");
        Window w(gone, tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == gone; }));
        QVERIFY(QDir(gone).removeRecursively());
        Message missing;
        answerNextMessage(&missing);
        click(&w.window, "searchButton");
        QVERIFY(waitFor([&] { return !missing.title.isEmpty(); }));
        QCOMPARE(missing.text, QStringLiteral("Sökvägen hittades inte: ") + gone);
        QCOMPARE(missing.icon, int(QMessageBox::Warning));
        // The search is over, and all it set off: the option state stays.
        QVERIFY(!w.window.search().isRunning());
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(w.window.state(), MainWindow::State::Options);
        QVERIFY(w.control<QWidget>("optionPanel")->isVisible());
        // No search started, so leaving remembers no folder.
        QVERIFY(programEnds([&] {
            answerNextMessage(nullptr);
            click(&w.window, "exitButton");
        }));
        QVERIFY(!QFileInfo::exists(tree.path("files/setup.ini")));
    }

    void leavingAsksAndRemembersTheFolder() {
        TestTree tree;
        const QString files = tree.folder("files");
        const QString start = tree.folder("start");
        const QString setup = files + "/setup.ini";
        tree.file("files/setup.ini", "/tmp\r\n");

        {
            // Leaving without a search keeps what was saved.
            Window w(start, files);
            QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
            Message asked;
            QVERIFY(programEnds([&] {
                answerNextMessage(&asked, Qt::Key_Return);
                click(&w.window, "exitButton");
            }));
            QCOMPARE(asked.title, QStringLiteral("Avsluta?"));
            QCOMPARE(asked.text, QStringLiteral("Avsluta programmet?"));
            QCOMPARE(asked.buttons, (QStringList{"&Ja", "&Nej"}));
            QVERIFY2(tooNarrowForTitle(asked).isEmpty(), qPrintable(tooNarrowForTitle(asked)));
            QCOMPARE(readBytes(setup), QByteArray("/tmp\r\n"));
        }
        {
            Window w(start, files);
            QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
            QVERIFY(w.search());
            Message declined;
            answerNextMessage(&declined, Qt::Key_Escape);
            click(&w.window, "exitButton");
            QCOMPARE(declined.title, QStringLiteral("Avsluta?"));
            QVERIFY(w.window.isVisible());
            QCOMPARE(w.window.state(), MainWindow::State::Results);
            QCOMPARE(readBytes(setup), QByteArray("/tmp\r\n"));
            QVERIFY(programEnds([&] {
                answerNextMessage(nullptr, Qt::Key_Return);
                click(&w.window, "exitButton");
            }));
            QCOMPARE(readBytes(setup), (start + "\r\n").toUtf8());
        }
        {
            // The next start shows the saved folder, unless another is asked for.
            Window w({}, files);
            QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
        }
        {
            Window w(tree.folder("asked"), files);
            QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("asked"); }));
            // Also once the saved folder has been read, and whatever that set off is over.
            QVERIFY(ProgramThreads::answersDelivered());
            QCOMPARE(w.shownFolder(), tree.path("asked"));
        }
        {
            // setup.ini read late, as from a slow share: held at the read gate until the
            // folder asked for shows, the saved one it names does not replace it then either.
            const QByteArray file = FileNames::encode(setup);
            std::optional<ReadPass> slow(
                std::in_place, MountTable::read().placeOf({file.data(), size_t(file.size())}),
                [] { return false; });
            QVERIFY(slow->entered());
            Window w(tree.path("asked"), files);
            QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("asked"); }));
            slow.reset();
            QVERIFY(ProgramThreads::answersDelivered());
            QCOMPARE(w.shownFolder(), tree.path("asked"));
        }
        {
            // A folder asked for that is not there gives way to the saved one without a word.
            MessageWatch said;
            Window w(tree.path("never-made"), files);
            QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
            QVERIFY(ProgramThreads::answersDelivered());
            QCOMPARE(said.texts, QStringList{});
        }
        // A saved folder that is gone, or a file that names none, leaves the start folder
        // quietly.
        for (const QByteArray& saved : {(tree.path("removed") + "\r\n").toUtf8(),
                                        QByteArray("\x01\xff garbage\r\nmore\r\n", 17)}) {
            QFile::remove(setup);
            tree.file("files/setup.ini", saved);
            MessageWatch said;
            Window w({}, files);
            QVERIFY(waitFor([&] { return w.shownFolder() == QDir::currentPath(); }));
            QVERIFY(ProgramThreads::answersDelivered());
            QCOMPARE(said.texts, QStringList{});
            QCOMPARE(w.shownFolder(), QDir::currentPath());
        }
    }

    void followsTheSystemWhileOpen() {
        TestTree tree;
        const QString shown = tree.folder("shown");
        tree.folder("shown/old");
        Window w(shown, tree.folder("files"));
        auto* folderView = w.control<FolderView>("folderView");
        const auto lists = [&](const QString& name) {
            const QAbstractItemModel* rows = folderView->model();
            return !rows->match(rows->index(0, 0), FolderRows::NameRole, name, 1, Qt::MatchExactly)
                        .isEmpty();
        };
        QVERIFY(waitFor([&] { return w.shownFolder() == shown && lists("old"); }));
        tree.folder("shown/new");
        QVERIFY(QDir(tree.path("shown/old")).removeRecursively());
        QVERIFY(waitFor([&] { return lists("new") && !lists("old"); }));

        // A volume mounted while the window is open shows in the drive box, and goes again.
        auto* driveBox = w.control<QComboBox>("driveBox");
        const auto listsVolume = [&](const QString& mountPoint) {
            for (int i = 0; i < driveBox->count(); ++i)
                if (driveBox->itemText(i).contains(mountPoint))
                    return true;
            return false;
        };
        const QString mountPoint = tree.folder("volume");
        QVERIFY(waitFor([&] { return driveBox->count() > 0; }));
        QVERIFY(!listsVolume(mountPoint));
        // A folder bound in place: a volume of the disk's own kind (the box leaves out tmpfs).
        if (mount(QFile::encodeName(tree.folder("stick")).constData(),
                  QFile::encodeName(mountPoint).constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("mounting is not permitted here: the drive box following the mount table is "
                  "not tested");
        const bool appeared = waitFor([&] { return listsVolume(mountPoint); }, 5000);
        umount(QFile::encodeName(mountPoint).constData());
        QVERIFY(appeared);
        QVERIFY(waitFor([&] { return !listsVolume(mountPoint); }, 5000));
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowResultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_results.moc"
