// What a person does with the found entries beside the three buttons: the context menu (a right
// click, the Menu key, Shift+F10), Ctrl+C and dragging out, for each form an entry takes; a
// name that is not UTF-8 among them. A right click marks the entry under it unless it is marked
// already; nothing else of it changes what is marked. An entry that names no file or folder is
// never handed to the opener or the file manager; more than ten go only after a question; a
// file manager that never answers is passed over for the opener.

#include "app/ApplicationSetup.h"
#include "core/run/ResultEntries.h"
#include "core/text/FileNames.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FileManager.h"
#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QDrag>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <optional>
#include <unistd.h>

using namespace UserInput;

namespace {

using Window = TestWindow;

const QString Open = QStringLiteral("&Öppna");
const QString Show = QStringLiteral("&Visa i mapp");
const QString Copy = QStringLiteral("&Kopiera sökväg");

// A file URI written out byte by byte: every byte but the unreserved ones and "/" as %XX.
QByteArray uriOf(const QString& path) {
    QByteArray uri = "file://";
    for (const char c : FileNames::encode(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || QByteArray("-._~/").contains(c))
            uri += c;
        else
            uri += '%' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
    }
    return uri;
}

QByteArray uriListOf(const QStringList& paths) {
    QByteArray list;
    for (const QString& path : paths)
        list += uriOf(path) + "\r\n";
    return list;
}

// What a copy or a drag carried.
struct Carried {
    bool any = false;
    QString text;
    QByteArray uris;
    bool hasUris = false;
    QStringList formats;
};

Carried carried(const QMimeData* data) {
    Carried seen;
    if (!data)
        return seen;
    seen.any = true;
    seen.text = data->text();
    seen.hasUris = data->hasFormat("text/uri-list");
    seen.uris = data->data("text/uri-list");
    seen.formats = data->formats();
    return seen;
}

Carried clipboard() {
    return carried(QApplication::clipboard()->mimeData());
}

QList<int> marked(Window& w) {
    QList<int> rows;
    for (const QModelIndex& index : w.resultList()->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Presses on the row and moves the pointer away with the button held, as a person starts a
// drag, and returns what the drag the list started carries. The offscreen platform ends every
// drag at once, dropped nowhere; what it carried is read as the event loop deletes it.
Carried dragFrom(Window& w, int row) {
    struct DragWatch : QObject {
        Carried seen;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::ChildAdded)
                static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
            else if (auto* drag = qobject_cast<QDrag*>(watched);
                     drag && event->type() == QEvent::DeferredDelete)
                seen = carried(drag->mimeData());
            return false;
        }
    } watch;
    QWindow* screen = w.window.windowHandle();
    const QPoint start = w.spotOfRow(row);
    const QPoint away = start + QPoint(0, 4 * QApplication::startDragDistance());
    w.resultList()->installEventFilter(&watch);
    QTest::mousePress(screen, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(screen, start + QPoint(0, 1));
    QTest::mouseMove(screen, away);
    waitFor([&] { return watch.seen.any; }, 2000);
    QTest::mouseRelease(screen, Qt::LeftButton, Qt::NoModifier, away);
    w.resultList()->removeEventFilter(&watch);
    return watch.seen;
}

// The next key goes to the list again, once its menu is gone and the window has the keyboard: a
// window manager gives it back at once, which the offscreen platform does not always do; here
// the test does it, as one would.
void backToTheList(Window& w) {
    waitFor([] { return !QApplication::activePopupWidget(); });
    if (!w.window.isActiveWindow())
        w.window.activateWindow();
    if (!waitFor([&] {
            return w.window.isActiveWindow() && QApplication::focusWidget() == w.resultList();
        }))
        QTest::qFail("the focus did not come back to the list after its menu", __FILE__, __LINE__);
}

// Opens the context menu with a right click at `spot`, or with a key when `spot` is null, and
// chooses `item` in it.
Menu chooseFromMenuAt(Window& w, const QString& item, std::optional<QPoint> spot,
                      int key = Qt::Key_Menu) {
    Menu seen;
    chooseInNextMenu(item, &seen);
    if (spot)
        rightClickAt(&w.window, *spot);
    else
        UserInput::key(&w.window, key, key == Qt::Key_F10 ? Qt::ShiftModifier : Qt::NoModifier);
    waitFor([&] { return !seen.items.isEmpty(); });
    backToTheList(w);
    return seen;
}

// The same with a right click on the row, or with a key when `row` is -1.
Menu chooseFromMenu(Window& w, const QString& item, int row, int key = Qt::Key_Menu) {
    return chooseFromMenuAt(w, item, row >= 0 ? std::optional(w.spotOfRow(row)) : std::nullopt,
                            key);
}

// Counts the menus and message boxes that come up while it lives and closes each at once: the
// proof that what was done brought up none. A right click's menu comes up, and a question
// before a menu's choice is acted on, before the click or the key that led to it returns.
struct PopupWatch : QObject {
    int menus = 0;
    int boxes = 0;
    const bool watchesMenus;
    explicit PopupWatch(bool menusToo = true) : watchesMenus(menusToo) {
        qApp->installEventFilter(this);
    }
    ~PopupWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* menu = qobject_cast<QMenu*>(watched); menu && watchesMenus) {
            ++menus;
            QTimer::singleShot(0, menu, &QMenu::close);
        } else if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            ++boxes;
            QTimer::singleShot(0, box, &QMessageBox::reject);
        }
        return false;
    }
};

// The current entry of the list, -1 when none.
int current(Window& w) {
    return w.resultList()->currentIndex().isValid() ? w.resultList()->currentIndex().row() : -1;
}

// A session bus of the test's own, where nothing is started on demand.
struct PrivateBus {
    QTemporaryDir folder;
    QProcess daemon;
    QString address;
    QString failure;
    PrivateBus() {
        const QString config = folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            failure = QStringLiteral("cannot write ") + config;
            return;
        }
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                   "busconfig.dtd\">\n<busconfig><type>session</type><listen>unix:path=" +
                   folder.filePath(QStringLiteral("bus")).toUtf8() +
                   "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                   "send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                   "</policy></busconfig>\n");
        file.close();
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                      QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        if (!daemon.waitForStarted(10000)) {
            failure = QStringLiteral("dbus-daemon did not start (scripts/install-deps.sh "
                                     "installs it): ") +
                      daemon.errorString();
            return;
        }
        while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) {
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        if (address.isEmpty())
            failure = QStringLiteral("dbus-daemon named no address: ") +
                      QString::fromUtf8(daemon.readAllStandardError());
    }
    ~PrivateBus() {
        for (const char* name : {"window", "manager"})
            QDBusConnection::disconnectFromBus(QLatin1String(name));
        daemon.terminate();
        daemon.waitForFinished(10000);
    }
    bool started() const { return failure.isEmpty(); }
};

// A file manager on the bus that takes ShowItems and never answers, as one that hangs.
class SilentFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> asked;
public slots:
    void ShowItems(const QStringList& uris, const QString&, const QDBusMessage& message) {
        message.setDelayedReply(true);
        asked.append(uris);
    }
};

} // namespace

class WindowEntryActionsTest : public QObject {
    Q_OBJECT
private slots:
    void theMarkedFilesAreOpenedShownCopiedAndDragged() {
        TestTree tree;
        // A name in Latin-1, which is no UTF-8, and one with a line break.
        const QString latin = FileNames::decode("r\xe4kning.txt");
        tree.file("S/" + latin);
        tree.file("S/rad\nbrytning.txt");
        for (int i = 0; i < 10; ++i)
            tree.file(QStringLiteral("S/f%1.txt").arg(i, 2, 10, QLatin1Char('0')));
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        QVERIFY(w.search());
        const QStringList found = w.window.control().entries().entries();
        QCOMPARE(found.size(), 12);
        const int latinRow = int(found.indexOf(tree.path("S/" + latin)));
        const int breakRow = int(found.indexOf(tree.path("S/rad\nbrytning.txt")));
        QVERIFY(latinRow >= 0 && breakRow >= 0);
        QList<int> plain; // the rows of the plain names
        for (int row = 0; row < found.size(); ++row)
            if (row != latinRow && row != breakRow)
                plain.append(row);
        const int other = plain[0];

        // Two marked; a right click on one of them opens the menu on both, keeps them marked and
        // makes the one under the pointer current.
        w.clickRow(latinRow);
        w.clickRow(breakRow, Qt::ControlModifier);
        const QList<int> two = marked(w);
        const QStringList twoPaths = {found[two[0]], found[two[1]]};
        const Menu menu = chooseFromMenu(w, Show, latinRow);
        QCOMPARE(menu.items, (QStringList{Open, Show, Copy}));
        QCOMPARE(menu.enabled, menu.items);
        QCOMPARE(w.fileManager.shown, QList<QStringList>{twoPaths});
        QCOMPARE(marked(w), two);
        QCOMPARE(current(w), latinRow);

        // Below the last entry: the marking stays, and the menu works on it.
        const QRect below = w.resultList()->viewport()->rect().adjusted(0, 0, 0, -3);
        const QPoint belowEntries = w.resultList()->viewport()->mapTo(
            &w.window, QPoint(below.center().x(), below.bottom()));
        QVERIFY(!w.resultList()
                     ->indexAt(w.resultList()->viewport()->mapFrom(&w.window, belowEntries))
                     .isValid());
        w.fileManager.shown.clear();
        chooseFromMenuAt(w, Show, belowEntries);
        QCOMPARE(w.fileManager.shown, QList<QStringList>{twoPaths});
        QCOMPARE(marked(w), two);

        // Ctrl+C: the two, one a line, as the list shows them, and as file URIs of their bytes.
        QApplication::clipboard()->clear();
        key(&w.window, Qt::Key_C, Qt::ControlModifier);
        const Carried copied = clipboard();
        QStringList shownTwo = {w.entries()[two[0]], w.entries()[two[1]]};
        shownTwo.replaceInStrings(QString(QChar(0xDCE4)), QString(QChar::ReplacementCharacter));
        QCOMPARE(copied.text, shownTwo.join('\n'));
        QVERIFY2(copied.text.contains(QStringLiteral("rad␊brytning")), qPrintable(copied.text));
        QCOMPARE(copied.uris, uriListOf(twoPaths));
        QVERIFY(copied.uris.contains("/r%E4kning.txt\r\n") &&
                copied.uris.contains("rad%0Abrytning"));

        // "Kopiera sökväg" from the Menu key copies the same; so does Shift+F10's menu.
        QApplication::clipboard()->clear();
        chooseFromMenu(w, Copy, -1, Qt::Key_Menu);
        QCOMPARE(clipboard().uris, copied.uris);
        QCOMPARE(clipboard().text, copied.text);
        QApplication::clipboard()->clear();
        chooseFromMenu(w, Copy, -1, Qt::Key_F10);
        QCOMPARE(clipboard().uris, copied.uris);

        // Dragged from a marked entry: the marked ones, as file URIs and as text.
        const Carried dragged = dragFrom(w, latinRow);
        QVERIFY(dragged.any);
        QCOMPARE(dragged.uris, copied.uris);
        QCOMPARE(dragged.text, copied.text);
        QCOMPARE(marked(w), two);

        // "Öppna" opens each marked file, as the button opens one.
        chooseFromMenu(w, Open, -1, Qt::Key_F10);
        QVERIFY(waitFor([&] { return w.opener.opened.size() == 2; }));
        QCOMPARE(w.opener.opened, twoPaths);
        QCOMPARE(marked(w), two);

        // A right click on an entry not marked marks it alone, makes it current, and the menu
        // works on it: "Kopiera sökväg" copies it and "Öppna" opens it, not what was marked.
        w.opener.opened.clear();
        chooseFromMenu(w, Copy, plain[7]);
        QCOMPARE(marked(w), QList<int>{plain[7]});
        QCOMPARE(current(w), plain[7]);
        QCOMPARE(clipboard().uris, uriListOf({found[plain[7]]}));
        QCOMPARE(clipboard().text, w.entries()[plain[7]]);
        w.clickRow(plain[2]);
        chooseFromMenu(w, Open, plain[7]);
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(w.opener.opened, QStringList{found[plain[7]]});
        QCOMPARE(marked(w), QList<int>{plain[7]});

        // A click and a double click mark; nothing is shown or copied. Nor opened: the next
        // "Öppna" is the first to hand an entry on.
        w.opener.opened.clear();
        w.fileManager.shown.clear();
        QApplication::clipboard()->clear();
        doubleClickAt(&w.window, w.spotOfRow(other));
        QCOMPARE(marked(w), QList<int>{other});
        QVERIFY(w.fileManager.shown.isEmpty());
        QVERIFY(!clipboard().any || clipboard().text.isEmpty());
        chooseFromMenu(w, Open, plain[3]);
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(w.opener.opened, QStringList{found[plain[3]]});

        // None marked: the keys work on the current entry alone; a right click on an entry marks
        // it and its menu comes up; one below the entries brings up none.
        w.clickRow(plain[3], Qt::ControlModifier);
        QVERIFY(marked(w).isEmpty());
        QCOMPARE(current(w), plain[3]);
        key(&w.window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard().uris, uriListOf({found[plain[3]]}));
        {
            PopupWatch watch;
            rightClickAt(&w.window, belowEntries);
            QCOMPARE(watch.menus, 0);
            QVERIFY(marked(w).isEmpty());
            rightClickAt(&w.window, w.spotOfRow(plain[4])); // on an entry the menu does come
            QCOMPARE(watch.menus, 1);
            QCOMPARE(marked(w), QList<int>{plain[4]});
        }
        backToTheList(w);

        // All twelve marked: all copied.
        w.clickRow(0);
        key(&w.window, Qt::Key_A, Qt::ControlModifier);
        key(&w.window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard().uris, uriListOf(found));

        // A file gone since the search is reported as the button reports it; the other opens.
        w.opener.opened.clear();
        QVERIFY(QFile::remove(found[plain[1]]));
        w.clickRow(plain[0]);
        w.clickRow(plain[1], Qt::ControlModifier);
        Message missing;
        answerNextMessage(&missing);
        chooseFromMenu(w, Open, -1, Qt::Key_F10);
        QVERIFY(waitFor([&] { return !missing.text.isEmpty(); }));
        QCOMPARE(missing.text,
                 QStringLiteral("Ett fel uppstod!\n53 - Filen hittades inte: ") + found[plain[1]]);
        QVERIFY(waitFor([&] { return !w.opener.opened.isEmpty(); }));
        QCOMPARE(w.opener.opened, QStringList{found[plain[0]]});
        // By its bytes: the temporary folder's own removal cannot name it.
        unlink(FileNames::encode(found[latinRow]).constData());
    }

    // More than ten entries go to the opener or the file manager only after a question: all of
    // them after "Ja", none after "Nej"; ten go without one.
    void manyMarkedEntriesGoOutAllAfterAQuestion() {
        TestTree tree;
        for (int i = 0; i < 50; ++i)
            tree.file(QStringLiteral("S/d%1/f%2.txt").arg(i / 2, 2, 10, QLatin1Char('0')).arg(i));
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        w.setOption("includeSubfolders", true);
        QVERIFY(w.search());
        const QStringList found = w.window.control().entries().entries();
        QCOMPARE(found.size(), 50);
        w.clickRow(0);
        key(&w.window, Qt::Key_A, Qt::ControlModifier);

        Message asked;
        answerNextMessage(&asked, Qt::Key_Return); // "Ja"
        chooseFromMenu(w, Open, -1, Qt::Key_F10);
        QCOMPARE(asked.text, QStringLiteral("Öppna 50 filer?"));
        QCOMPARE(asked.title, QStringLiteral("Trovan"));
        QCOMPARE(asked.icon, int(QMessageBox::Question));
        QCOMPARE(asked.buttons, (QStringList{QStringLiteral("&Ja"), QStringLiteral("&Nej")}));
        QVERIFY(waitFor([&] { return w.opener.opened.size() >= 50; }));
        QCOMPARE(w.opener.opened, found);

        asked = {};
        answerNextMessage(&asked, Qt::Key_N); // "Nej"
        chooseFromMenu(w, Open, 7);
        QCOMPARE(asked.text, QStringLiteral("Öppna 50 filer?"));

        asked = {};
        answerNextMessage(&asked, Qt::Key_N);
        chooseFromMenu(w, Show, 7);
        QCOMPARE(asked.text, QStringLiteral("Visa 50 filer i mapp?"));
        QVERIFY(w.fileManager.shown.isEmpty());
        asked = {};
        answerNextMessage(&asked, Qt::Key_J); // "Ja"
        chooseFromMenu(w, Show, 7);
        QCOMPARE(asked.text, QStringLiteral("Visa 50 filer i mapp?"));
        QCOMPARE(w.fileManager.shown, QList<QStringList>{found}); // in one call
        QCOMPARE(marked(w).size(), 50);

        // Ten: no question. What the "Nej" above would have opened came before these.
        w.clickRow(0);
        w.clickRow(9, Qt::ShiftModifier);
        {
            PopupWatch watch(false); // the menu is chosen from as usual
            chooseFromMenu(w, Open, 3);
            QVERIFY(waitFor([&] { return w.opener.opened.size() >= 60; }));
            QCOMPARE(watch.boxes, 0);
        }
        QCOMPARE(w.opener.opened, found + found.mid(0, 10));

        // Folders are asked about as folders.
        click(&w.window, "searchButton"); // "Ny sökning"
        w.setOption("listFolders", true);
        QVERIFY(w.search());
        QCOMPARE(w.entries().size(), 25);
        w.clickRow(0);
        key(&w.window, Qt::Key_A, Qt::ControlModifier);
        asked = {};
        answerNextMessage(&asked, Qt::Key_N);
        chooseFromMenu(w, Open, 2);
        QCOMPARE(asked.text, QStringLiteral("Öppna 25 mappar?"));
        asked = {};
        answerNextMessage(&asked, Qt::Key_N);
        chooseFromMenu(w, Show, 2);
        QCOMPARE(asked.text, QStringLiteral("Visa 25 mappar i mapp?"));
        QCOMPARE(w.fileManager.shown.size(), 1);
    }

    // A file manager on the bus that takes the call and never answers: the busy pointer shows
    // until it is passed over, after two seconds, for the opener on the entries' folder; a
    // search meanwhile neither takes the pointer away nor leaves it behind.
    void aFileManagerThatNeverAnswersIsPassedOver() {
        PrivateBus bus;
        QVERIFY2(bus.started(), qPrintable(bus.failure));
        QDBusConnection windowSide = QDBusConnection::connectToBus(bus.address, "window");
        QDBusConnection managerSide = QDBusConnection::connectToBus(bus.address, "manager");
        SilentFileManager silent;
        QVERIFY(managerSide.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &silent,
                                           QDBusConnection::ExportAllSlots));
        QVERIFY(managerSide.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/b.txt");
        Window w(tree.path("S"), tree.folder("files"));
        QStringList foldersOpened;
        DesktopFileManager manager([&](const QString& folder) { foldersOpened.append(folder); },
                                   nullptr, windowSide);
        w.window.setFileManager(&manager);
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        QVERIFY(w.search());
        const QStringList found = w.window.control().entries().entries();
        QCOMPARE(found.size(), 2);
        QVERIFY(!QApplication::overrideCursor());
        w.clickRow(0);
        w.clickRow(1, Qt::ControlModifier);

        QElapsedTimer sinceAsked;
        sinceAsked.start();
        chooseFromMenu(w, Show, 1);
        const auto busy = [] {
            return QApplication::overrideCursor() &&
                   QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        };
        QVERIFY(busy());
        QVERIFY(waitFor([&] { return !silent.asked.isEmpty(); }));
        const QStringList uris = {QString::fromLatin1(uriOf(found[0])),
                                  QString::fromLatin1(uriOf(found[1]))};
        QCOMPARE(silent.asked, QList<QStringList>{uris});

        click(&w.window, "searchButton"); // "Ny sökning"
        QVERIFY(w.search());
        QVERIFY2(foldersOpened.isEmpty(), "the search took longer than the wait for an answer");
        QVERIFY(busy());

        QVERIFY(waitFor([&] { return !foldersOpened.isEmpty(); }));
        const qint64 waited = sinceAsked.elapsed();
        QCOMPARE(foldersOpened, QStringList{tree.path("S")});
        QVERIFY2(waited >= DesktopFileManager::AnswerWaitMs - 100 && waited < 5000,
                 qPrintable(QStringLiteral("passed over after %1 ms").arg(waited)));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(silent.asked.size(), 1);
    }

    void eachFormOfEntryGoesOutAsWhatItNames() {
        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/Under/b.txt");
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        w.setOption("includeSubfolders", true);

        struct Form {
            bool listFolders, fullPaths, keepExtensions;
            const char* what;
        };
        // The forms whose entries name nothing: text out, nothing opened or shown.
        for (const Form form : {Form{false, true, false, "full paths without extensions"},
                                Form{false, false, true, "names"},
                                Form{false, false, false, "names without extensions"},
                                Form{true, false, true, "folders below the start folder"}}) {
            w.setOption("listFolders", form.listFolders);
            w.setOption("fullPaths", form.fullPaths);
            w.setOption("keepExtensions", form.keepExtensions);
            QVERIFY2(w.search(), form.what);
            const QStringList entries = w.entries();
            QVERIFY2(entries.size() == 2, form.what);
            w.clickRow(0);
            w.clickRow(1, Qt::ControlModifier);
            const Menu menu = chooseFromMenu(w, Show, 0);
            QVERIFY2(menu.enabled == QStringList{Copy}, form.what);
            chooseFromMenu(w, Open, -1, Qt::Key_F10);
            QApplication::clipboard()->clear();
            key(&w.window, Qt::Key_C, Qt::ControlModifier);
            QVERIFY2(clipboard().text == entries.join('\n'), form.what);
            QVERIFY2(!clipboard().hasUris, form.what);
            const Carried dragged = dragFrom(w, 0);
            QVERIFY2(dragged.any && dragged.text == entries.join('\n') && !dragged.hasUris,
                     qPrintable(QStringLiteral("%1: %2, %3")
                                    .arg(form.what, dragged.text, dragged.formats.join(','))));
            // "Öppna" and "Visa i mapp" could not be chosen: nothing went out.
            QVERIFY2(w.opener.opened.isEmpty() && w.fileManager.shown.isEmpty(), form.what);
            click(&w.window, "searchButton"); // "Ny sökning"
        }

        // Folders with their full paths: shown in the file manager, opened there, copied and
        // dragged as what they are.
        w.setOption("listFolders", true);
        w.setOption("fullPaths", true);
        QVERIFY(w.search());
        const QStringList folders = w.entries();
        QCOMPARE(QSet<QString>(folders.begin(), folders.end()),
                 (QSet<QString>{tree.path("S"), tree.path("S/Under")}));
        QVERIFY(!w.control<QPushButton>("openFileButton")->isEnabled());
        w.clickRow(0);
        w.clickRow(1, Qt::ControlModifier);
        const Menu menu = chooseFromMenu(w, Show, 0);
        QCOMPARE(menu.enabled, (QStringList{Open, Show, Copy}));
        QCOMPARE(w.fileManager.shown, QList<QStringList>{folders});
        chooseFromMenu(w, Open, -1, Qt::Key_F10);
        QVERIFY(waitFor([&] { return w.opener.opened.size() == 2; }));
        QCOMPARE(w.opener.opened, folders);
        key(&w.window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard().uris, uriListOf(folders));
        QCOMPARE(dragFrom(w, 1).uris, uriListOf(folders));

        // A folder gone since the search is reported, not handed to the opener.
        w.opener.opened.clear();
        QVERIFY(QDir(tree.path("S/Under")).removeRecursively());
        w.clickRow(int(folders.indexOf(tree.path("S/Under"))));
        Message missing;
        answerNextMessage(&missing);
        chooseFromMenu(w, Open, -1, Qt::Key_F10);
        QVERIFY(waitFor([&] { return !missing.text.isEmpty(); }));
        QCOMPARE(missing.text, QStringLiteral("Ett fel uppstod!\n76 - Sökvägen hittades inte: ") +
                                   tree.path("S/Under"));
        QVERIFY(w.opener.opened.isEmpty()); // the report comes after what was handed on
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowEntryActionsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_entry_actions.moc"
