// The window over a mount that stops answering: a stallfs mirror (tests/fuse), in which the
// listing of a folder named "stall" hangs until the release file exists. A search that walks
// into it can be cancelled at once and the window closed; the window stays live meanwhile; the
// program starts at once when its saved folder hangs, and a hung folder opened in the folder
// list holds nothing up. Run through tests/fuse/run-blocked-read.sh, which mounts the mirror.

#include "app/ApplicationSetup.h"
#include "core/folders/ChosenFolder.h"
#include "core/walk/Search.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

using namespace UserInput;

namespace {

using Window = TestWindow;

QString mountPoint() {
    return qEnvironmentVariable("STALLFS_MOUNT");
}

bool stalls(const char* option) {
    return qEnvironmentVariable("STALLFS_OPTIONS").split(u' ').contains(QLatin1String(option));
}

// Makes `files` below `folder` in the mirrored source; returns the folder as the mount shows it.
QString mirroredTree(const QString& folder, const QStringList& files) {
    const QString source = qEnvironmentVariable("STALLFS_SOURCE") + u'/' + folder;
    for (const QString& file : files) {
        const QString path = source + u'/' + file;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        if (!file.endsWith(u'/'))
            QFile(path).open(QIODevice::WriteOnly);
    }
    return mountPoint() + u'/' + folder;
}

// Holds the stalled calls for as long as it lives, up to `limitMs`: a window that waits for
// the file system on its own thread then fails the test instead of hanging it. It lets them
// go when it ends, so that no read is left waiting after the test.
//
// A stalled call returns only once they are let go: whatever the window did while holding()
// is true, it did without waiting for one.
class Stall {
public:
    explicit Stall(int limitMs) : m_file(qEnvironmentVariable("STALLFS_RELEASE").toStdString()) {
        unlink(m_file.c_str());
        m_deadline = std::thread([this, limitMs] {
            pthread_setname_np(pthread_self(), "stall-deadline"); // not one of the program's
            std::unique_lock lock(m_mutex);
            if (!m_ended.wait_for(lock, std::chrono::milliseconds(limitMs),
                                  [this] { return m_over; })) {
                m_deadlinePassed = true;
                release();
            }
        });
    }
    ~Stall() {
        {
            const std::lock_guard lock(m_mutex);
            m_over = true;
        }
        m_ended.notify_all();
        m_deadline.join();
        release();
    }
    void release() const {
        const int fd = open(m_file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            close(fd);
    }
    void hold() const { unlink(m_file.c_str()); }
    // Whether the stalled calls are held now, and were not let go by the deadline.
    bool holding() const { return !m_deadlinePassed && access(m_file.c_str(), F_OK) != 0; }

private:
    std::string m_file;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_over = false;
    std::atomic<bool> m_deadlinePassed = false;
    std::thread m_deadline;
};

// Opens "Om..." and closes it with Esc once it is on the screen; whether it showed.
bool aboutOpensAndCloses(Window& w) {
    bool shown = false;
    actOnNextModal([&](QWidget* about) {
        shown =
            about->windowTitle() == QStringLiteral("Om...") && QTest::qWaitForWindowExposed(about);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    click(&w.window, "aboutButton");
    return shown && !QApplication::activeModalWidget();
}

// Threads of this process waiting in a FUSE request: those the stalled folder holds.
int threadsInTheShare() {
    int waiting = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile wchan(tasks.filePath(task + QStringLiteral("/wchan")));
        if (wchan.open(QIODevice::ReadOnly) && wchan.readAll() == "request_wait_answer")
            ++waiting;
    }
    return waiting;
}

// Whether a thread of this process waits in the share in a call on an open descriptor of
// `folder`: its listing, stalled.
bool listingWaits(const QString& folder) {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile wchan(tasks.filePath(task + QStringLiteral("/wchan")));
        QFile call(tasks.filePath(task + QStringLiteral("/syscall")));
        if (!wchan.open(QIODevice::ReadOnly) || wchan.readAll() != "request_wait_answer" ||
            !call.open(QIODevice::ReadOnly))
            continue;
        // The call's number, then its arguments: the first is the descriptor read.
        const QList<QByteArray> fields = call.readAll().split(' ');
        bool isNumber = false;
        const qulonglong fd = fields.value(1).toULongLong(&isNumber, 16);
        if (isNumber && fd < 1 << 20 &&
            QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd)) == folder)
            return true;
    }
    return false;
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace

class BlockedReadTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        if (mountPoint().isEmpty())
            QSKIP("no stallfs mount: run through tests/fuse/run-blocked-read.sh");
    }

    // "Avbryt" and Esc while the walk waits in the file system: the result state at once,
    // nothing added then or when the read finally returns; a search after that works.
    void cancelsAtOnceDuringABlockedRead() {
        if (stalls("--stall-stat"))
            QSKIP("the walk's cases need the folders beside the stalled one to answer");
        Stall stall(30000);
        QTemporaryDir files;
        // Walked as zeta, stall, alfa, then the start folder's own file.
        const QString start = mirroredTree(
            "cancel", {"alfa/a.txt", "stall/s.txt", "zeta/z1.txt", "zeta/z2.txt", "r.txt"});
        const QStringList beforeStall = {start + "/zeta/z1.txt", start + "/zeta/z2.txt"};
        const QStringList all = beforeStall + QStringList{start + "/stall/s.txt",
                                                          start + "/alfa/a.txt", start + "/r.txt"};
        Window w(start, files.path());
        QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
        click(&w.window, "includeSubfolders");

        const QString stalled = start + "/stall";
        const auto searchUntilStalled = [&] {
            QVERIFY(waitFor([&] { return !w.window.control().chosenFolder().isPending(); }));
            click(&w.window, "searchButton");
            QVERIFY(w.searching());
            QVERIFY(waitFor([&] { return w.entries() == beforeStall; }));
            // Stalled: the walk hands out in its order, and cannot pass a folder whose listing
            // waits. Nothing more comes, and the search goes on.
            QVERIFY(waitFor([&] { return listingWaits(stalled); }));
            QVERIFY(w.searching());
            QCOMPARE(w.entries(), beforeStall);
        };
        for (const bool byEsc : {false, true}) {
            searchUntilStalled();
            if (QTest::currentTestFailed())
                return;
            byEsc ? key(&w.window, Qt::Key_Escape) : void(click(&w.window, "exitButton"));
            // At once: once the event loop has handled what the input set going, and before
            // the read the walk waits on returns, which it does only when the stall lets go.
            QCoreApplication::processEvents();
            QVERIFY2(w.showsResults(), byEsc ? "Esc" : "Avbryt");
            QVERIFY(listingWaits(stalled));
            QVERIFY(stall.holding());
            // No walk is left to hand anything out, and the list takes nothing but a search's.
            QVERIFY(!w.window.search().isRunning());
            QCOMPARE(w.entries(), beforeStall);
            if (!byEsc)
                click(&w.window, "searchButton"); // "Ny sökning"
        }
        // The two cancelled walks' reads return now: they add nothing, also once their threads
        // have ended and all they said has been delivered.
        stall.release();
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(w.entries(), beforeStall);
        QCOMPARE(w.count(), QStringLiteral(" 2"));
        QVERIFY(w.showsResults());

        // A read that blocks and then answers: the search goes on, each entry once, in order.
        stall.hold();
        click(&w.window, "searchButton");
        searchUntilStalled();
        if (QTest::currentTestFailed())
            return;
        stall.release();
        QVERIFY(waitFor([&] { return w.showsResults(); }));
        QCOMPARE(w.entries(), all);
        QCOMPARE(w.count(), QStringLiteral(" 5"));
    }

    // Ten searches cancelled while the walk waits on the stalled folder leave one thread there,
    // not ten, and no more threads than one search has; a search elsewhere runs meanwhile.
    void cancelledSearchesLeaveOneThreadInTheShare() {
        if (stalls("--stall-stat"))
            QSKIP("the walk's cases need the folders beside the stalled one to answer");
        Stall stall(60000);
        QTemporaryDir files;
        // The folders after the stalled one in the walk's order (the last first) would share
        // a batch of reads with it, and with zeta before it.
        const QString start =
            mirroredTree("ten", {"a/a.txt", "b/b.txt", "c/c.txt", "stall/s.txt", "zeta/z.txt"});
        TestTree local;
        local.file("L/l.txt");
        Window w(start, files.path());
        QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
        click(&w.window, "includeSubfolders");
        const int before = threadCount();
        const int heldBefore = threadsInTheShare(); // by the cases run before in this process
        for (int round = 0; round < 10; ++round) {
            click(&w.window, "searchButton");
            QVERIFY2(waitFor([&] {
                         return threadsInTheShare() > heldBefore && w.entries().size() == 1;
                     }),
                     qPrintable(QStringLiteral("round %1: %2 threads in the share, entries %3")
                                    .arg(round)
                                    .arg(threadsInTheShare() - heldBefore)
                                    .arg(w.entries().join(QLatin1Char(' ')))));
            key(&w.window, Qt::Key_Escape);
            QVERIFY(w.showsResults());
            click(&w.window, "searchButton"); // "Ny sökning"
            QVERIFY(waitFor([&] { return !w.window.control().chosenFolder().isPending(); }));
        }
        // A listing of the start folder may be under way in the share for a moment.
        QVERIFY2(waitFor([&] { return threadsInTheShare() - heldBefore == 1; }),
                 qPrintable(QString::number(threadsInTheShare() - heldBefore)));
        qInfo("after ten cancelled searches: %d threads in the share, %d in all (%d before)",
              threadsInTheShare() - heldBefore, threadCount(), before);
        QVERIFY2(waitFor([&] { return threadCount() <= before + 1; }),
                 qPrintable(QString::number(threadCount())));

        w.window.control().chosenFolder().choose(local.path("L"));
        QVERIFY(waitFor([&] { return w.shownFolder() == local.path("L"); }));
        QVERIFY(w.search());
        QCOMPARE(w.entries(), QStringList{local.path("L/l.txt")});
    }

    // While the walk waits: the event loop runs, "Om..." and the result actions work; then the
    // close box saves setup.ini and ends the event loop at once.
    void staysLiveAndClosesDuringABlockedRead() {
        if (stalls("--stall-stat"))
            QSKIP("the walk's cases need the folders beside the stalled one to answer");
        Stall stall(30000);
        QTemporaryDir files;
        const QString start =
            mirroredTree("live", {"stall/s.txt", "zeta/z1.txt", "zeta/z2.txt", "zeta/z3.txt"});
        const QStringList found = {start + "/zeta/z1.txt", start + "/zeta/z2.txt",
                                   start + "/zeta/z3.txt"};
        Window w(start, files.path());
        QVERIFY(waitFor([&] { return w.shownFolder() == start; }));
        click(&w.window, "includeSubfolders");
        click(&w.window, "searchButton");
        QVERIFY(waitFor([&] { return w.entries() == found; }));
        // The walk waits on the stalled folder's listing: it cannot be over before that returns.
        const QString stalled = start + "/stall";
        QVERIFY(waitFor([&] { return listingWaits(stalled); }));
        QVERIFY(w.searching());

        QVERIFY(aboutOpensAndCloses(w));

        w.clickRow(1);
        click(&w.window, "removeMarkedButton");
        QCOMPARE(w.entries(), (QStringList{found[0], found[2]}));
        QCOMPARE(w.count(), QStringLiteral(" 3"));

        Message saved;
        answerNextMessage(&saved);
        click(&w.window, "saveListButton");
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(saved.title, QStringLiteral("Fil sparad"));
        QCOMPARE(readBytes(files.filePath("lista.txt")),
                 (found[0] + "\r\n" + found[2] + "\r\n").toUtf8());
        // All of that while the walk still waited on the stalled read, which returns only when
        // the stall lets go: the window answered without waiting for it.
        QVERIFY(w.searching());
        QVERIFY(listingWaits(stalled));
        QVERIFY(stall.holding());

        // The close box, as a window manager delivers it.
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, [&] { w.window.close(); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
        watchdog.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        // The event loop ended with the read still waiting: it did not wait for the read.
        QVERIFY(listingWaits(stalled));
        QVERIFY(stall.holding());
        QVERIFY(!w.window.isVisible());
        QCOMPARE(quitting.size(), 1);
        QCOMPARE(readBytes(files.filePath("setup.ini")), (start + "\r\n").toUtf8());
    }

    // Saved at the last exit, a folder whose very lookup hangs: the window comes at once on the
    // folder the program started in. A hung folder opened in the folder list holds nothing up,
    // and its late answer, like the saved folder's, does not move the list.
    void startsAtOnceAndOpensAroundAHungFolder() {
        if (!stalls("--stall-stat") || !stalls("--stall-open"))
            QSKIP("needs stallfs with --stall-stat --stall-open");
        Stall stall(30000);
        QTemporaryDir files;
        const QString saved = mirroredTree("saved", {"stall/s.txt", "other/"}) + "/stall";
        const QString parent = mirroredTree("parent", {"stall/", "other/"});
        QFile setup(files.filePath("setup.ini"));
        QVERIFY(setup.open(QIODevice::WriteOnly));
        setup.write((saved + "\r\n").toUtf8());
        setup.close();
        // Started beside the mount, so that a person reaches it from the folder list.
        const QString startedIn = mountPoint().left(mountPoint().lastIndexOf(u'/'));
        const QString mountName = mountPoint().mid(startedIn.size() + 1);
        QVERIFY(QDir::setCurrent(startedIn));

        // Made, loaded and shown without waiting for the hung lookup, which returns only when
        // the stall lets go; then the lookup waits in the share while the window answers.
        Window w({}, files.path());
        QVERIFY(stall.holding());
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QVERIFY(waitFor([&] { return w.shownFolder() == startedIn; }));
        QVERIFY(waitFor([] { return threadsInTheShare() > 0; }));
        QVERIFY(aboutOpensAndCloses(w));
        QCOMPARE(w.shownFolder(), startedIn);

        // Another hung folder, opened by a double click in the folder list: the list stays.
        w.openFolder(mountName);
        QVERIFY(waitFor([&] { return w.shownFolder() == mountPoint(); }));
        w.openFolder("parent");
        QVERIFY(waitFor([&] { return w.shownFolder() == parent; }));
        const QStringList rows = w.listedFolders();
        const int waiting = threadsInTheShare();
        w.openFolder("stall");
        // Its lookup waits in the share, and no answer comes while the stall holds.
        QVERIFY(waitFor([&] { return threadsInTheShare() > waiting; }));
        QVERIFY(stall.holding());
        QCOMPARE(w.shownFolder(), parent);
        QCOMPARE(w.listedFolders(), rows);
        // Pending, and says so; the search searches it, and is cancelled at once.
        QVERIFY(w.window.control().chosenFolder().isPending());
        QCOMPARE(w.folderView()->viewport()->cursor().shape(), Qt::BusyCursor);
        click(&w.window, "searchButton");
        QVERIFY(w.searching());
        QCOMPARE(w.window.control().lastStartFolder(), parent + "/stall");
        key(&w.window, Qt::Key_Escape);
        QVERIFY(w.showsResults());
        click(&w.window, "searchButton"); // "Ny sökning", back to the hung folder
        // Opened again and again: the threads it holds stay few.
        for (int round = 0; round < 5; ++round) {
            w.openFolder("stall");
            QVERIFY(w.window.control().chosenFolder().isPending());
        }
        qInfo("after the hung folder was opened again and again: %d threads in the share",
              threadsInTheShare());
        QVERIFY2(threadsInTheShare() <= 3, qPrintable(QString::number(threadsInTheShare())));
        // Then the mount's top folder, a row above: it opens, and stays when the hung folders
        // answer at last.
        w.openFolder(mountName);
        QVERIFY(waitFor([&] { return w.shownFolder() == mountPoint(); }));
        // All of that while the hung folders' lookups still waited.
        QVERIFY(stall.holding());
        QVERIFY(threadsInTheShare() > 0);
        // Their late answers, all delivered once their threads have ended, move nothing.
        stall.release();
        QVERIFY(ProgramThreads::answersDelivered());
        QCOMPARE(w.shownFolder(), mountPoint());
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    BlockedReadTest test;
    const int status = QTest::qExec(&test, argc, argv);
    // As the program does: a read still blocked must not hold up the end.
    std::fflush(nullptr);
    _exit(status);
}

#include "test_blocked_read.moc"
