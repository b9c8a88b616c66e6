// The main window as designed and as it starts: controls, captions, geometry, keyboard rules,
// the folder panel's chains of events, and the saved folder in setup.ini.

#include "app/TrovanLayout.h"
#include "platform/App.h"
#include "platform/FileNames.h"
#include "platform/Volumes.h"
#include "support/TestMain.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"

#include <QDir>
#include <QFile>

namespace {
QRect pixels(const TrovanLayout::Place& place) {
    return QRect(place.left / 15, place.top / 15, place.width / 15, place.height / 15);
}
void writeSettings(const TestWindow& window, const QByteArray& bytes) {
    QFile file(window.programFolder() + "/setup.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
// A window loaded with `settings` as its setup.ini.
std::unique_ptr<TestWindow> loadWith(const QByteArray& settings) {
    auto first = std::make_unique<TestWindow>();
    writeSettings(*first, settings);
    App::setPathForTesting(first->programFolder());
    (*first)->Form_Load();
    return first;
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsInTheOptionState() {
        TestWindow window;
        Trovan& w = *window;
        QCOMPARE(w.Caption(), QStringLiteral("Trovan"));
        QCOMPARE(w.size(), QSize(422, 348));
        QVERIFY(w.Picture1->Visible());
        QVERIFY(!w.Picture2->Visible());
        QCOMPARE(w.cmdSearch->Caption(), QStringLiteral("&Sök"));
        QCOMPARE(w.cmdExit->Caption(), QStringLiteral("A&vsluta"));
        QVERIFY(!w.cmdExit->Cancel());
        QVERIFY(w.cmdSearch->isDefault());
        QCOMPARE(w.txtSearchSpec->Text(), QStringLiteral("*.*"));
        QCOMPARE(w.chkextension->Value(), 1);
        QCOMPARE(w.Check1->Value(), 1);
        QCOMPARE(w.chksubmapp->Value(), 0);
        QCOMPARE(w.chkmapp->Value(), 0);
        QCOMPARE(w.lblCount->Caption(), QStringLiteral("0"));
        QCOMPARE(w.lblfound->Caption(), QStringLiteral("Hittade:"));
        QCOMPARE(w.Label1->Caption(), QStringLiteral("Välj enhet och mapp att söka igenom:"));
        QCOMPARE(w.lblmapp->Caption(), QString());
        QCOMPARE(w.lstFoundFiles->ListCount(), 0);
        QCOMPARE(w.filList->Pattern(),
                 QStringLiteral("*.aaa")); // until the box or a search sets it
        for (QWidget* hidden : std::initializer_list<QWidget*>{w.List1, w.filList, w.lblCriteria,
                                                               w.lblmapp, w.lblmappnamn})
            QVERIFY(hidden->isHidden());
        QVERIFY(w.Label1->font().bold());
        QVERIFY(!w.chkmapp->font().bold());
        QVERIFY(!w.cmdSearch->font().bold());
        QCOMPARE(w.lstFoundFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w.List1->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(w.cmdopenfil->Enabled());
    }

    void loadPlacesBothPanelsAcrossTheWindow() {
        TestWindow window;
        Trovan& w = *window;
        for (Panel* panel : {w.Picture1, w.Picture2}) {
            QCOMPARE(panel->pos(), QPoint(0, 0));
            QCOMPARE(panel->Width(), w.ScaleWidth());
            QCOMPARE(panel->BackColor(), w.BackColor());
        }
        QCOMPARE(w.ScaleWidth(), 6330);
        QCOMPARE(w.lblCount->BackColor(), w.BackColor());
        QCOMPARE(w.lblfound->BackColor(), w.BackColor());
        QCOMPARE(w.lblCriteria->BackColor(), w.BackColor());
        QCOMPARE(w.cmdSearch->geometry(), pixels(TrovanLayout::cmdSearch));
        QCOMPARE(w.Command3->geometry(), pixels(TrovanLayout::Command3));
        QCOMPARE(w.dirList->geometry(), pixels(TrovanLayout::dirList));
        QCOMPARE(w.lstFoundFiles->geometry(), pixels(TrovanLayout::lstFoundFiles));
        QCOMPARE(w.Label2->geometry(), pixels(TrovanLayout::Label2));
    }

    void noCaptionIsClipped() {
        TestWindow window;
        Trovan& w = *window;
        for (CheckBox* box : {w.chkextension, w.chksubmapp, w.chkmapp, w.Check1}) {
            QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(box->Caption()));
            QVERIFY2(box->geometry().right() < box->parentWidget()->width(),
                     qPrintable(box->Caption()));
        }
        for (CommandButton* button :
             {w.cmdSearch, w.cmdExit, w.Command3, w.Command1, w.Command2, w.cmdopenfil}) {
            const int text = button->fontMetrics().horizontalAdvance(button->Caption().remove('&'));
            QVERIFY2(text + 8 <= button->width(), qPrintable(button->Caption()));
        }
        const int newSearch = w.cmdSearch->fontMetrics().horizontalAdvance("Ny sökning");
        QVERIFY(newSearch + 8 <= w.cmdSearch->width());
        for (Label* label : {w.Label1, w.lblfound, w.lblCount})
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->Caption()));
    }

    void keyboardFollowsTheDesign() {
        TestTree tree;
        tree.file("a.txt");
        TestWindow window;
        Trovan& w = *window;
        w.dirList->setPath(tree.root());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.cmdSearch);

        // Tab order in the option state: the folder list before the drive list.
        QList<QWidget*> order;
        for (int i = 0; i < 10; ++i) {
            order.append(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, (QList<QWidget*>{w.cmdSearch, w.cmdExit, w.dirList, w.drvList, w.Command3,
                                         w.Check1, w.txtSearchSpec, w.chkmapp, w.chksubmapp,
                                         w.chkextension}));

        // Esc does nothing at start.
        QTest::keyClick(w.txtSearchSpec, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QVERIFY(window.desktop.boxes.empty());

        // Access keys come from the captions (a real X server presses them in the desktop
        // test: synthetic key events do not reach Qt's shortcut map).
        QCOMPARE(w.cmdExit->shortcut(), QKeySequence("Alt+V"));
        QCOMPARE(w.cmdSearch->shortcut(), QKeySequence("Alt+S"));

        // Asking to leave, answered No, changes nothing.
        w.cmdExit->click();
        QCOMPARE(window.desktop.boxes.size(), size_t(1));
        QCOMPARE(window.desktop.boxes[0].prompt, QStringLiteral("Avsluta programmet?"));
        QCOMPARE(window.desktop.boxes[0].style, 36);
        QCOMPARE(window.desktop.boxes[0].title, QStringLiteral("Avsluta?"));
        QCOMPARE(window.desktop.ends, 0);
        QVERIFY(w.Picture1->Visible());

        // Enter in the pattern box presses the search button.
        w.txtSearchSpec->setFocus();
        QTest::keyClick(w.txtSearchSpec, Qt::Key_Return);
        QCOMPARE(w.cmdSearch->Caption(), QStringLiteral("&Ny sökning"));
        QCOMPARE(w.cmdSearch->shortcut(), QKeySequence("Alt+N"));
        QCOMPARE(w.lstFoundFiles->ListCount(), 1);
        // Enter on the focused search button now means a new search.
        QCOMPARE(QApplication::focusWidget(), w.cmdSearch);
        QTest::keyClick(w.cmdSearch, Qt::Key_Return);
        QCOMPARE(w.cmdSearch->Caption(), QStringLiteral("&Sök"));
    }

    void patternBoxFeedsTheFileListAndSelectsAllOnEntry() {
        TestWindow window;
        Trovan& w = *window;
        w.txtSearchSpec->setTextValue("*.h");
        QCOMPARE(w.filList->Pattern(), QStringLiteral("*.h"));
        w.txtSearchSpec->setTextValue("");
        QCOMPARE(w.filList->Pattern(), QString());
        w.txtSearchSpec->setTextValue("*.txt");
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.txtSearchSpec->setFocus(Qt::TabFocusReason);
        QCOMPARE(w.txtSearchSpec->SelStart(), 0);
        QCOMPARE(w.txtSearchSpec->SelLength(), 5);
        QTest::keyClicks(w.txtSearchSpec, "*.doc");
        QCOMPARE(w.txtSearchSpec->Text(), QStringLiteral("*.doc"));
        w.chkmapp->click(); // no immediate effect
        QVERIFY(w.Picture1->Visible());
        QCOMPARE(w.filList->Pattern(), QStringLiteral("*.doc"));
    }

    void folderAndDriveChangesMoveTheOtherLists() {
        TestTree tree;
        const QString mount = tree.folder("vol");
        tree.folder("vol/sub");
        tree.file("vol/sub/x.txt");
        Volumes::shared().addVolume(mount, "CHAIN");
        TestWindow window;
        Trovan& w = *window;
        w.drvList->Refresh();

        // A folder change moves the file list inside the assignment.
        w.txtSearchSpec->setTextValue("*.txt");
        w.dirList->setPath(tree.path("vol/sub"));
        QCOMPARE(w.filList->Path(), tree.path("vol/sub"));
        QCOMPARE(w.filList->ListCount(), 1);

        // A drive change moves the folder list to the volume's current folder, and the file list.
        w.dirList->setPath(tree.root());
        w.drvList->setDrive(mount + " [CHAIN]");
        QCOMPARE(w.dirList->Path(), tree.path("vol/sub"));
        QCOMPARE(w.filList->Path(), tree.path("vol/sub"));

        // Choosing a volume that is not ready puts the drive list back, without a message.
        Volumes::shared().addVolume(tree.path("gone"), "CARD");
        w.drvList->Refresh();
        emit w.drvList->activated(w.drvList->findText(tree.path("gone") + " [CARD]"));
        QCOMPARE(w.drvList->Drive(), mount + " [CHAIN]");
        QCOMPARE(w.dirList->Path(), tree.path("vol/sub"));
        QVERIFY(window.desktop.boxes.empty());
    }

    void losingFocusOpensTheHighlightedFolder() {
        TestTree tree;
        tree.folder("first");
        tree.folder("second");
        TestWindow window;
        Trovan& w = *window;
        w.dirList->setPath(tree.root());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.dirList->setFocus();
        QTest::keyClick(w.dirList, Qt::Key_Down); // highlights "first"
        QCOMPARE(w.dirList->ListIndex(), 0);
        QCOMPARE(w.dirList->Path(), tree.root());
        QTest::keyClick(w.dirList, Qt::Key_Tab);
        QCOMPARE(w.dirList->Path(), tree.path("first"));
        QCOMPARE(w.filList->Path(), tree.path("first"));
    }

    void savedFolderRoundTrip() {
        TestTree tree;
        const QString comma = tree.folder("Data, 2024/Sub");
        {
            TestWindow window;
            window->lblmapp->setCaption(comma);
            window->Form_Unload();
            QCOMPARE(window.desktop.ends, 1);
            QCOMPARE(readBytes(window.programFolder() + "/setup.ini"),
                     FileNames::encode(comma) + "\r\n");
            // The next start comes back to the whole path, comma and all.
            TestWindow next;
            QFile::copy(window.programFolder() + "/setup.ini", next.programFolder() + "/setup.ini");
            App::setPathForTesting(next.programFolder());
            next->Form_Load();
            QCOMPARE(next->dirList->Path(), comma);
            QCOMPARE(next->filList->Path(), comma);
            QVERIFY(next.desktop.boxes.empty());
        }
        {
            // Leaving before any search writes an empty line; it restores nothing.
            TestWindow window;
            window->Form_Unload();
            QCOMPARE(readBytes(window.programFolder() + "/setup.ini"), QByteArray("\r\n"));
            const QString before = window->dirList->Path();
            window->Form_Load();
            QCOMPARE(window->dirList->Path(), before);
            QVERIFY(window.desktop.boxes.empty());
        }
        {
            // No file at all: the window opens without a message on the current folder.
            TestWindow window;
            QVERIFY(!QFile::exists(window.programFolder() + "/setup.ini"));
            QCOMPARE(window->dirList->Path(), QDir::currentPath());
            QVERIFY(window.desktop.boxes.empty());
        }
    }

    void deletedFolderLeavesTheVolumesCurrentFolder() {
        TestTree tree;
        const QString mount = tree.folder("disk");
        const QString current = tree.folder("disk/current");
        Volumes::shared().addVolume(mount, "DISK");
        TestWindow window;
        window->drvList->Refresh();
        window->dirList->setPath(current); // the volume remembers it
        window->dirList->setPath("/");
        window->drvList->setDrive("/");
        auto restored = loadWith(FileNames::encode(tree.path("disk/deleted")) + "\r\n");
        QCOMPARE((*restored)->drvList->Drive(), mount + " [DISK]");
        QCOMPARE((*restored)->dirList->Path(), current);
        QVERIFY(restored->desktop.boxes.empty());

        auto fileNamed = loadWith(FileNames::encode(tree.file("disk/plain.txt")) + "\r\n");
        QCOMPARE((*fileNamed)->dirList->Path(), current);
    }

    void rootProgramFolderDoublesTheSeparator() {
        if (geteuid() != 0)
            QSKIP("writing into the file-system root needs root");
        if (QFile::exists("/setup.ini"))
            QSKIP("/setup.ini exists already");
        TestWindow window;
        App::setPathForTesting("/");
        window->lblmapp->setCaption("/tmp");
        window->avsluta();
        const QByteArray written = readBytes("//setup.ini");
        QFile::remove("/setup.ini");
        QCOMPARE(written, QByteArray("/tmp\r\n"));
    }

    void closingTheWindowSavesAndEnds() {
        TestWindow window;
        window->lblmapp->setCaption("/usr");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        window->close();
        QCOMPARE(window.desktop.ends, 1);
        QCOMPARE(readBytes(window.programFolder() + "/setup.ini"), QByteArray("/usr\r\n"));
    }
};

TROVAN_TEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
