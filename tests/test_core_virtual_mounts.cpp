// Only real files: a search does not walk into the kernel's file systems (proc, sysfs) mounted
// below its start folder, as "/" holds /proc and /sys, but it does walk into a tmpfs there, and
// through a kernel file system it was started on. The mounts are made in a mount namespace of
// the test's own, so that none outlives it; that needs root, and the test skips without it.

#include "core/text/FileNames.h"
#include "core/text/SearchOptions.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <QTest>
#include <sys/mount.h>

namespace {

// Set in main(), before Qt starts a thread: a namespace can only be left single-threaded.
QString ownNamespaceRefused;

// Mounts made for one test, taken away at its end.
struct Mounts {
    QStringList points;
    bool mount(const char* type, const QString& point) {
        if (::mount(type, FileNames::encode(point).constData(), type, 0, nullptr) != 0)
            return false;
        points.prepend(point);
        return true;
    }
    ~Mounts() {
        for (const QString& point : points)
            umount2(FileNames::encode(point).constData(), MNT_DETACH);
    }
};

QStringList searched(const QString& start, const QString& pattern, bool listFolders = false) {
    SearchOptions options;
    options.startFolder = start;
    options.pattern = pattern;
    options.includeSubfolders = true;
    options.listFolders = listFolders;
    return runSearch(options).entries;
}

QSet<QString> asSet(const QStringList& list) {
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

class CoreVirtualMountsTest : public QObject {
    Q_OBJECT
private slots:
    void kernelFileSystemsBelowTheStartAreLeftOut() {
        if (!ownNamespaceRefused.isEmpty())
            QSKIP(qPrintable("no mount namespace of the test's own (" + ownNamespaceRefused +
                             "): mounting proc and sysfs needs root"));
        TestTree tree;
        const QString start = tree.folder("S");
        tree.file("S/version");
        Mounts mounts;
        QVERIFY(mounts.mount("proc", tree.folder("S/proc")));
        QVERIFY(mounts.mount("sysfs", tree.folder("S/sys")));
        QVERIFY(mounts.mount("tmpfs", tree.folder("S/ram")));
        tree.file("S/ram/cpuinfo");
        tree.file("S/ram/under/version");
        // What proc and sysfs hold by these names, which a walk into them would list.
        QVERIFY(QFile::exists(start + "/proc/cpuinfo") && QFile::exists(start + "/proc/version"));
        QVERIFY(QFile::exists(start + "/sys/kernel/uevent_seqnum"));

        QCOMPARE(asSet(searched(start, "cpuinfo;version;uevent_seqnum")),
                 (QSet<QString>{start + "/version", start + "/ram/cpuinfo",
                                start + "/ram/under/version"}));
        // Listing folders, every folder that holds anything is listed: none of theirs.
        QCOMPARE(asSet(searched(start, "*", true)),
                 (QSet<QString>{start, start + "/ram", start + "/ram/under"}));

        // Started on one, the walk goes through it.
        QVERIFY(searched(start + "/proc/sys/fs", "max_user_watches")
                    .contains(start + "/proc/sys/fs/inotify/max_user_watches"));
    }
};

int main(int argc, char* argv[]) {
    ownNamespaceRefused = enterOwnMountNamespace();
    QCoreApplication application(argc, argv);
    CoreVirtualMountsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_core_virtual_mounts.moc"
