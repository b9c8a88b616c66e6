// The result list actions through the real window: removing marked entries, saving lista.txt
// and opening the current entry, also in the middle of a running search.

#include "platform/App.h"
#include "platform/FileChannel.h"
#include "platform/FileNames.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/YieldHook.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>

namespace {
// Twelve entries, f00 to f11, found by a real search.
QStringList searchTwelve(TestWindow& window, const TestTree& tree) {
    for (int i = 0; i < 12; ++i)
        tree.file(QStringLiteral("twelve/f%1.txt").arg(i, 2, 10, QLatin1Char('0')));
    return window.search(tree.path("twelve"), "*.txt", {.subfolders = false, .fullPath = false});
}
void mark(const TestWindow& window, std::initializer_list<int> rows) {
    for (int row : rows)
        window->lstFoundFiles->setSelected(row, true);
}
} // namespace

class ResultsTest : public QObject {
    Q_OBJECT
private slots:
    void removesExactlyTheMarkedEntries() {
        TestTree tree;
        TestWindow window;
        QStringList expected = searchTwelve(window, tree);
        QCOMPARE(expected.size(), 12);
        window->lstFoundFiles->setListIndex(5); // current, not marked
        mark(window, {2, 10});
        window->Command1->click();
        expected.removeAt(10);
        expected.removeAt(2);
        QCOMPARE(window.entries(), expected);
        QCOMPARE(window->List1->ListCount(), 0);
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 12")); // counts what was found
        QVERIFY(window.desktop.boxes.empty());

        // A second click removes only what is marked now.
        window->lstFoundFiles->clearSelection();
        window->lstFoundFiles->setListIndex(0);
        mark(window, {0});
        window->Command1->click();
        expected.removeAt(0);
        QCOMPARE(window.entries(), expected);

        // A current entry and nothing marked: nothing goes.
        window->lstFoundFiles->clearSelection();
        window->lstFoundFiles->setListIndex(1);
        window->Command1->click();
        QCOMPARE(window.entries(), expected);

        // All marked: the list empties, the counter stays.
        window->lstFoundFiles->selectAll();
        window->Command1->click();
        QCOMPARE(window->lstFoundFiles->ListCount(), 0);
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 12"));
        // No current entry: nothing happens, nothing is shown.
        window->Command1->click();
        QVERIFY(window.desktop.boxes.empty());
    }

    void anEmptyCurrentEntryRemovesNothing() {
        TestWindow window;
        window->lstFoundFiles->AddItem("a");
        window->lstFoundFiles->AddItem("");
        window->lstFoundFiles->AddItem("c");
        window->lstFoundFiles->setListIndex(1);
        mark(window, {0, 2});
        window->Command1->click();
        QCOMPARE(window.entries(), (QStringList{"a", "", "c"}));
        QCOMPARE(window->List1->ListCount(), 0);
    }

    void aFullListCanBePruned() {
        TestWindow window;
        for (int i = 0; i < 32767; ++i)
            window->lstFoundFiles->AddItem(QString::number(i));
        window->lstFoundFiles->setListIndex(32766);
        mark(window, {0, 16383, 32766});
        window->Command1->click();
        QVERIFY(window.desktop.boxes.empty());
        QCOMPARE(window->lstFoundFiles->ListCount(), 32764);
        QCOMPARE(window->lstFoundFiles->List(0), QStringLiteral("1"));
        QCOMPARE(window->lstFoundFiles->List(16382), QStringLiteral("16384"));
        QCOMPARE(window->lstFoundFiles->List(32763), QStringLiteral("32765"));
        QCOMPARE(window->List1->ListCount(), 0);
    }

    void savesTheListByteForByte() {
        TestWindow window;
        const QString list = window.programFolder() + "/lista.txt";
        QFile old(list);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();
        const QString odd = FileNames::decode("bytes-\xff.txt");
        for (const QString& entry :
             {QStringLiteral("/hem/Åsa/räkning.txt"), QStringLiteral("b"), odd})
            window->lstFoundFiles->AddItem(entry);
        window->lstFoundFiles->setSelected(1, true); // marks make no difference
        window->Command2->click();
        QCOMPARE(readBytes(list),
                 QByteArray("/hem/\xc3\x85sa/r\xc3\xa4kning.txt\r\nb\r\nbytes-\xff.txt\r\n"));
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].prompt, "Fil sparad:\r\n" + list.toLower());
        QCOMPARE(window.desktop.boxes[0].style, 0);
        QCOMPARE(window.desktop.boxes[0].title, QStringLiteral("Fil sparad"));
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        QCOMPARE(window.desktop.opened[0].file, list);
        QCOMPARE(window.desktop.opened[0].workingFolder, QStringLiteral("/"));

        // An empty list gives an empty file, and is still confirmed and opened.
        window->lstFoundFiles->Clear();
        window->Command2->click();
        QCOMPARE(QFileInfo(list).size(), 0);
        QCOMPARE(window.desktop.boxes.size(), size_t(2));
        QCOMPARE(window.desktop.opened.size(), size_t(2));
    }

    void theMessageShowsTheFolderInLowerCaseAndOpensItsOwnCase() {
        TestTree tree;
        const QString folder = tree.folder("Program ÅÄÖ Mapp");
        TestWindow window;
        App::setPathForTesting(folder);
        window->lstFoundFiles->AddItem("x");
        window->Command2->click();
        QCOMPARE(window.desktop.boxes[0].prompt,
                 "Fil sparad:\r\n" + tree.root().toLower() + "/program åäö mapp/lista.txt");
        QCOMPARE(window.desktop.opened[0].file, folder + "/lista.txt");
    }

    void aWriteThatFailsAfterOpeningIsReportedAndClosed() {
        TestWindow window;
        for (int i = 0; i < 2000; ++i)
            window->lstFoundFiles->AddItem(QStringLiteral("entry number %1").arg(i));
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = 1024; // the file system is "full" after a kilobyte
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        window->Command2->click();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].style, 48);
        QVERIFY(!window.desktop.boxes[0].prompt.startsWith("Fil sparad"));
        QVERIFY(window.desktop.opened.empty());
        QVERIFY(!FileChannel::IsOpen(1));
        // A later save and the settings file at exit still work.
        window->Command2->click();
        QCOMPARE(window.desktop.boxes.back().title, QStringLiteral("Fil sparad"));
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        window->lblmapp->setCaption("/tmp");
        window->Form_Unload();
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"), QByteArray("/tmp\r\n"));
    }

    void aListFileThatIsAFolderIsReported() {
        TestWindow window;
        QDir(window.programFolder()).mkdir("lista.txt");
        window->Command2->click();
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].style, 48);
        QCOMPARE(window.desktop.boxes[0].title, QString());
        QVERIFY(window.desktop.opened.empty());
        QVERIFY(!FileChannel::IsOpen(1));
    }

    void opensTheCurrentEntryOnly() {
        TestTree tree;
        TestWindow window;
        tree.file("a.txt");
        tree.file("b.txt");
        tree.file("c.txt");
        const QStringList found = window.search(tree.root(), "*.txt");
        QVERIFY(window->cmdopenfil->Enabled());
        window->lstFoundFiles->setListIndex(1);
        mark(window, {0, 2});
        window->cmdopenfil->click();
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        QCOMPARE(window.desktop.opened[0].file, found[1]);
        QCOMPARE(window.desktop.opened[0].workingFolder, QStringLiteral("/"));
        QVERIFY(window.desktop.boxes.empty());

        // No current entry: nothing is opened and nothing shown.
        window->lstFoundFiles->Clear();
        window->cmdopenfil->click();
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        QVERIFY(window.desktop.boxes.empty());

        // An error on the way is reported with its number and description.
        window->lstFoundFiles->AddItem("/somewhere/x.txt");
        window->lstFoundFiles->setListIndex(0);
        window.desktop.openFails = RuntimeError(5, "Ogiltigt proceduranrop");
        window->cmdopenfil->click();
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].prompt,
                 QStringLiteral("Ett fel uppstod!\r\n5 - Ogiltigt proceduranrop"));
        QCOMPARE(window.desktop.boxes[0].style, 48);
    }

    void actionsWorkOnTheEntriesSoFarDuringASearch() {
        TestTree tree;
        tree.file("S/s.txt");
        tree.file("S/A/a.txt");
        tree.file("S/B/b1.txt");
        tree.file("S/B/b2.txt");
        TestWindow window;
        QByteArray savedDuringSearch;
        QString openedDuringSearch;
        YieldHook act([&](int yield) {
            if (yield == 3) { // entering A: the entries of B are listed
                window->lstFoundFiles->setListIndex(0);
                window->lstFoundFiles->setSelected(0, true);
                window->cmdopenfil->click();
                window->Command1->click();
                window->Command2->click();
                savedDuringSearch = readBytes(window.programFolder() + "/lista.txt");
            }
        });
        const QStringList found = window.search(tree.path("S"), "*.txt");
        QCOMPARE(found, (QStringList{tree.path("S/B/b2.txt"), tree.path("S/A/a.txt"),
                                     tree.path("S/s.txt")}));
        QCOMPARE(window.desktop.opened.size(), size_t(2));
        QCOMPARE(window.desktop.opened[0].file, tree.path("S/B/b1.txt"));
        QCOMPARE(savedDuringSearch, FileNames::encode(tree.path("S/B/b2.txt")) + "\r\n");
        QCOMPARE(window->lblCount->Caption(), QStringLiteral(" 4"));
    }
};

TROVAN_TEST_MAIN(ResultsTest)
#include "test_results.moc"
