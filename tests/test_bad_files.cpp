// Stored files that are not what the program wrote: a setup.ini that is binary, huge, cut
// short or not a file at all, and a lista.txt that is in the way. The program starts, saves and
// reports as it does with good files, and never hangs.

#include "platform/App.h"
#include "platform/FileChannel.h"
#include "platform/FileNames.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Kind { Bytes, Folder, Fifo, LinkToItself, LinkToDevice };

QByteArray randomBytes(qsizetype size, quint32 origin) {
    QRandomGenerator generator(origin);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    bytes[0] = '\x93'; // never a path
    return bytes;
}

// Puts `kind` (with `bytes` for a plain file) at `path`.
void place(const QString& path, Kind kind, const QByteArray& bytes) {
    const QByteArray name = FileNames::encode(path);
    switch (kind) {
    case Kind::Bytes: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        break;
    }
    case Kind::Folder:
        QVERIFY(mkdir(name.constData(), 0755) == 0);
        break;
    case Kind::Fifo:
        QVERIFY(mkfifo(name.constData(), 0644) == 0);
        break;
    case Kind::LinkToItself:
        QVERIFY(symlink(name.constData(), name.constData()) == 0);
        break;
    case Kind::LinkToDevice:
        QVERIFY(symlink("/dev/zero", name.constData()) == 0);
        break;
    }
}

// Saves the list; the last box must be the error's, with nothing saved or opened.
void expectSaveRefused(const TestWindow& window) {
    const size_t boxesBefore = window.desktop.boxes.size();
    window->Command2->click();
    QCOMPARE(window.desktop.boxes.size(), boxesBefore + 1);
    const FakeDesktop::Box& box = window.desktop.boxes.back();
    QCOMPARE(box.style, 48);
    QCOMPARE(box.title, QString());
    QVERIFY(!box.prompt.isEmpty());
    QVERIFY(!box.prompt.startsWith(QStringLiteral("Fil sparad")));
    QVERIFY(window.desktop.opened.empty());
    QVERIFY(!FileChannel::IsOpen(1));
}

// The channel is free again: leaving still writes setup.ini.
void expectExitStillSaves(const TestWindow& window) {
    window->lblmapp->setCaption(QStringLiteral("/usr"));
    window->Form_Unload();
    QCOMPARE(window.desktop.ends, 1);
    QCOMPARE(readBytes(window.programFolder() + "/setup.ini"), QByteArray("/usr\r\n"));
}

} // namespace

class BadFilesTest : public QObject {
    Q_OBJECT
private slots:
    void aBadSetupIniStartsQuietly_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("restores"); // the good folder comes back
        const QByteArray good = "@GOOD@";   // stands for the good folder's path
        const auto bytes = int(Kind::Bytes);
        QTest::newRow("binary") << bytes << randomBytes(64 * 1024, 7) << false;
        QTest::newRow("folder, NUL, junk") << bytes << good + QByteArray("\0junk\r\n", 7) << false;
        QTest::newRow("folder, NUL") << bytes << good + QByteArray("\0\r\n", 3) << false;
        QTest::newRow("8 MB without a line end")
            << bytes << "/" + QByteArray(8 << 20, 'a') << false;
        QTest::newRow("8 MB after a good line")
            << bytes << good + "\r\n" + randomBytes(8 << 20, 9) << true;
        QTest::newRow("no line end") << bytes << good << true;
        QTest::newRow("LF alone") << bytes << good + "\n" << true;
        QTest::newRow("only a comma") << bytes << QByteArray(",") << false;
        QTest::newRow("a comma line") << bytes << QByteArray(",\r\n") << false;
        QTest::newRow("empty") << bytes << QByteArray() << false;
        QTest::newRow("relative") << bytes << QByteArray("tmp\r\n") << false;
        QTest::newRow("a folder") << int(Kind::Folder) << QByteArray() << false;
        QTest::newRow("a FIFO") << int(Kind::Fifo) << QByteArray() << false;
        QTest::newRow("a link to itself") << int(Kind::LinkToItself) << QByteArray() << false;
        QTest::newRow("a link to /dev/zero") << int(Kind::LinkToDevice) << QByteArray() << false;
    }
    void aBadSetupIniStartsQuietly() {
        QFETCH(int, kind);
        QFETCH(QByteArray, content);
        QFETCH(bool, restores);
        TestTree tree;
        const QString goodFolder = tree.folder("god mapp");
        tree.file("god mapp/x.txt");
        content.replace("@GOOD@", FileNames::encode(goodFolder));

        TestWindow window;
        window->dirList->setPath(tree.root());
        const QString settings = window.programFolder() + "/setup.ini";
        place(settings, Kind(kind), content);
        App::setPathForTesting(window.programFolder());
        window->Form_Load();
        QVERIFY(window.desktop.boxes.empty());
        QVERIFY(!FileChannel::IsOpen(1));
        QCOMPARE(window->dirList->Path(), restores ? goodFolder : tree.root());
        QCOMPARE(window->filList->Path(), window->dirList->Path());

        // A search from there lists what is there, and leaving replaces a plain file whole.
        window.search(goodFolder, "*.txt");
        QCOMPARE(window.entries(), QStringList{goodFolder + "/x.txt"});
        window->Form_Unload();
        QCOMPARE(window.desktop.ends, 1);
        QVERIFY(window.desktop.boxes.empty());
        QVERIFY(!FileChannel::IsOpen(1));
        if (Kind(kind) == Kind::Bytes)
            QCOMPARE(readBytes(settings), FileNames::encode(goodFolder) + "\r\n");
        else if (Kind(kind) == Kind::Folder)
            QVERIFY(QFileInfo(settings).isDir());
    }

    void aSavedListInTheWay_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("a FIFO without a reader") << int(Kind::Fifo);
        QTest::newRow("a link to itself") << int(Kind::LinkToItself);
        QTest::newRow("a link to /dev/zero") << int(Kind::LinkToDevice);
    }
    void aSavedListInTheWay() {
        QFETCH(int, kind);
        TestTree tree;
        tree.file("a.txt");
        TestWindow window;
        window.search(tree.root(), "*.txt");
        const QString list = window.programFolder() + "/lista.txt";
        place(list, Kind(kind), {});
        expectSaveRefused(window);

        // Once it is out of the way, saving works again.
        QVERIFY(QFile::remove(list) || QDir(list).removeRecursively());
        window->Command2->click();
        QCOMPARE(readBytes(list), FileNames::encode(tree.path("a.txt")) + "\r\n");
        QCOMPARE(window.desktop.boxes.back().title, QStringLiteral("Fil sparad"));
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        expectExitStillSaves(window);
    }
};

TROVAN_TEST_MAIN(BadFilesTest)
#include "test_bad_files.moc"
