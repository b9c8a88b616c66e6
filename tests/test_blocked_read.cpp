// The window over a mount that stops answering: a stallfs mirror (tests/fuse), in which the
// listing of a folder named "stall" hangs until the release file exists. A search that walks
// into it can be cancelled at once and the window closed; the window stays live meanwhile; the
// program starts at once when its saved folder hangs, and a hung folder opened in the folder
// list holds nothing up. Run through tests/fuse/run-blocked-read.sh, which mounts the mirror.

#include "app/ApplicationSetup.h"
#include "core/folders/ChosenFolder.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace UserInput;

namespace {

using Window = TestWindow;

// What a person may wait for a window to answer; the limit a cancel is held to.
constexpr qint64 AnswerMs = 100;
// The longest the event loop may stand still while a read blocks.
constexpr qint64 LoopGapMs = 100;

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
class Stall {
public:
    explicit Stall(int limitMs) : m_file(qEnvironmentVariable("STALLFS_RELEASE").toStdString()) {
        unlink(m_file.c_str());
        m_deadline = std::thread([this, limitMs] {
            std::unique_lock lock(m_mutex);
            if (!m_ended.wait_for(lock, std::chrono::milliseconds(limitMs),
                                  [this] { return m_over; }))
                release();
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

private:
    std::string m_file;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_over = false;
    std::thread m_deadline;
};

// Ticks every 5 ms on the window's thread and keeps the longest time between two ticks: how
// long the event loop stood still.
class LoopGaps {
public:
    LoopGaps() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    // Counting the time since the last tick: a call that has just blocked counts too.
    qint64 longest() const { return std::max(m_longest, m_clock.elapsed() - m_last); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// How long after the start of `act` the window shows what `shows` looks for; -1 when it does
// not within 5 s. Measured from the input given, so the test's own waiting is not counted.
qint64 reactionMs(const std::function<void()>& act, const std::function<bool()>& shows) {
    QElapsedTimer clock;
    clock.start();
    act();
    while (!shows()) {
        if (clock.elapsed() > 5000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return clock.elapsed();
}

// Opens "Om..." and closes it with Esc after a while; whether it showed.
bool aboutOpensAndCloses(Window& w) {
    bool shown = false;
    actOnNextModal([&](QWidget* about) {
        shown = about->windowTitle() == QStringLiteral("Om...") && about->isVisible();
        QTest::qWait(200);
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

        const auto searchUntilStalled = [&] {
            QVERIFY(waitFor([&] { return !w.window.control().chosenFolder().isPending(); }));
            click(&w.window, "searchButton");
            QVERIFY(w.searching());
            QVERIFY(waitFor([&] { return w.entries() == beforeStall; }));
            // Stalled: nothing more comes.
            QVERIFY(!waitFor([&] { return w.entries() != beforeStall || !w.searching(); }, 300));
        };
        for (const bool byEsc : {false, true}) {
            searchUntilStalled();
            if (QTest::currentTestFailed())
                return;
            const qint64 ms = reactionMs(
                [&] {
                    byEsc ? key(&w.window, Qt::Key_Escape) : void(click(&w.window, "exitButton"));
                },
                [&] { return w.showsResults(); });
            qInfo("cancel by %s: result state after %lld ms", byEsc ? "Esc" : "Avbryt", ms);
            QVERIFY2(ms >= 0 && ms < AnswerMs, qPrintable(QString::number(ms)));
            QVERIFY(!waitFor([&] { return w.entries() != beforeStall; }, 300));
            if (!byEsc)
                click(&w.window, "searchButton"); // "Ny sökning"
        }
        // The two cancelled walks' reads return now: they add nothing.
        stall.release();
        QVERIFY(!waitFor([&] { return w.entries() != beforeStall; }, 1000));
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

        LoopGaps gaps;
        QVERIFY(!waitFor([&] { return !w.searching(); }, 300));
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
        QVERIFY(w.searching());
        qInfo("event loop while the walk waits: longest gap %lld ms", gaps.longest());
        QVERIFY2(gaps.longest() < LoopGapMs, qPrintable(QString::number(gaps.longest())));

        // The close box, as a window manager delivers it.
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        QElapsedTimer closing;
        QTimer::singleShot(0, [&] {
            closing.start();
            w.window.close();
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
        watchdog.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        const qint64 ms = closing.elapsed();
        qInfo("closed during the blocked read: the event loop ended after %lld ms", ms);
        QVERIFY2(ms < AnswerMs, qPrintable(QString::number(ms)));
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

        QElapsedTimer loading;
        loading.start();
        Window w({}, files.path());
        const qint64 loadMs = loading.elapsed();
        qInfo("window made, loaded and shown in %lld ms with the saved folder hung", loadMs);
        QVERIFY2(loadMs < 500, qPrintable(QString::number(loadMs)));
        LoopGaps gaps;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QVERIFY(waitFor([&] { return w.shownFolder() == startedIn; }));
        QVERIFY(aboutOpensAndCloses(w));
        QCOMPARE(w.shownFolder(), startedIn);

        // Another hung folder, opened by a double click in the folder list: the list stays.
        w.openFolder(mountName);
        QVERIFY(waitFor([&] { return w.shownFolder() == mountPoint(); }));
        w.openFolder("parent");
        QVERIFY(waitFor([&] { return w.shownFolder() == parent; }));
        const QStringList rows = w.listedFolders();
        w.openFolder("stall");
        QVERIFY(!waitFor([&] { return w.shownFolder() != parent; }, 500));
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
        qInfo("event loop with two folders hung: longest gap %lld ms", gaps.longest());
        QVERIFY2(gaps.longest() < LoopGapMs, qPrintable(QString::number(gaps.longest())));
        stall.release();
        QVERIFY(!waitFor([&] { return w.shownFolder() != mountPoint(); }, 1000));
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
