// Cases that root's privileges would hide: a program folder that cannot be written, folders
// that cannot be read or entered. Runs as an ordinary user (see run-unprivileged.sh).

#include "platform/App.h"
#include "platform/FileChannel.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"

#include <QDir>
#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A folder this user cannot write: its own temporary folder with the write bit taken away.
QString unwritableFolder(const TestTree& tree) {
    const QString folder = tree.folder("readonly");
    chmod(folder.toUtf8().constData(), 0555);
    return folder;
}
} // namespace

class UnprivilegedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(geteuid() != 0, "must not run as root: run it through run-unprivileged.sh");
    }

    void anUnwritableProgramFolderSkipsTheSaveSilently() {
        TestTree tree;
        const QString folder = unwritableFolder(tree);
        TestWindow window;
        App::setPathForTesting(folder);
        window->lblmapp->setCaption("/tmp");
        window->Form_Unload();
        QCOMPARE(window.desktop.ends, 1);
        QVERIFY(window.desktop.boxes.empty());
        QVERIFY(!QFile::exists(folder + "/setup.ini"));
        QVERIFY(!FileChannel::IsOpen(1));
    }

    void anUnwritableProgramFolderReportsTheFailedListSave() {
        TestTree tree;
        const QString folder = unwritableFolder(tree);
        TestWindow window;
        App::setPathForTesting(folder);
        window->lstFoundFiles->AddItem("a");
        window->Command2->click();
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].style, 48);
        QCOMPARE(window.desktop.boxes[0].title, QString());
        QVERIFY(window.desktop.boxes[0].prompt.startsWith(QStringLiteral("Åtkomst nekad")));
        QVERIFY(window.desktop.opened.empty());
        // A later save into a folder that can be written, and the exit, still work.
        App::setPathForTesting(window.programFolder());
        window->Command2->click();
        QCOMPARE(window.desktop.boxes.back().title, QStringLiteral("Fil sparad"));
        QCOMPARE(readBytes(window.programFolder() + "/lista.txt"), QByteArray("a\r\n"));
        window->lblmapp->setCaption("/tmp");
        window->Form_Unload();
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"), QByteArray("/tmp\r\n"));
    }

    void foldersThatCannotBeReadOrEnteredAreSkipped() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/locked/hidden-away.txt");
        tree.file("S/locked/deeper/more.txt");
        tree.file("S/noentry/named.txt");
        tree.file("S/noentry/below/not-reached.txt");
        tree.file("S/open/o.txt");
        chmod(tree.path("S/locked").toUtf8().constData(), 0);     // cannot be read
        chmod(tree.path("S/noentry").toUtf8().constData(), 0644); // can be read, not entered
        TestWindow window;
        const QStringList found = window.search(tree.path("S"), "*.txt");
        chmod(tree.path("S/locked").toUtf8().constData(), 0755);
        chmod(tree.path("S/noentry").toUtf8().constData(), 0755);
        // The names of a folder that can be read but not entered are listed, as find lists them.
        QCOMPARE(found, (QStringList{tree.path("S/open/o.txt"), tree.path("S/noentry/named.txt"),
                                     tree.path("S/s.txt")}));
        QVERIFY(window.desktop.boxes.empty());
        QCOMPARE(window->cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
    }
};

TROVAN_TEST_MAIN(UnprivilegedTest)
#include "test_unprivileged.moc"
