// The folder list's source and the drive list's: FolderLister on real temporary folders (what
// it lists, what it reports, which answers it drops, what it watches), and Volumes.

#include "core/folders/FolderLister.h"
#include "core/folders/MountTable.h"
#include "core/folders/PathHash.h"
#include "core/folders/Volumes.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// Everything a lister says, in the order it says it.
struct Heard {
    QList<SubfolderListing> listed;
    QStringList failed; // "folder|reason"
    QList<SubfolderListing> changed;
    QList<ListingChange> changes;
    QStringList gone;
    explicit Heard(FolderLister& lister) {
        QObject::connect(&lister, &FolderLister::listed,
                         [this](const SubfolderListing& listing) { listed.append(listing); });
        QObject::connect(&lister, &FolderLister::failed,
                         [this](const QString& folder, const QString& error) {
                             failed.append(folder + u'|' + error);
                         });
        QObject::connect(&lister, &FolderLister::changed,
                         [this](const SubfolderListing& listing, const ListingChange& change) {
                             changed.append(listing);
                             changes.append(change);
                         });
        QObject::connect(&lister, &FolderLister::gone,
                         [this](const QString& folder) { gone.append(folder); });
    }
    qsizetype answers() const { return listed.size() + failed.size(); }
};

// Waits for the lister to answer `expected` requests in all.
bool answered(FolderLister& lister, const Heard& heard, qsizetype expected) {
    return QTest::qWaitFor([&] { return !lister.isBusy() && heard.answers() >= expected; }, 10000);
}

} // namespace

class CoreListerTest : public QObject {
    Q_OBJECT
private slots:
    void listsSubfoldersSortedIgnoringCaseWithLinksAndNoHiddenOnes() {
        TestTree tree;
        for (const char* name : {"delta", "Gamma", "beta", "Alfa", ".dold"})
            tree.folder(QStringLiteral("S/") + QLatin1String(name));
        tree.file("S/fil.txt");
        tree.link("S/länk", tree.path("S/beta"));
        tree.link("S/fillänk", tree.path("S/fil.txt"));
        FolderLister lister;
        Heard heard(lister);
        lister.list(tree.path("S"));
        QVERIFY(lister.isBusy());
        QVERIFY(answered(lister, heard, 1));
        QCOMPARE(heard.failed, QStringList{});
        QCOMPARE(heard.listed.size(), 1);
        const SubfolderListing& listing = heard.listed.first();
        QCOMPARE(listing.folder, tree.path("S"));
        QCOMPARE(listing.names, (QStringList{"Alfa", "beta", "delta", "Gamma", "länk"}));
        QCOMPARE(listing.isLink, (QList<bool>{false, false, false, false, true}));
        QVERIFY(listing.error.isEmpty());
    }

    void aMissingFolderOrAFileFailsWithTheReason() {
        TestTree tree;
        const QString file = tree.file("fil.txt");
        FolderLister lister;
        Heard heard(lister);
        lister.list(tree.path("saknas"));
        QVERIFY(answered(lister, heard, 1));
        lister.list(file);
        QVERIFY(answered(lister, heard, 2));
        QCOMPARE(heard.listed.size(), 0);
        QCOMPARE(heard.failed,
                 (QStringList{tree.path("saknas") + u'|' +
                                  QStringLiteral("Sökvägen hittades inte: ") + tree.path("saknas"),
                              file + u'|' +
                                  QStringLiteral("Sökvägen hittades inte (en del av den är ingen "
                                                 "mapp): ") +
                                  file}));
    }

    // The answer to an older request never arrives after a newer one was made, whichever
    // thread finishes first.
    void anOlderRequestsAnswerIsDropped() {
        TestTree tree;
        tree.folder("A/a");
        tree.folder("B/b");
        FolderLister lister;
        Heard heard(lister);
        lister.list(tree.path("A"));
        lister.list(tree.path("saknas"));
        lister.list(tree.path("B"));
        QVERIFY(answered(lister, heard, 1));
        QCOMPARE(heard.failed, QStringList{});
        QCOMPARE(heard.listed.size(), 1);
        QCOMPARE(heard.listed.first().folder, tree.path("B"));

        lister.list(tree.path("A"));
        lister.list(tree.path("saknas"));
        QVERIFY(answered(lister, heard, 2));
        QCOMPARE(heard.listed.size(), 1);
        QCOMPARE(heard.failed.size(), 1);
        QVERIFY(heard.failed.first().startsWith(tree.path("saknas") + u'|'));
    }

    // A change is handed over as the rows it moves; a plain file moves none, so the first
    // change heard is the folder's.
    void aSubfolderMadeOrRemovedInTheListedFolderIsReportedAsWhatChanged() {
        TestTree tree;
        const QString watched = tree.folder("S");
        for (const char* name : {"b", "d", "f"})
            tree.folder(QStringLiteral("S/") + QLatin1String(name));
        FolderLister lister;
        Heard heard(lister);
        lister.list(watched);
        QVERIFY(answered(lister, heard, 1));

        tree.file("S/fil.txt", "x");
        QFile::remove(tree.path("S/fil.txt"));
        tree.folder("S/c");
        QVERIFY(QTest::qWaitFor([&] { return !heard.changed.isEmpty(); }, 5000));
        QCOMPARE(heard.changed.first().folder, watched);
        QCOMPARE(heard.changed.first().names, (QStringList{"b", "c", "d", "f"}));
        QCOMPARE(heard.changes.first().removed, QList<int>{});
        QCOMPARE(heard.changes.first().inserted, QList<int>{1});

        QVERIFY(QTest::qWaitFor([&] { return !lister.isBusy(); }, 5000));
        heard.changed.clear();
        heard.changes.clear();
        QVERIFY(QDir(tree.path("S/d")).removeRecursively());
        QVERIFY(QTest::qWaitFor([&] { return !heard.changed.isEmpty(); }, 5000));
        QCOMPARE(heard.changed.last().names, (QStringList{"b", "c", "f"}));
        QCOMPARE(heard.changes.last().removed, QList<int>{2});

        // Once another folder is listed, the first is no longer watched: the change heard next
        // is the other one's.
        const QString other = tree.folder("T");
        lister.list(other);
        QVERIFY(answered(lister, heard, 2));
        heard.changed.clear();
        tree.folder("S/senare");
        tree.folder("T/ny");
        QVERIFY(QTest::qWaitFor([&] { return !heard.changed.isEmpty(); }, 5000));
        QCOMPARE(heard.changed.first().folder, other);
        QCOMPARE(heard.gone, QStringList{});
    }

    // Two listings of one folder in flight get the same watch from the kernel; whichever
    // answer comes first, the folder stays watched.
    void twoListingsOfOneFolderKeepItsWatch() {
        TestTree tree;
        const QString watched = tree.folder("S");
        FolderLister lister;
        Heard heard(lister);
        for (int round = 0; round < 40; ++round) {
            lister.list(watched);
            lister.list(watched);
            QVERIFY(answered(lister, heard, round + 1));
            heard.changed.clear();
            const QString made = QStringLiteral("S/ny%1").arg(round);
            tree.folder(made);
            QVERIFY2(
                QTest::qWaitFor(
                    [&] {
                        return !heard.changed.isEmpty() &&
                               heard.changed.last().names.contains(made.mid(2));
                    },
                    5000),
                qPrintable(QStringLiteral("round %1: the new folder went unheard").arg(round)));
            QVERIFY(QTest::qWaitFor([&] { return !lister.isBusy(); }, 5000));
        }
    }

    void aListedFolderThatIsRemovedIsGoneAndItsNearestParentListed() {
        TestTree tree;
        const QString watched = tree.folder("S/T/U");
        tree.folder("S/annan");
        FolderLister lister;
        Heard heard(lister);
        lister.list(watched);
        QVERIFY(answered(lister, heard, 1));
        QVERIFY(QDir(tree.path("S/T")).removeRecursively());
        QVERIFY(QTest::qWaitFor([&] { return !heard.gone.isEmpty(); }, 5000));
        QCOMPARE(heard.gone.first(), watched);
        lister.listNearestParent(watched);
        QVERIFY(answered(lister, heard, 2));
        QCOMPARE(heard.listed.last().folder, tree.path("S"));
        QCOMPARE(heard.listed.last().names, QStringList{"annan"});
    }

    void theRootComesFirstAndNoPseudoFileSystemIsAVolume() {
        const QList<Volume> volumes = Volumes::read();
        QVERIFY(!volumes.isEmpty());
        QCOMPARE(volumes.first().mountPoint, QStringLiteral("/"));
        QVERIFY(!volumes.first().label.isEmpty());
        for (qsizetype i = 1; i < volumes.size(); ++i) {
            const QString& mountPoint = volumes[i].mountPoint;
            QVERIFY2(mountPoint != QLatin1String("/") && mountPoint != QLatin1String("/proc") &&
                         !mountPoint.startsWith(QLatin1String("/sys")),
                     qPrintable(mountPoint));
        }
    }

    // The table as the kernel writes it: a blank in a mount point escaped, a folder bound in a
    // second place, the kernel's own, local and shared file systems, a kind nobody knows, and
    // two mounts over one place, the later on top.
    void theMountTableIsReadAndClassifiedOnce() {
        const std::string mountinfo = "21 1 253:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
                                      "22 21 0:5 / /proc rw,nosuid - proc proc rw\n"
                                      "23 21 0:30 / /tmp rw shared:2 - tmpfs tmpfs rw\n"
                                      "24 21 253:2 / /mnt/my\\040disk rw - xfs /dev/vdb rw\n"
                                      "25 21 253:2 /sub /srv/bound rw - xfs /dev/vdb rw\n"
                                      "26 21 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
                                      "27 21 0:41 / /mnt/remote rw - fuse.sshfs ann@host: rw\n"
                                      "28 21 0:42 / /mnt/odd rw - weirdfs none rw\n"
                                      "29 21 0:43 / /mnt/auto rw - autofs systemd-1 rw\n"
                                      "30 29 0:44 / /mnt/auto rw - nfs server:/auto rw\n"
                                      "31 21 0:45 / /opt/over rw - proc proc rw\n"
                                      "32 31 0:46 / /opt/over rw - tmpfs tmpfs rw\n";
        const MountTable table = MountTable::parse(mountinfo);
        QCOMPARE(table.mounts().size(), size_t(12));
        const auto kindAt = [&](const char* path) { return table.holding(path)->kind; };
        using Kind = MountTable::Kind;
        QCOMPARE(table.holding("/mnt/my disk/x")->path, std::string("/mnt/my disk"));
        QCOMPARE(kindAt("/mnt/my disk/x"), Kind::Local);
        QCOMPARE(table.holding("/srv/bound/a")->path, std::string("/srv/bound"));
        QCOMPARE(kindAt("/srv/bound/a"), Kind::Local);
        QCOMPARE(kindAt("/home/ann"), Kind::Local);
        QCOMPARE(kindAt("/tmp/x"), Kind::Local);
        QCOMPARE(kindAt("/proc/self"), Kind::System);
        QCOMPARE(kindAt("/mnt/share/x"), Kind::MayHang);
        QCOMPARE(kindAt("/mnt/remote"), Kind::MayHang);
        QCOMPARE(kindAt("/mnt/odd"), Kind::MayHang);    // a kind nobody knows may hang
        QCOMPARE(kindAt("/mnt/auto/x"), Kind::MayHang); // the share on top of the automounter
        QCOMPARE(kindAt("/opt/over"), Kind::Local);
        QCOMPARE(MountTable::kindOf("autofs"), Kind::System);
        QCOMPARE(MountTable::kindOf("fusectl"), Kind::System);
        QCOMPARE(MountTable::kindOf("overlay"), Kind::Local);

        // What the search asks of each folder it enters, by the hashes of their paths.
        QVERIFY(table.isMountPoint(PathHash::of("/mnt/my disk")));
        QVERIFY(!table.isMountPoint(PathHash::of("/mnt/my")));
        QVERIFY(table.isSystemMountPoint(PathHash::of("/proc")));
        QVERIFY(!table.isSystemMountPoint(PathHash::of("/opt/over")));
        QVERIFY(!table.isSystemMountPoint(PathHash::of("/mnt/auto")));
        QVERIFY(table.mayHang(table.volumeOf("/mnt/share/a/b")));
        QVERIFY(table.mayHang(table.volumeOf("/mnt/odd")));
        QVERIFY(!table.mayHang(table.volumeOf("/srv/bound")));
        QCOMPARE(table.volumeOf("/mnt/sharer"), PathHash::of("/"));

        // The drive box takes the disks and the shares, not the kernel's or memory's own.
        QStringList drives;
        for (const Volume& volume : Volumes::of(table, [] { return false; }))
            drives.append(volume.mountPoint);
        QVERIFY2(drives.contains("/mnt/share") && drives.contains("/mnt/remote") &&
                     !drives.contains("/proc") && !drives.contains("/tmp"),
                 qPrintable(drives.join(u' ')));
    }

    void thePathIsHeldByTheLongestMountPointBeforeIt() {
        const QList<Volume> volumes = {
            {"/mnt/usb", "USB"}, {"/", "vda"}, {"/mnt", "mnt"}, {"/mnt/usb/inre", "inre"}};
        QCOMPARE(Volumes::indexHolding(volumes, "/mnt/usb/a/b"), 0);
        QCOMPARE(Volumes::indexHolding(volumes, "/mnt/usb"), 0);
        QCOMPARE(Volumes::indexHolding(volumes, "/mnt/usb/inre/x"), 3);
        QCOMPARE(Volumes::indexHolding(volumes, "/mnt/usbsticka/a"),
                 2); // a prefix of the name only
        QCOMPARE(Volumes::indexHolding(volumes, "/mnt"), 2);
        QCOMPARE(Volumes::indexHolding(volumes, "/home/ann"), 1);
        QCOMPARE(Volumes::indexHolding(volumes, "/"), 1);
        QCOMPARE(Volumes::indexHolding(volumes, "mnt/usb"), -1);
        const QList<Volume> withoutRoot = {{"/mnt/usb", "USB"}};
        QCOMPARE(Volumes::indexHolding(withoutRoot, "/home/ann"), -1);
        QCOMPARE(Volumes::indexHolding(withoutRoot, "/mnt/usb/x"), 0);
    }
};

QTEST_GUILESS_MAIN(CoreListerTest)
#include "test_core_lister.moc"
