// The result list at its limit, 32767 entries, through every result action in turn: found,
// pruned, saved, opened, emptied, saved empty, and then a new search.

#include "platform/FileChannel.h"
#include "platform/FileNames.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"

#include <QFileInfo>

namespace {
constexpr int Full = 32767;

QByteArray linesOf(const QStringList& entries) {
    QByteArray lines;
    for (const QString& entry : entries)
        lines += FileNames::encode(entry) + "\r\n";
    return lines;
}
} // namespace

class FullListTest : public QObject {
    Q_OBJECT
private slots:
    void aFullListIsPrunedSavedOpenedAndLeftForANewSearch() {
        TestTree tree;
        for (int i = 0; i < Full + 100; ++i)
            tree.file(QStringLiteral("S/e%1.dat").arg(i, 5, 10, QLatin1Char('0')));
        tree.file("T/t.dat");
        TestWindow window;
        Trovan& w = *window;
        QStringList found = window.search(tree.path("S"), "*.dat");
        QCOMPARE(found.size(), Full);
        QCOMPARE(found.last(), tree.path("S/e32766.dat"));
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(w.lblCount->Caption(), QStringLiteral(" 32767"));

        // Pruned: the first, the last and every 1000th entry are marked; the current entry
        // is one that stays.
        QList<int> marked{0, Full - 1};
        for (int i = 1000; i < Full - 1; i += 1000)
            marked.append(i);
        for (int i : marked)
            w.lstFoundFiles->setSelected(i, true);
        w.lstFoundFiles->setListIndex(5);
        w.Command1->click();
        QCOMPARE(window.desktop.boxes.size(), size_t(1)); // no message
        QStringList expected = found;
        std::sort(marked.begin(), marked.end(), std::greater<int>());
        for (int i : marked)
            expected.removeAt(i);
        QCOMPARE(window.entries(), expected);
        QCOMPARE(w.List1->ListCount(), 0);
        QCOMPARE(w.lblCount->Caption(), QStringLiteral(" 32767")); // what the search found

        // Saved: every entry left, in order.
        w.Command2->click();
        const QString list = window.programFolder() + "/lista.txt";
        QCOMPARE(readBytes(list), linesOf(expected));
        QCOMPARE(window.desktop.boxes.back().prompt,
                 "Fil sparad:\r\n" + (window.programFolder() + "/lista.txt").toLower());
        QCOMPARE(window.desktop.opened.size(), size_t(1));
        QCOMPARE(window.desktop.opened[0].file, list);

        // Opened: the current entry, a file that is there.
        w.lstFoundFiles->setListIndex(Full - marked.size() - 1);
        w.cmdopenfil->click();
        QCOMPARE(window.desktop.opened.size(), size_t(2));
        QCOMPARE(window.desktop.opened[1].file, expected.last());
        QVERIFY(QFileInfo::exists(window.desktop.opened[1].file));

        // Every entry marked: the list empties; saved empty, the file has 0 bytes.
        w.lstFoundFiles->selectAll();
        w.Command1->click();
        QCOMPARE(w.lstFoundFiles->ListCount(), 0);
        QCOMPARE(w.List1->ListCount(), 0);
        w.Command2->click();
        QCOMPARE(readBytes(list), QByteArray());
        QVERIFY(QFileInfo::exists(list));
        QVERIFY(!FileChannel::IsOpen(1));

        // A new search: an empty list, the counter reset, then a search that finds again.
        w.cmdSearch->click();
        QVERIFY(w.Picture1->Visible());
        QCOMPARE(w.lstFoundFiles->ListCount(), 0);
        QCOMPARE(w.lblCount->Caption(), QStringLiteral("0"));
        QCOMPARE(w.dirList->Path(), tree.path("S"));
        const size_t boxes = window.desktop.boxes.size();
        QCOMPARE(window.search(tree.path("T"), "*.dat"), QStringList{tree.path("T/t.dat")});
        QCOMPARE(w.lblCount->Caption(), QStringLiteral(" 1"));
        QCOMPARE(window.desktop.boxes.size(), boxes);
    }
};

TROVAN_TEST_MAIN(FullListTest)
#include "test_full_list.moc"
