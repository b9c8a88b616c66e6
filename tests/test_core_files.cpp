// The stored files: setup.ini read whatever lies there, setup.ini and lista.txt written as
// exact bytes, whole or not at all (a full disk, a file size limit, a kill in the middle),
// through a link, and refused without a hang when a folder or a FIFO is in the way. And where
// the program keeps them: ProgramFiles::folderFor.

#include "core/run/ProgramFiles.h"
#include "core/run/StoredFiles.h"
#include "core/text/FileNames.h"
#include "support/TestTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
        QTest::newRow("quotes and blanks kept") << QByteArray("  \"/x y\"  \r\n") << "  \"/x y\"  ";
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
        const QStringList first = bigList("forsta", 60000); // each about 3 MB
        const QStringList second = bigList("andra", 70000);
        const QByteArray old = crlfLines({"gammal"});
        const QByteArray firstBytes = crlfLines(first), secondBytes = crlfLines(second);
        QVERIFY(firstBytes.size() > 2'000'000);
        QCOMPARE(StoredFiles::writeList(list, {"gammal"}), std::nullopt);
        // A save under way in a living process (init's pid stands in), and a file of the user's.
        const QString othersSave = QStringLiteral(".trovan-1-a1b2c3");
        const QString notOurs = QStringLiteral(".trovan-anteckningar");
        tree.file(othersSave, "pågår");
        tree.file(notOurs, "mitt");
        int sawNew = 0;
        for (int round = 0; round < 12; ++round) {
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                for (int i = 0;; ++i)
                    StoredFiles::writeList(list, i % 2 ? second : first);
            }
            usleep(useconds_t(3000 + round * 7000));
            // The last round waits for a whole new list first, however slow the writes are, so
            // that a kill after a finished write is tried too.
            for (int waited = 0; round == 11 && readBytes(list) == old && waited < 2000; ++waited)
                usleep(10000);
            QCOMPARE(kill(child, SIGKILL), 0);
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status));
            const QByteArray now = readBytes(list);
            QVERIFY2(
                now == old || now == firstBytes || now == secondBytes,
                qPrintable(QStringLiteral("round %1: %2 bytes, cut").arg(round).arg(now.size())));
            sawNew += now != old;
            // Whatever the kill left behind, lista.txt is the list and nothing else bears its name;
            // the next save takes the killed one's temporary file away, and no one else's.
            for (const QString& name : namesIn(tree.root()))
                QVERIFY2(name == "lista.txt" || name.startsWith(".trovan-"), qPrintable(name));
            QCOMPARE(StoredFiles::writeList(list, {"gammal"}), std::nullopt);
            QCOMPARE(namesIn(tree.root()), (QStringList{othersSave, notOurs, "lista.txt"}));
        }
        QVERIFY(sawNew > 0);
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
