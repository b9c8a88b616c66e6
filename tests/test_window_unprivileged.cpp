// The window used by someone who may not write the program's folder nor read every folder
// searched. Root may do both, so this suite runs without root's privileges
// (tests/run-unprivileged.sh runs it as nobody).

#include "app/ApplicationSetup.h"
#include "core/text/FileNames.h"
#include "support/ProgramThreads.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace UserInput;

namespace {

// Counts every message box that comes up, answered or not.
struct MessageCounter : QObject {
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox*>(watched))
            ++shown;
        return false;
    }
};

// Gives a folder taken from its owner back, so that the temporary tree can be removed.
struct Unlock {
    QString folder;
    ~Unlock() { chmod(FileNames::encode(folder).constData(), 0755); }
};

} // namespace

class WindowUnprivilegedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (geteuid() == 0)
            QFAIL("run without root's privileges: tests/run-unprivileged.sh");
    }

    void aFolderThatMayNotBeWrittenOrReadIsReportedOrLeftOut() {
        // /usr belongs to root: nobody may write there.
        const QString filesFolder = QStringLiteral("/usr");
        QVERIFY(access("/usr", W_OK) != 0);
        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/ok/b.txt");
        tree.file("S/ok/c.txt");
        tree.file("S/stängd/d.txt");
        tree.file("S/stängd/inre/e.txt");
        const Unlock unlock{tree.path("S/stängd")};
        QCOMPARE(chmod(FileNames::encode(tree.path("S/stängd")).constData(), 0000), 0);

        MessageCounter messages;
        qApp->installEventFilter(&messages);
        RecordingOpener opener;
        MainWindow window;
        window.setFilesFolder(filesFolder);
        window.setOpener(&opener);
        window.load(tree.path("S"));
        window.show();
        QVERIFY(waitFor([&] {
            return window.findChild<FolderView*>("folderView")->shownFolder() == tree.path("S");
        }));

        // The unreadable folder is left out without a word; the rest is listed and counted.
        click(&window, "includeSubfolders");
        click(&window, "searchButton");
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Results; }));
        auto* resultList = window.findChild<QAbstractItemView*>("resultList");
        QStringList entries;
        for (int row = 0; row < resultList->model()->rowCount(); ++row)
            entries.append(resultList->model()->index(row, 0).data().toString());
        entries.sort();
        QCOMPARE(entries, (QStringList{tree.path("S/a.txt"), tree.path("S/ok/b.txt"),
                                       tree.path("S/ok/c.txt")}));
        QCOMPARE(window.findChild<QLabel*>("countLabel")->text(), QStringLiteral(" 3"));
        QCOMPARE(messages.shown, 0);

        // The list cannot be saved there: the reason, with an exclamation, and nothing opened.
        Message refused;
        answerNextMessage(&refused);
        click(&window, "saveListButton");
        QVERIFY(waitFor([&] { return !refused.title.isEmpty(); }));
        QCOMPARE(refused.title, QStringLiteral("Trovan"));
        QCOMPARE(refused.icon, int(QMessageBox::Warning));
        QCOMPARE(refused.text, QStringLiteral("Åtkomst nekad: /usr/lista.txt"));
        QCOMPARE(refused.buttons, QStringList{"OK"});
        QVERIFY(ProgramThreads::answersDelivered());
        QVERIFY(opener.opened.isEmpty());
        QVERIFY(!QFileInfo::exists("/usr/lista.txt"));

        // Leaving: the folder cannot be remembered either, and the program still ends quietly.
        messages.shown = 0;
        Message asked;
        QVERIFY(programEnds([&] {
            answerNextMessage(&asked, Qt::Key_Return);
            click(&window, "exitButton");
        }));
        QCOMPARE(asked.title, QStringLiteral("Avsluta?"));
        QCOMPARE(messages.shown, 1);
        QVERIFY(!QFileInfo::exists("/usr/setup.ini"));
        QVERIFY(opener.opened.isEmpty());
        qApp->removeEventFilter(&messages);
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowUnprivilegedTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_unprivileged.moc"
