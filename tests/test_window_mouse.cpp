// The window used with the mouse alone: every control of both panels and of the about window
// takes a click at the spot where it is drawn, and does what a person expects of it.

#include "app/ApplicationSetup.h"
#include "core/folders/FolderRows.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileOpener.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>

using namespace UserInput;

namespace {

// Whether a click at `spot` reaches `control` and not something drawn over it.
bool takesClickAt(QWidget* window, QWidget* control, QPoint spot) {
    QWidget* hit = window->childAt(spot);
    return hit == control || (hit && control->isAncestorOf(hit));
}

QList<int> stepsOver(int first, int last) {
    constexpr int Step = 3; // pixels: narrower than any border or label overlap that matters
    QList<int> steps;
    for (int at = first; at < last; at += Step)
        steps.append(at);
    steps.append(last);
    return steps;
}

// Whether a click anywhere on the named control's drawn place (every few pixels over its whole
// rectangle, as far as its panel shows it) reaches it: a label lying over a border by a pixel
// takes that click as surely as one over the middle. Says what lies on top where one does not.
QString whatLiesOver(QWidget* window, const QString& name) {
    auto* control = window->findChild<QWidget*>(name);
    QRect drawn(control->mapTo(window, QPoint(0, 0)), control->size());
    for (QWidget* parent = control->parentWidget(); parent; parent = parent->parentWidget())
        drawn &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
    if (drawn.isEmpty())
        return name + QStringLiteral(" is not drawn at all");
    for (int y : stepsOver(drawn.top(), drawn.bottom()))
        for (int x : stepsOver(drawn.left(), drawn.right()))
            if (!takesClickAt(window, control, {x, y})) {
                QWidget* hit = window->childAt(x, y);
                return QStringLiteral("%1 at %2,%3 lies under %4 \"%5\"")
                    .arg(name)
                    .arg(x)
                    .arg(y)
                    .arg(hit ? QString::fromLatin1(hit->metaObject()->className())
                             : QStringLiteral("nothing"))
                    .arg(hit ? hit->objectName() : QString());
            }
    return {};
}

// The middle of a check box's square, and the middle of its caption's text.
std::pair<QPoint, QPoint> boxAndCaptionSpots(QWidget* window, QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect square = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const QRect caption = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const int textWidth = box->fontMetrics().horizontalAdvance(box->text());
    const QPoint text(caption.left() + std::min(textWidth, caption.width()) / 2,
                      caption.center().y());
    return {box->mapTo(window, square.center()), box->mapTo(window, text)};
}

QPoint spotOfRow(QWidget* window, QAbstractItemView* list, int row) {
    const QRect place = list->visualRect(list->model()->index(row, 0));
    return list->viewport()->mapTo(window, place.center());
}

// Two files that the pattern "*.qm" finds, one it does not, a subfolder; the window shown on
// them, its files kept in a folder of their own.
struct Session {
    TestTree tree;
    TestTree files;
    TestWindow w{filled(tree).root(), files.root()};

    static const TestTree& filled(const TestTree& tree) {
        tree.file("a.qm");
        tree.file("b.qm");
        tree.file("c.txt");
        tree.folder("sub");
        return tree;
    }
    bool shown() {
        return waitFor([&] { return w.folderView()->shownFolder() == tree.root(); });
    }
    FolderRows* rows() { return static_cast<FolderRows*>(w.folderView()->model()); }
};

} // namespace

class WindowMouseTest : public QObject {
    Q_OBJECT
private slots:
    // The option panel: nothing lies over any part of a control, and each check box changes
    // on its square and on its caption's text.
    void theOptionPanelTakesEveryClick() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shown());
        for (const char* name :
             {"keepExtensions", "driveBox", "patternBox", "listFolders", "fullPaths",
              "includeSubfolders", "folderView", "searchButton", "exitButton", "aboutButton"}) {
            const QString over = whatLiesOver(&window, name);
            QVERIFY2(over.isEmpty(), qPrintable(over));
        }

        for (const char* name :
             {"keepExtensions", "listFolders", "fullPaths", "includeSubfolders"}) {
            auto* box = window.findChild<QCheckBox*>(name);
            const bool before = box->isChecked();
            const auto [square, caption] = boxAndCaptionSpots(&window, box);
            QVERIFY2(takesClickAt(&window, box, square), name);
            QVERIFY2(takesClickAt(&window, box, caption), name);
            clickAt(&window, square);
            QVERIFY2(box->isChecked() != before, name);
            clickAt(&window, caption);
            QVERIFY2(box->isChecked() == before, name);
        }
    }

    // A click into the pattern box selects its text: what is typed replaces it. The folder
    // list takes the focus by a click on the shown folder's own row: a click on another row
    // would move the highlight, which leaving the list then opens.
    void aClickIntoThePatternBoxSelectsItsText() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shown());
        auto* patternBox = window.findChild<QLineEdit*>("patternBox");
        clickAt(&window, spotOfRow(&window, s.w.folderView(), s.rows()->currentRow()));
        QVERIFY(s.w.folderView()->hasFocus());
        click(&window, "patternBox");
        QVERIFY(patternBox->hasFocus());
        type(&window, "*.qm");
        QCOMPARE(patternBox->text(), QStringLiteral("*.qm"));
    }

    // The drive box drops its list on a click.
    void theDriveBoxDropsItsList() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shown());
        auto* driveBox = window.findChild<QComboBox*>("driveBox");
        QVERIFY(waitFor([&] { return driveBox->count() > 0; })); // the mount table is read
        click(&window, "driveBox");
        QVERIFY(waitFor([&] { return driveBox->view()->isVisible(); }));
        QTest::keyClick(driveBox->view(), Qt::Key_Escape);
        QVERIFY(waitFor([&] { return !driveBox->view()->isVisible(); }));
    }

    // A double click on a subfolder opens it, one on its parent goes back.
    void aDoubleClickOpensAFolder() {
        Session s;
        MainWindow& window = s.w.window;
        FolderView* folderView = s.w.folderView();
        QVERIFY(s.shown());
        const int subRow = s.rows()->rowOf(s.tree.path("sub"));
        QVERIFY2(subRow > s.rows()->currentRow(), qPrintable(folderView->shownFolder()));
        doubleClickAt(&window, spotOfRow(&window, folderView, subRow));
        QVERIFY(waitFor([&] { return folderView->shownFolder() == s.tree.path("sub"); }));
        doubleClickAt(&window, spotOfRow(&window, folderView, s.rows()->currentRow() - 1));
        QVERIFY(waitFor([&] { return folderView->shownFolder() == s.tree.root(); }));
    }

    // "Avsluta" asks first; "Nej" leaves the window as it was. The about window opens on
    // "Om..." and closes on a click at its button.
    void exitAndAboutAnswerAClick() {
        Session s;
        MainWindow& window = s.w.window;
        QVERIFY(s.shown());
        Message asked;
        answerNextMessage(&asked, Qt::Key_Escape);
        click(&window, "exitButton");
        QCOMPARE(asked.title, QStringLiteral("Avsluta?"));
        QVERIFY(window.isVisible());
        QCOMPARE(window.state(), MainWindow::State::Options);

        bool okTookTheClick = false;
        QString aboutTitle;
        actOnNextModal([&](QWidget* about) {
            aboutTitle = about->windowTitle();
            auto* ok = about->findChild<QPushButton*>();
            const QPoint spot = ok->mapTo(about, ok->rect().center());
            okTookTheClick = takesClickAt(about, ok, spot);
            clickAt(about, spot);
        });
        click(&window, "aboutButton");
        QCOMPARE(aboutTitle, QStringLiteral("Om..."));
        QVERIFY(okTookTheClick);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // "Sök" searches the folder shown with the pattern typed. The result panel: nothing lies
    // over any part of a control, and each button does its work; "Ny sökning" keeps the
    // pattern.
    void theResultPanelTakesEveryClick() {
        Session s;
        MainWindow& window = s.w.window;
        const RecordingOpener& opener = s.w.opener;
        QVERIFY(s.shown());
        s.w.typePattern("*.qm");
        click(&window, "searchButton");
        QVERIFY(waitFor([&] { return window.state() == MainWindow::State::Results; }));
        auto* resultList = window.findChild<QAbstractItemView*>("resultList");
        QCOMPARE(resultList->model()->rowCount(), 2);

        for (const char* name : {"resultList", "removeMarkedButton", "saveListButton",
                                 "openFileButton", "searchButton", "exitButton", "aboutButton"}) {
            const QString over = whatLiesOver(&window, name);
            QVERIFY2(over.isEmpty(), qPrintable(over));
        }

        clickAt(&window, spotOfRow(&window, resultList, 1));
        const QString second = resultList->model()->index(1, 0).data().toString();
        click(&window, "openFileButton");
        QVERIFY(waitFor([&] { return opener.opened == QStringList{second}; }));

        Message saved;
        answerNextMessage(&saved);
        click(&window, "saveListButton");
        QVERIFY(waitFor([&] { return opener.opened.size() == 2; }));
        QCOMPARE(saved.title, QStringLiteral("Fil sparad"));
        QCOMPARE(opener.opened.last(), s.files.path("lista.txt"));

        click(&window, "removeMarkedButton");
        QCOMPARE(resultList->model()->rowCount(), 1);
        QVERIFY(resultList->model()->index(0, 0).data().toString() != second);

        click(&window, "searchButton"); // "Ny sökning"
        QCOMPARE(window.state(), MainWindow::State::Options);
        QCOMPARE(resultList->model()->rowCount(), 0);
        QCOMPARE(window.findChild<QLineEdit*>("patternBox")->text(), QStringLiteral("*.qm"));
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowMouseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_mouse.moc"
