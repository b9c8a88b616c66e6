// The drive, folder and file lists on real folders: order, hidden entries, links, names that are
// not UTF-8, indices, change events, the shared folder cache and volumes that are not ready.

#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/FileNames.h"
#include "platform/FolderCache.h"
#include "platform/FolderList.h"
#include "platform/RuntimeError.h"
#include "platform/Volumes.h"
#include "support/TestMain.h"
#include "support/TestTree.h"

#include <QDir>

#include <sys/stat.h>

namespace {
QStringList subfolderNames(const FolderList& list) {
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i).section(u'/', -1));
    return names;
}
QStringList fileNames(const FileList& list) {
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    return names;
}
} // namespace

class FolderListsTest : public QObject {
    Q_OBJECT
private slots:
    void listsSortedVisibleEntriesAndMarksLinks() {
        TestTree tree;
        tree.folder("b");
        tree.folder("A");
        tree.folder("c");
        tree.folder(".git");
        tree.file("zeta.TXT");
        tree.file("Alpha.txt");
        tree.file("beta");
        tree.file(".hidden.txt");
        tree.link("linkdir", tree.path("c"));
        tree.link("linkfile.txt", tree.path("beta"));
        tree.link("dangling.txt", tree.path("nowhere"));
        QVERIFY(mkfifo(tree.path("pipe.txt").toUtf8().constData(), 0644) == 0);

        FolderList folders(nullptr);
        folders.setPath(tree.root());
        QCOMPARE(subfolderNames(folders), (QStringList{"A", "b", "c", "linkdir"}));
        QVERIFY(!folders.IsLink(0));
        QVERIFY(folders.IsLink(3));
        QCOMPARE(folders.List(0), tree.path("A"));

        FileList files(nullptr);
        files.setPattern("*.*");
        files.setPath(tree.root());
        QCOMPARE(fileNames(files), (QStringList{"Alpha.txt", "beta", "linkfile.txt", "zeta.TXT"}));
        files.setPattern("*.txt");
        QCOMPARE(fileNames(files), (QStringList{"Alpha.txt", "linkfile.txt", "zeta.TXT"}));
        files.setPattern("");
        QCOMPARE(files.ListCount(), 4);
    }

    void namesThatAreNotUtf8AreListedAndEntered() {
        TestTree tree;
        const QString badFolder = tree.folder(FileNames::decode("mapp-\xff"));
        tree.file(FileNames::decode("mapp-\xff/fil-\xfe.txt"));
        FolderList folders(nullptr);
        folders.setPath(tree.root());
        QCOMPARE(folders.ListCount(), 1);
        QCOMPARE(folders.List(0), badFolder);
        folders.setPath(folders.List(0));
        FileList files(nullptr);
        files.setPattern("*.txt");
        files.setPath(folders.Path());
        QCOMPARE(files.ListCount(), 1);
        QCOMPARE(FileNames::encode(files.List(0)), QByteArray("fil-\xfe.txt"));
    }

    void indicesNameTheCurrentFolderAndItsAncestors() {
        TestTree tree;
        const QString deep = tree.folder("one/two");
        tree.folder("one/two/three");
        FolderList folders(nullptr);
        folders.setPath(deep);
        QCOMPARE(folders.ListIndex(), -1);
        QCOMPARE(folders.List(-1), deep);
        QCOMPARE(folders.List(-2), tree.path("one"));
        QCOMPARE(folders.List(-3), tree.root());
        const int depth = int(deep.count(u'/'));
        QCOMPARE(folders.List(-depth - 1), QStringLiteral("/"));
        QCOMPARE(folders.List(-depth - 2), QString());
        folders.setListIndex(0);
        QCOMPARE(folders.ListIndex(), 0);
        QCOMPARE(folders.Path(), deep); // highlighted, not opened
        folders.setListIndex(-2);
        QCOMPARE(folders.ListIndex(), -2);
        folders.setPath("/");
        QCOMPARE(folders.List(-1), QStringLiteral("/"));
        QCOMPARE(folders.List(-2), QString());
    }

    void changeEventIsRaisedInsideTheAssignmentOnlyOnChange() {
        TestTree tree;
        tree.folder("sub");
        FolderList folders(nullptr);
        folders.setPath(tree.root());
        QStringList seen;
        folders.onChange = [&] { seen.append(folders.Path()); };
        folders.setPath(tree.path("sub"));
        QCOMPARE(seen, QStringList{tree.path("sub")});
        folders.setPath(tree.path("sub/"));
        QCOMPARE(seen.size(), 1);
        try {
            folders.setPath(tree.path("missing"));
            QFAIL("a missing folder was opened");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.number(), ErrorNumber::PathNotFound);
        }
        QCOMPARE(folders.Path(), tree.path("sub"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, folders.setPath(tree.file("plain.txt")));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, folders.setPath("relative/path"));
        QCOMPARE(seen.size(), 1);
    }

    void aFolderIsReadOnceWhileItHasNotChanged() {
        TestTree tree;
        tree.folder("parent/child");
        tree.file("parent/a.txt");
        tree.age();
        FolderCache& cache = FolderCache::shared();
        FolderList folders(nullptr);
        FileList files(nullptr);
        files.setPattern("*.txt");
        folders.setPath(tree.path("parent"));
        files.setPath(folders.Path());
        const quint64 before = cache.readCount();
        folders.setPath(tree.path("parent/child"));
        files.setPath(folders.Path());
        folders.setPath(tree.path("parent"));
        files.setPath(folders.Path());
        QCOMPARE(cache.readCount() - before, quint64(1)); // only the child was read
        QCOMPARE(files.ListCount(), 1);

        tree.file("parent/b.txt"); // the folder changes: it is read again once events ran
        QCoreApplication::processEvents();
        folders.setPath(tree.path("parent"));
        files.setPath(folders.Path());
        QCOMPARE(files.ListCount(), 2);
        QCOMPARE(cache.readCount() - before, quint64(2));
    }

    void drivesAreVolumesAndRememberTheirFolder() {
        TestTree tree;
        const QString mount = tree.folder("volume");
        tree.folder("volume/inner");
        Volumes& volumes = Volumes::shared();
        volumes.addVolume(mount, "TEST");
        volumes.addVolume(tree.path("unplugged"), "USB");

        DriveList drives(nullptr);
        drives.Refresh();
        QCOMPARE(drives.Drive(),
                 volumes.volumes()[size_t(volumes.indexHolding(QDir::currentPath()))].driveText());
        int changes = 0;
        drives.onChange = [&] { ++changes; };
        drives.setDrive(tree.path("volume/inner"));
        QCOMPARE(drives.Drive(), mount + " [TEST]");
        QCOMPARE(changes, 1);
        drives.setDrive(mount + " [TEST]");
        QCOMPARE(changes, 1);
        try {
            drives.setDrive(tree.path("unplugged") + " [USB]");
            QFAIL("a volume that is not ready was selected");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.number(), ErrorNumber::DeviceUnavailable);
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, drives.setDrive(""));
        QCOMPARE(drives.Drive(), mount + " [TEST]");

        FolderList folders(nullptr);
        folders.setPath(tree.path("volume/inner"));
        folders.setPath("/");
        folders.setPath(mount + " [TEST]"); // the volume's current folder
        QCOMPARE(folders.Path(), tree.path("volume/inner"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, folders.setPath(tree.path("unplugged") + " [USB]"));
    }
};

TROVAN_TEST_MAIN(FolderListsTest)
#include "test_folder_lists.moc"
