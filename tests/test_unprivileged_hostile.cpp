// Folders and stored files that an ordinary user may not read, enter or replace. Root may do
// all of that, so this suite runs without root's privileges (tests/run-unprivileged.sh).

#include "platform/App.h"
#include "platform/FileChannel.h"
#include "platform/FileNames.h"
#include "platform/RuntimeError.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/YieldHook.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setMode(const QString& path, mode_t mode) {
    QVERIFY(chmod(FileNames::encode(path).constData(), mode) == 0);
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

void expectFinishedQuietly(const TestWindow& window) {
    QVERIFY(window.desktop.boxes.empty());
    QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
    QCOMPARE(window->cmdExit->Caption(), QStringLiteral("A&vsluta"));
}

// Saving is refused with the error's own description and the exclamation icon.
void expectSaveRefused(const TestWindow& window) {
    window->Command2->click();
    QCOMPARE(window.desktop.boxes.size(), size_t(1));
    QCOMPARE(window.desktop.boxes[0].style, 48);
    QCOMPARE(window.desktop.boxes[0].title, QString());
    QVERIFY2(window.desktop.boxes[0].prompt.startsWith(
                 RuntimeError::describe(ErrorNumber::PermissionDenied)),
             qPrintable(window.desktop.boxes[0].prompt));
    QVERIFY(window.desktop.opened.empty());
    QVERIFY(!FileChannel::IsOpen(1));
}

} // namespace

class UnprivilegedHostileTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (geteuid() == 0)
            QFAIL("run without root's privileges: tests/run-unprivileged.sh");
    }

    void foldersThatCanBeEnteredButNotReadAreSkippedQuietly() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/unreadable/r.txt");
        tree.file("S/unreadable/inner/ri.txt");
        tree.file("S/ok/o.txt");
        tree.file("S/ok/locked/l.txt");
        setMode(tree.path("S/unreadable"), 0300); // may be entered, not listed
        setMode(tree.path("S/ok/locked"), 0000);  // two levels down
        TestWindow window;
        const QStringList files = window.search(tree.path("S"), "*.txt");
        const QStringList folders = window.search(tree.path("S"), "*.txt", {.folders = true});
        for (const char* folder : {"S/unreadable", "S/ok/locked"})
            setMode(tree.path(folder), 0755);
        QCOMPARE(sorted(files), sorted(QStringList{tree.path("S/ok/o.txt"), tree.path("S/s.txt")}));
        QCOMPARE(folders, (QStringList{tree.path("S/ok"), tree.path("S")}));
        expectFinishedQuietly(window);
        QCOMPARE(window->dirList->Path(), tree.path("S"));
    }

    void aFolderLockedAsItIsEntered() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/A/a.txt");
        tree.file("S/B/b.txt");
        TestWindow window;
        YieldHook lock([&](int yield) {
            if (yield == 2) // entering B, already read by the folder list
                setMode(tree.path("S/B"), 0000);
        });
        const QStringList found = window.search(tree.path("S"), "*.txt");
        setMode(tree.path("S/B"), 0755);
        QCOMPARE(found, (QStringList{tree.path("S/A/a.txt"), tree.path("S/s.txt")}));
        expectFinishedQuietly(window);
    }

    void anUnreadableSetupIniIsPassedOverAndKept() {
        TestTree tree;
        const QString folder = tree.folder("saved");
        TestWindow window;
        const QString settings = window.programFolder() + "/setup.ini";
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(FileNames::encode(folder) + "\r\n");
        file.close();
        setMode(settings, 0000);
        window->dirList->setPath(tree.root());
        App::setPathForTesting(window.programFolder());
        window->Form_Load();
        QVERIFY(window.desktop.boxes.empty());
        QCOMPARE(window->dirList->Path(), tree.root());
        window->lblmapp->setCaption(tree.root());
        window->Form_Unload();
        QCOMPARE(window.desktop.ends, 1);
        QVERIFY(window.desktop.boxes.empty());
        QVERIFY(!FileChannel::IsOpen(1));
        setMode(settings, 0644);
        QCOMPARE(readBytes(settings), FileNames::encode(folder) + "\r\n");
    }

    void aSavedListThatCannotBeReplaced() {
        TestTree tree;
        tree.file("a.txt");
        TestWindow window;
        window.search(tree.root(), "*.txt");
        const QString list = window.programFolder() + "/lista.txt";
        QFile old(list);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier list\r\n");
        old.close();
        setMode(list, 0444);
        expectSaveRefused(window);
        QCOMPARE(readBytes(list), QByteArray("earlier list\r\n"));

        // Once it may be written, the next save replaces it.
        setMode(list, 0644);
        window->Command2->click();
        QCOMPARE(readBytes(list), FileNames::encode(tree.path("a.txt")) + "\r\n");
        QCOMPARE(window.desktop.opened.size(), size_t(1));
    }
};

TROVAN_TEST_MAIN(UnprivilegedHostileTest)
#include "test_unprivileged_hostile.moc"
