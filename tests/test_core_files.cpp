// The stored files: setup.ini read whatever lies there, setup.ini and lista.txt written as
// exact bytes, whole or not at all (a full disk, a file size limit, a kill in the middle),
// through a link, and refused without a hang when a folder or a FIFO is in the way. And where
// the program keeps them: ProgramFiles::folderFor.

#include "core/files/ProgramFiles.h"
#include "core/run/StoredFiles.h"
#include "core/text/FileNames.h"
#include "support/TestTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray crlfLines(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += FileNames::encode(entry) + "\r\n";
    return bytes;
}

QStringList bigList(const QString& tag, int count) {
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i)
        entries.append(
            QStringLiteral("/home/ann/projekt/%1/underm\u00e5pp/fil-%2.txt").arg(tag).arg(i));
    return entries;
}

// A moment of a save as the kernel tells it (inotify): the temporary file made (IN_CREATE),
// written (IN_MODIFY), given its mode (IN_ATTRIB), renamed over the list (IN_MOVED_TO).
struct SaveMoment {
    uint32_t event;
    int occurrence; // the first, second... such event of the saver's
};

// Watches a folder for the moments of the saves made in it.
class SaveMoments {
public:
    explicit SaveMoments(const QString& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          m_watch(inotify_add_watch(m_fd, FileNames::encode(folder).constData(),
                                    IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_MOVED_TO)) {}
    ~SaveMoments() { close(m_fd); }
    bool valid() const { return m_fd >= 0 && m_watch >= 0; }

    // Forgets the moments seen so far.
    void clear() {
        char buffer[4096];
        while (read(m_fd, buffer, sizeof buffer) > 0) {
        }
    }

    // Waits until process `saver` reaches `moment` in `file` (or its temporary file, for the
    // events before the rename); false after 60 s.
    bool waitFor(pid_t saver, const QByteArray& file, SaveMoment moment) {
        const QByteArray temporary = ".trovan-" + QByteArray::number(saver) + '-';
        alignas(inotify_event) char buffer[4096];
        for (int seen = 0;;) {
            pollfd ready{m_fd, POLLIN, 0};
            if (poll(&ready, 1, 60000) != 1)
                return false;
            const ssize_t length = read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const QByteArray name(event->len ? event->name : "");
                const bool ours =
                    moment.event == IN_MOVED_TO ? name == file : name.startsWith(temporary);
                if (ours && event->mask & moment.event && ++seen == moment.occurrence)
                    return true;
            }
        }
    }

private:
    int m_fd;
    int m_watch;
};

} // namespace

class CoreFilesTest : public QObject {
    Q_OBJECT
private slots:
    // --- reading setup.ini -----------------------------------------------------------------

    void readsTheWholeFirstLine_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("folder");
        QTest::newRow("CR LF") << QByteArray("/home/ann\r\nnext\r\n") << "/home/ann";
        QTest::newRow("LF") << QByteArray("/home/ann\nnext\n") << "/home/ann";
        QTest::newRow("no line end") << QByteArray("/home/ann") << "/home/ann";
        QTest::newRow("commas kept") << QByteArray("/home/ann/a,b, c\r\n") << "/home/ann/a,b, c";
        QTest::newRow("blanks before quotes kept")
            << QByteArray("  \"/x y\"  \r\n") << "  \"/x y\"  ";
        QTest::newRow("quoted") << QByteArray("\"/home/ann/x y\"\r\n") << "/home/ann/x y";
        QTest::newRow("quoted, then more") << QByteArray("\"/a\" \"/b\"\r\n") << "/a";
        QTest::newRow("quote never closed") << QByteArray("\"/a b\r\n") << "/a b";
        QTest::newRow("quote inside kept") << QByteArray("/a\"b\"\r\n") << "/a\"b\"";
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("empty first line") << QByteArray("\r\n/home/ann\r\n") << QString();
        QTest::newRow("utf8") << QByteArray("/home/\xc3\xa5sa\r\n") << QStringLiteral("/home/åsa");
        QTest::newRow("latin1 bytes round-trip")
            << QByteArray("/home/\xe5sa\r\n") << FileNames::decode("/home/\xe5sa");
        QTest::newRow("lone CR inside") << QByteArray("/a\rb\n") << "/a\rb";
        QTest::newRow("NUL in the line") << QByteArray("/home\0/ann\r\n", 12) << QString();
        QTest::newRow("binary") << QByteArray("\x7f"
                                              "ELF\x02\x01\x01\0\0\0\0",
                                              12)
                                << QString();
        QTest::newRow("NUL only after the line")
            << QByteArray("/home/ann\r\n\0\0", 13) << "/home/ann";
        QTest::newRow("huge line without end") << QByteArray(1 << 20, 'a') << QString();
        QByteArray longLine(70000, 'b');
        QTest::newRow("huge line with end") << QByteArray(longLine + "\r\n") << QString();
        QByteArray fitting = '/' + QByteArray(60000, 'c');
        QTest::newRow("long line that fits")
            << QByteArray(fitting + "\r\nx") << QString::fromLatin1(fitting);
    }
    void readsTheWholeFirstLine() {
        QFETCH(QByteArray, content);
        QFETCH(QString, folder);
        TestTree tree;
        QCOMPARE(StoredFiles::readSavedFolder(tree.file("setup.ini", content)), folder);
    }

    void readsNothingFromWhatIsNoFile() {
        TestTree tree;
        QCOMPARE(StoredFiles::readSavedFolder(tree.path("missing.ini")), QString());
        QCOMPARE(StoredFiles::readSavedFolder(tree.folder("a folder")), QString());
        const QByteArray fifo = FileNames::encode(tree.path("fifo.ini"));
        QVERIFY(mkfifo(fifo.constData(), 0644) == 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(StoredFiles::readSavedFolder(tree.path("fifo.ini")),
                 QString()); // no writer: no hang
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(StoredFiles::readSavedFolder(tree.link("zero.ini", "/dev/zero")), QString());
        QCOMPARE(StoredFiles::readSavedFolder(tree.link("null.ini", "/dev/null")), QString());
        QCOMPARE(StoredFiles::readSavedFolder(tree.link("dangling.ini", tree.path("nothing"))),
                 QString());
        tree.file("real.ini", "/home/ann\r\n");
        QCOMPARE(StoredFiles::readSavedFolder(tree.link("link.ini", tree.path("real.ini"))),
                 QStringLiteral("/home/ann"));
    }

    // --- writing ----------------------------------------------------------------------------

    void writesExactlyTheBytes() {
        TestTree tree;
        const QString ini = tree.path("setup.ini");
        QCOMPARE(StoredFiles::writeSavedFolder(ini, "/home/ann"), std::nullopt);
        QCOMPARE(readBytes(ini), QByteArray("/home/ann\r\n"));
        const QString odd = FileNames::decode("/home/\xc3\xa5sa/latin1-\xe5/\xff\xfe");
        QCOMPARE(StoredFiles::writeSavedFolder(ini, odd), std::nullopt);
        QCOMPARE(readBytes(ini), QByteArray("/home/\xc3\xa5sa/latin1-\xe5/\xff\xfe\r\n"));
        QCOMPARE(StoredFiles::readSavedFolder(ini), odd); // and back

        const QString list = tree.path("lista.txt");
        const QStringList entries{"/a/b.txt",
                                  QStringLiteral("räksmörgås.åäö"),
                                  FileNames::decode("/x/\xff\xfe-ogiltig.txt"),
                                  "ny\nrad",
                                  "",
                                  "sista"};
        QCOMPARE(StoredFiles::writeList(list, entries), std::nullopt);
        // The LF inside an entry in its visible form, "␊": each entry stays one line.
        QCOMPARE(
            readBytes(list),
            QByteArray("/a/b.txt\r\nr\xc3\xa4ksm\xc3\xb6rg\xc3\xa5s.\xc3\xa5\xc3\xa4\xc3\xb6\r\n"
                       "/x/\xff\xfe-ogiltig.txt\r\nny\xe2\x90\x8a"
                       "rad\r\n\r\nsista\r\n"));
        QCOMPARE(StoredFiles::writeList(list, {}), std::nullopt);
        QCOMPARE(QFileInfo(list).size(), 0);
        QCOMPARE(QFileInfo(list).exists(), true);
        QCOMPARE(namesIn(tree.root()),
                 (QStringList{"lista.txt", "setup.ini"})); // nothing left over
    }

    // A folder whose name holds a line break is not written: setup.ini keeps its one line.
    void aFolderWithALineBreakKeepsTheOldLine() {
        TestTree tree;
        const QString ini = tree.file("setup.ini", "/tidigare\r\n");
        for (const QString& folder : {QStringLiteral("/tmp/t/nl\nX"),
                                      QStringLiteral("/tmp/t/cr\rX"), QStringLiteral("\n/tmp")}) {
            const auto error = StoredFiles::writeSavedFolder(ini, folder);
            QVERIFY(error);
            QCOMPARE(readBytes(ini), QByteArray("/tidigare\r\n"));
        }
        QCOMPARE(namesIn(tree.root()), QStringList{"setup.ini"});
        // A double quote inside a name is no line break: written, and read back as it was.
        QCOMPARE(StoredFiles::writeSavedFolder(ini, "/a\"b"), std::nullopt);
        QCOMPARE(StoredFiles::readSavedFolder(ini), QStringLiteral("/a\"b"));
    }

    void aNewFileGetsTheUsualModeAndAnOldOneKeepsItsOwn() {
        TestTree tree;
        const mode_t mask = umask(022);
        const QString list = tree.path("lista.txt");
        QCOMPARE(StoredFiles::writeList(list, {"a"}), std::nullopt);
        struct stat info {};
        QVERIFY(stat(FileNames::encode(list).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0644));
        QVERIFY(chmod(FileNames::encode(list).constData(), 0600) == 0);
        QCOMPARE(StoredFiles::writeList(list, {"b"}), std::nullopt);
        QVERIFY(stat(FileNames::encode(list).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        umask(mask);
    }

    void aLinkKeepsPointingAtItsTarget() {
        TestTree tree;
        const QString target = tree.file("elsewhere/real list.txt", "old\r\n");
        const QString link = tree.link("program/lista.txt", "../elsewhere/real list.txt");
        QCOMPARE(StoredFiles::writeList(link, {"new"}), std::nullopt);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QCOMPARE(readBytes(target), QByteArray("new\r\n"));
        // A link through a link, and a link to a file not there yet.
        tree.link("program/setup.ini", tree.path("program/second"));
        tree.link("program/second", tree.path("elsewhere/setup.ini"));
        QCOMPARE(StoredFiles::writeSavedFolder(tree.path("program/setup.ini"), "/x"), std::nullopt);
        QVERIFY(QFileInfo(tree.path("program/setup.ini")).isSymLink());
        QVERIFY(QFileInfo(tree.path("program/second")).isSymLink());
        QCOMPARE(readBytes(tree.path("elsewhere/setup.ini")), QByteArray("/x\r\n"));
        QCOMPARE(namesIn(tree.path("program")), (QStringList{"lista.txt", "second", "setup.ini"}));
        QCOMPARE(namesIn(tree.path("elsewhere")), (QStringList{"real list.txt", "setup.ini"}));
    }

    void aFolderOrFifoInTheWayIsAnErrorNotAHang() {
        TestTree tree;
        tree.file("folder/lista.txt/inside", "kept");
        const auto folderError = StoredFiles::writeList(tree.path("folder/lista.txt"), {"x"});
        QVERIFY(folderError);
        QVERIFY2(folderError->description.startsWith(QStringLiteral("Det är en mapp, inte en fil")),
                 qPrintable(folderError->description));
        QVERIFY(folderError->description.endsWith(tree.path("folder/lista.txt")));
        QCOMPARE(readBytes(tree.path("folder/lista.txt/inside")), QByteArray("kept"));

        tree.folder("fifo");
        QVERIFY(mkfifo(FileNames::encode(tree.path("fifo/lista.txt")).constData(), 0644) == 0);
        QElapsedTimer timer;
        timer.start();
        const auto fifoError = StoredFiles::writeList(tree.path("fifo/lista.txt"), {"x"});
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(fifoError);
        QVERIFY(!fifoError->description.isEmpty());
        QFileInfo fifo(tree.path("fifo/lista.txt"));
        QVERIFY(!fifo.isFile() && fifo.exists()); // still the FIFO
        QCOMPARE(namesIn(tree.path("fifo")), QStringList{"lista.txt"});

        // A folder that is not there.
        const auto missing = StoredFiles::writeList(tree.path("nowhere/lista.txt"), {"x"});
        QVERIFY(missing);
        QVERIFY(missing->description.startsWith(QStringLiteral("Sökvägen hittades inte")));
    }

    void aFullDiskKeepsTheOldFileWhole() {
        if (geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        TestTree tree;
        const QString place = tree.folder("small");
        const QByteArray where = FileNames::encode(place);
        if (mount("trovan-test", where.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(QStringLiteral("mount not permitted here: ") +
                             QString::fromLocal8Bit(strerror(errno))));
        struct Unmount {
            QByteArray where;
            ~Unmount() { umount2(where.constData(), MNT_DETACH); }
        } unmount{where};
        const QString list = place + "/lista.txt";
        const QStringList old{"gammal", "lista"};
        QCOMPARE(StoredFiles::writeList(list, old), std::nullopt);
        const auto error = StoredFiles::writeList(list, bigList("full", 20000)); // about 1 MB
        QVERIFY(error);
        QCOMPARE(error->description, QStringLiteral("Disken är full: ") + list);
        QCOMPARE(error->number, 61);
        QCOMPARE(readBytes(list), crlfLines(old));
        QCOMPARE(namesIn(place), QStringList{"lista.txt"}); // no temporary file left behind
        // setup.ini the same way, and the disk is usable again afterwards.
        QCOMPARE(StoredFiles::writeSavedFolder(place + "/setup.ini", "/x"), std::nullopt);
        QVERIFY(StoredFiles::writeSavedFolder(place + "/setup.ini", QString(100000, u'y')));
        QCOMPARE(readBytes(place + "/setup.ini"), QByteArray("/x\r\n"));
        QCOMPARE(namesIn(place), (QStringList{"lista.txt", "setup.ini"}));
    }

    void aFileSizeLimitKeepsTheOldFileWhole() {
        TestTree tree;
        const QString list = tree.path("lista.txt");
        const QStringList old{"gammal", "lista"};
        QCOMPARE(StoredFiles::writeList(list, old), std::nullopt);
        const QStringList big = bigList("stor", 5000);
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const auto error = StoredFiles::writeList(list, big);
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
        QVERIFY(error);
        QCOMPARE(error->description, QStringLiteral("Filen är för stor: ") + list);
        QCOMPARE(readBytes(list), crlfLines(old));
        QCOMPARE(namesIn(tree.root()), QStringList{"lista.txt"});
        QCOMPARE(StoredFiles::writeList(list, big), std::nullopt); // without the limit it fits
        QCOMPARE(readBytes(list), crlfLines(big));
    }

    void aKillInTheMiddleLeavesTheOldOrTheNewListWhole() {
        TestTree tree;
        const QString list = tree.path("lista.txt");
        const QStringList first = bigList("forsta", 6000); // each about 300 KB
        const QStringList second = bigList("andra", 7000);
        const QByteArray old = crlfLines({"gammal"});
        const QByteArray firstBytes = crlfLines(first), secondBytes = crlfLines(second);
        QVERIFY(firstBytes.size() > 200'000);
        QCOMPARE(StoredFiles::writeList(list, {"gammal"}), std::nullopt);
        // A save under way in a living process (init's pid stands in), and a file of the user's.
        const QString othersSave = QStringLiteral(".trovan-1-a1b2c3");
        const QString notOurs = QStringLiteral(".trovan-anteckningar");
        tree.file(othersSave, "pågår");
        tree.file(notOurs, "mitt");
        // The kill falls at each moment of a save in turn, the first and the second time the
        // saver reaches it: while the temporary file is written, while it is synced, just after
        // the rename. Each is waited for as the kernel reports it, however slow the writes are.
        const SaveMoment moments[] = {{IN_CREATE, 1},   {IN_MODIFY, 1},  {IN_ATTRIB, 1},
                                      {IN_MOVED_TO, 1}, {IN_CREATE, 2},  {IN_MODIFY, 2},
                                      {IN_ATTRIB, 2},   {IN_MOVED_TO, 2}};
        SaveMoments seen(tree.root());
        QVERIFY(seen.valid());
        int sawNew = 0;
        for (int round = 0; round < int(std::size(moments)); ++round) {
            seen.clear();
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                for (int i = 0;; ++i)
                    StoredFiles::writeList(list, i % 2 ? second : first);
            }
            const bool reached = seen.waitFor(child, "lista.txt", moments[round]);
            QCOMPARE(kill(child, SIGKILL), 0);
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status));
            QVERIFY2(reached,
                     qPrintable(QStringLiteral("round %1: the moment never came").arg(round)));
            const QByteArray now = readBytes(list);
            QVERIFY2(
                now == old || now == firstBytes || now == secondBytes,
                qPrintable(QStringLiteral("round %1: %2 bytes, cut").arg(round).arg(now.size())));
            sawNew += now != old;
            if (moments[round].event == IN_MOVED_TO)
                QVERIFY2(now != old, qPrintable(QStringLiteral("round %1").arg(round)));
            // Whatever the kill left behind, lista.txt is the list and nothing else bears its name;
            // the next save takes the killed one's temporary file away, and no one else's.
            for (const QString& name : namesIn(tree.root()))
                QVERIFY2(name == "lista.txt" || name.startsWith(".trovan-"), qPrintable(name));
            QCOMPARE(StoredFiles::writeList(list, {"gammal"}), std::nullopt);
            QCOMPARE(namesIn(tree.root()), (QStringList{othersSave, notOurs, "lista.txt"}));
        }
        QVERIFY(sawNew > 0);
    }

    // --- links another user may have planted ------------------------------------------------

    // A link is followed only where the kernel would follow it in a sticky, world-writable
    // folder: the user's own, or one owned by the owner of the folder holding it; here in any
    // folder, and for every link on the way. A refused link writes, makes and removes nothing.
    void anotherUsersLinkIsNotFollowed() {
        if (geteuid() != 0)
            QSKIP("giving a link to another user needs root (test_core_unprivileged tries an "
                  "ordinary user)");
        constexpr uid_t Other = 4242, Third = 4243;
        TestTree tree;
        const QString victim = tree.file("home/.bashrc", "mitt\n");
        const QByteArray victimBytes = readBytes(victim);
        const auto plant = [&](const QString& link, const QString& target, uid_t owner) {
            const QString path = tree.link(link, target);
            if (lchown(FileNames::encode(path).constData(), owner, owner) != 0)
                qWarning("lchown failed");
            return path;
        };
        const auto refused = [](const std::optional<SystemError>& error, const QString& link) {
            return error && error->number == 70 &&
                   error->description ==
                       QStringLiteral("Länken ägs av en annan användare och följs inte: ") + link;
        };
        const QString program = tree.folder("program");
        const QString list = plant("program/lista.txt", victim, Other);
        const QString ini = plant("program/setup.ini", tree.path("home/ny.txt"), Other);
        for (const mode_t mode : {mode_t(0755), mode_t(01777), mode_t(0700)}) {
            QVERIFY(chmod(FileNames::encode(program).constData(), mode) == 0);
            QVERIFY(refused(StoredFiles::writeList(list, {"lista"}), list));
            QVERIFY(refused(StoredFiles::writeSavedFolder(ini, "/x"), ini));
            QCOMPARE(readBytes(victim), victimBytes);
            QCOMPARE(namesIn(tree.path("home")), QStringList{".bashrc"}); // the dangling: not made
            QCOMPARE(namesIn(program), (QStringList{"lista.txt", "setup.ini"}));
            QVERIFY(QFileInfo(list).isSymLink() && QFileInfo(ini).isSymLink());
        }

        // In a folder of the link's owner, and the user's own link anywhere: followed.
        const QString theirs = tree.folder("theirs");
        QVERIFY(chown(FileNames::encode(theirs).constData(), Other, Other) == 0);
        QVERIFY(chmod(FileNames::encode(theirs).constData(), 01777) == 0);
        plant("theirs/lista.txt", tree.path("home/deras.txt"), Other);
        QCOMPARE(StoredFiles::writeList(tree.path("theirs/lista.txt"), {"a"}), std::nullopt);
        QCOMPARE(readBytes(tree.path("home/deras.txt")), QByteArray("a\r\n"));
        plant("theirs/setup.ini", tree.path("home/min.txt"), 0);
        QCOMPARE(StoredFiles::writeSavedFolder(tree.path("theirs/setup.ini"), "/b"), std::nullopt);
        QCOMPARE(readBytes(tree.path("home/min.txt")), QByteArray("/b\r\n"));
        // A third user's link in their folder is not.
        const QString third = plant("theirs/third.txt", victim, Third);
        QVERIFY(refused(StoredFiles::writeList(third, {"c"}), third));

        // A chain: the user's own link leads to another user's, which names the refusal.
        tree.folder("mid");
        const QString second = plant("mid/lista.txt", victim, Other);
        plant("chain/lista.txt", "../mid/lista.txt", 0);
        QVERIFY(refused(StoredFiles::writeList(tree.path("chain/lista.txt"), {"d"}), second));
        // A folder on the way that is another user's link.
        plant("shared/sub", tree.path("home"), Other);
        plant("way/lista.txt", tree.path("shared/sub/lista.txt"), 0);
        QVERIFY(refused(StoredFiles::writeList(tree.path("way/lista.txt"), {"e"}),
                        tree.path("shared/sub")));
        QCOMPARE(readBytes(victim), victimBytes);
        QCOMPARE(namesIn(tree.path("home")), (QStringList{".bashrc", "deras.txt", "min.txt"}));
        for (const char* folder : {"chain", "mid", "way", "shared"})
            QCOMPARE(namesIn(tree.path(folder)).filter(".trovan-"), QStringList{});
    }

    // Followed no further than the kernel would: 40 links.
    void aLongChainOfLinksIsAnError() {
        TestTree tree;
        tree.folder("end");
        tree.link("chain/0", tree.path("end/lista.txt"));
        for (int i = 1; i <= 40; ++i)
            tree.link(QStringLiteral("chain/%1").arg(i), QString::number(i - 1));
        QCOMPARE(StoredFiles::writeList(tree.path("chain/39"), {"x"}), std::nullopt);
        QCOMPARE(readBytes(tree.path("end/lista.txt")), QByteArray("x\r\n"));
        const auto error = StoredFiles::writeList(tree.path("chain/40"), {"y"});
        QVERIFY(error);
        QCOMPARE(error->description,
                 QStringLiteral("Sökvägen har för många länkar: ") + tree.path("chain/40"));
        QCOMPARE(readBytes(tree.path("end/lista.txt")), QByteArray("x\r\n"));
    }

    // --- what a killed or abandoned save left --------------------------------------------------

    // The next save removes only what a save of this version left: ".trovan-PID-XXXXXX", the
    // six characters as mkstemp makes them, a plain file of the user's, its process gone; in the
    // folder it writes, also when a link leads there.
    void onlyTheUsersOwnLeftOversAreRemoved() {
        TestTree tree;
        const pid_t gone = fork();
        if (gone == 0)
            _exit(0);
        QVERIFY(gone > 0);
        QCOMPARE(waitpid(gone, nullptr, 0), gone);
        const QString dead = QString::number(gone);
        const QStringList kept{".trovan-backup",
                               ".trovan-abc123",
                               ".trovan-1-a1b2c3",
                               ".trovan-" + dead + "-a1b2c",
                               ".trovan-" + dead + "-a1b2c3d",
                               ".trovan-" + dead + "-a1b_c3",
                               ".trovan-0" + dead + "-a1b2c3",
                               ".trovan-" + dead + "-a1b2c3.txt",
                               ".trovan--a1b2c3",
                               ".trovan-99999999-a1b2c3"};
        for (const QString& name : kept)
            tree.file("elsewhere/" + name, "mitt");
        tree.file("elsewhere/" + QStringLiteral(".trovan-%1-aB3dE9").arg(gone), "lämnad");
        tree.folder("elsewhere/.trovan-" + dead + "-Folder");
        const QString linked = tree.file("home/.bashrc", "mitt");
        tree.link("elsewhere/.trovan-" + dead + "-Link01", linked);
        tree.file("program/.trovan-" + dead + "-Beside", "bredvid");
        tree.link("program/lista.txt", tree.path("elsewhere/lista.txt"));
        QStringList expected = kept;
        expected << ".trovan-" + dead + "-Folder"
                 << ".trovan-" + dead + "-Link01";
        if (geteuid() == 0) {
            const QString others = tree.file("elsewhere/.trovan-" + dead + "-Other1", "deras");
            QVERIFY(chown(FileNames::encode(others).constData(), 4242, 4242) == 0);
            expected << ".trovan-" + dead + "-Other1";
        }
        QCOMPARE(StoredFiles::writeList(tree.path("program/lista.txt"), {"x"}), std::nullopt);
        expected << "lista.txt";
        expected.sort();
        QCOMPARE(namesIn(tree.path("elsewhere")), expected);
        QCOMPARE(readBytes(linked), QByteArray("mitt"));
        // Beside the link is not where it writes: that one stays for a save there.
        QCOMPARE(namesIn(tree.path("program")),
                 (QStringList{".trovan-" + dead + "-Beside", "lista.txt"}));
    }

    // At the program's end a save still being written is taken away, and renames nothing; a
    // save that is no longer wanted once its file exists takes it away itself.
    void anAbandonedSaveLeavesNothing() {
        TestTree tree;
        const QString list = tree.file("lista.txt", "gammal\r\n");
        std::mutex lock;
        std::condition_variable changed;
        bool writing = false, goOn = false;
        std::optional<SystemError> result;
        std::thread save([&] {
            result = StoredFiles::writeList(list, {"ny"}, [&] {
                std::unique_lock held(lock);
                writing = true;
                changed.notify_all();
                changed.wait(held, [&] { return goOn; });
                return false;
            });
        });
        {
            std::unique_lock held(lock);
            QVERIFY(changed.wait_for(held, std::chrono::seconds(20), [&] { return writing; }));
        }
        QCOMPARE(namesIn(tree.root()).size(), 2); // lista.txt and the save's temporary file
        StoredFiles::abandonSaves();
        QTRY_COMPARE_WITH_TIMEOUT(namesIn(tree.root()), QStringList{"lista.txt"}, 10000);
        {
            const std::lock_guard held(lock);
            goOn = true;
        }
        changed.notify_all();
        save.join();
        QVERIFY(result);
        QCOMPARE(result->description, QString());
        QCOMPARE(readBytes(list), QByteArray("gammal\r\n"));
        QCOMPARE(namesIn(tree.root()), QStringList{"lista.txt"});

        // Given up: gone as well. And a later save is not held back by an earlier abandon.
        const auto givenUp = StoredFiles::writeList(list, {"ny"}, [] { return true; });
        QVERIFY(givenUp && givenUp->description.isEmpty());
        QCOMPARE(namesIn(tree.root()), QStringList{"lista.txt"});
        QCOMPARE(StoredFiles::writeList(list, {"ny"}), std::nullopt);
        QCOMPARE(readBytes(list), QByteArray("ny\r\n"));
    }

    // --- where the files are kept ------------------------------------------------------------

    void aWritableProgramFolderOutsideUsrKeepsThem() {
        TestTree tree;
        const QString own = tree.folder("opt/trovan");
        qputenv("XDG_DATA_HOME", FileNames::encode(tree.path("xdg")));
        QCOMPARE(ProgramFiles::folderFor(own), own);
        QVERIFY(!QFileInfo::exists(tree.path("xdg/trovan")));
    }

    void aProgramUnderUsrKeepsThemInTheUsersDataFolder() {
        TestTree tree;
        qputenv("XDG_DATA_HOME", FileNames::encode(tree.path("xdg data")));
        for (const QString& program : {QStringLiteral("/usr/bin"), QStringLiteral("/usr"),
                                       QStringLiteral("/usr/local/bin")}) {
            QDir(tree.path("xdg data")).removeRecursively();
            const QString folder = ProgramFiles::folderFor(program);
            QCOMPARE(folder, tree.path("xdg data/trovan"));
            QVERIFY(QFileInfo(folder).isDir()); // made when first asked for
        }
    }
};

QTEST_GUILESS_MAIN(CoreFilesTest)
#include "test_core_files.moc"
