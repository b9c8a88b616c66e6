// A window that every user can read: each control has a name a screen reader speaks, in
// Swedish; each text stands out from its background under a dark palette, measured from the
// pixels; the keyboard focus can be seen on every control that takes it, also where the
// program itself put it, after the start and after a search.

#include "app/ApplicationSetup.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
#include "ui/FolderView.h"
#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTest>
#include <cmath>

using namespace UserInput;

namespace {

using Window = TestWindow;

// What a screen reader says a control is: the label it is labelled by, where it has one (as a
// drop-down list on Linux, whose own name is its value), else its own name.
QString spokenName(QWidget* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible)
        return {};
    const auto labels = accessible->relations(QAccessible::Label);
    if (!labels.isEmpty())
        return labels.first().first->text(QAccessible::Name);
    return accessible->text(QAccessible::Name);
}

// Relative luminance and contrast ratio as WCAG 2 defines them.
double luminance(QRgb colour) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) +
           0.0722 * channel(qBlue(colour));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Where a control draws its text, in its own coordinates: past its frame, its check box and
// its folder icon, so that nothing but the text stands out from the background there.
QRect textArea(QWidget* control) {
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return button->fontMetrics()
            .boundingRect(contents, Qt::AlignCenter | Qt::TextShowMnemonic, button->text())
            .adjusted(-1, -1, 1, 1);
    }
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        return box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                            QStyle::SC_ComboBoxEditField, box);
    }
    if (auto* list = qobject_cast<QAbstractItemView*>(control)) {
        const QRect row = list->visualRect(list->model()->index(0, 0));
        // An icon is no wider than its row is high.
        const QRect text = row.adjusted(row.height() + 4, 0, -3, 0);
        return text.translated(list->viewport()->mapTo(list, QPoint()));
    }
    if (qobject_cast<QLineEdit*>(control))
        return control->rect().adjusted(3, 3, -3, -3);
    return control->contentsRect();
}

// The control as the window shows it, over what lies behind it, its lists' rows laid out (see
// drawnList).
QImage shown(QWidget* control) {
    for (auto* list : control->window()->findChildren<QAbstractItemView*>())
        list->doItemsLayout();
    return control->window()
        ->grab(QRect(control->mapTo(control->window(), QPoint()), control->size()))
        .toImage();
}

// The contrast of a control's text with its background, as drawn: the background is the
// colour most of the text's area shows, the text the colour that stands out most from it.
double textContrast(QWidget* control) {
    const QImage picture = shown(control);
    const QRect area = textArea(control).intersected(picture.rect());
    QHash<QRgb, int> seen;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++seen[picture.pixel(x, y)];
    QRgb background = 0;
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        if (it.value() > seen.value(background))
            background = it.key();
    double most = 1;
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        most = std::max(most, contrast(it.key(), background));
    return most;
}

// A palette as a dark desktop theme gives it (KDE's Breeze Dark).
QPalette darkPalette() {
    QPalette dark;
    const QColor window(49, 54, 59), base(35, 38, 41), text(239, 240, 241);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, text);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, text);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, text);
        dark.setColor(group, QPalette::Highlight, QColor(61, 174, 233));
        dark.setColor(group, QPalette::HighlightedText, text);
        dark.setColor(group, QPalette::Light, QColor(64, 70, 76));
        dark.setColor(group, QPalette::Midlight, QColor(59, 64, 69));
        dark.setColor(group, QPalette::Mid, QColor(36, 40, 44));
        dark.setColor(group, QPalette::Dark, QColor(25, 27, 29));
        dark.setColor(group, QPalette::Shadow, QColor(16, 17, 18));
    }
    return dark;
}

// How many pixels of the control change, between its pictures with and without the focus, by
// at least 3:1, the contrast asked of what is not text.
int visiblyChanged(const QImage& focused, const QImage& unfocused) {
    int changed = 0;
    for (int y = 0; y < std::min(focused.height(), unfocused.height()); ++y)
        for (int x = 0; x < std::min(focused.width(), unfocused.width()); ++x)
            changed += contrast(focused.pixel(x, y), unfocused.pixel(x, y)) >= 3.0;
    return changed;
}

// The focus is seen when at least a line's worth around the control changes visibly.
QString unseenFocus(QWidget* control, const QImage& focused, const QImage& unfocused) {
    const int changed = visiblyChanged(focused, unfocused);
    const int line = control->width() + control->height();
    if (changed >= line)
        return {};
    return QStringLiteral("%1: %2 pixels change visibly with the focus, fewer than %3")
        .arg(control->objectName())
        .arg(changed)
        .arg(line);
}

// What a list draws of each of its rows, as found in its pixels: the stretches of pixel rows
// with anything but the background, each with its leftmost drawn column (an icon's left edge)
// and its first drawn column at least an icon's width further on (its text's start).
struct DrawnRow {
    int top = 0;
    int bottom = 0;
    bool highlighted = false;
    int iconLeft = 0;
    int textLeft = -1;
};

QList<DrawnRow> drawnRows(const QImage& picture, QRgb background, int iconSize) {
    const auto drawn = [&](int x, int y) { return picture.pixel(x, y) != background; };
    // A highlighted row is drawn up to the list's right edge, which no name reaches.
    const auto highlighted = [&](int y) { return drawn(picture.width() - 3, y); };
    QList<DrawnRow> rows;
    for (int y = 0; y < picture.height(); ++y) {
        int left = -1;
        for (int x = 0; x < picture.width() && left < 0; ++x)
            if (drawn(x, y))
                left = x;
        if (left < 0)
            continue;
        if (rows.isEmpty() || rows.last().bottom != y - 1 ||
            rows.last().highlighted != highlighted(y))
            rows.append({y, y, highlighted(y), left});
        rows.last().bottom = y;
        rows.last().iconLeft = std::min(rows.last().iconLeft, left);
    }
    for (DrawnRow& row : rows)
        for (int x = row.iconLeft + iconSize; x < picture.width() && row.textLeft < 0; ++x)
            for (int y = row.top; y <= row.bottom && row.textLeft < 0; ++y)
                if (drawn(x, y))
                    row.textLeft = x;
    return rows;
}

// Whether `icon`'s opaque pixels are drawn somewhere in `picture`, unscaled.
bool showsIcon(const QImage& picture, const QImage& icon) {
    for (int top = 0; top + icon.height() <= picture.height(); ++top)
        for (int left = 0; left + icon.width() <= picture.width(); ++left) {
            bool same = true;
            for (int y = 0; y < icon.height() && same; ++y)
                for (int x = 0; x < icon.width() && same; ++x)
                    same = qAlpha(icon.pixel(x, y)) < 255 ||
                           picture.pixel(left + x, top + y) == (icon.pixel(x, y) | 0xff000000);
            if (same)
                return true;
        }
    return false;
}

QWidget* focused() {
    return QApplication::focusWidget();
}

} // namespace

class WindowReadableTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasASwedishName() {
        TestTree tree;
        tree.file("S/a.txt");
        tree.file("S/b.txt");
        tree.file("S/c.txt");
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        const QHash<QString, QString> names = {
            {"patternBox", QStringLiteral("Filnamnsmönster")},
            {"driveBox", QStringLiteral("Välj enhet och mapp att söka igenom:")},
            {"folderView", QStringLiteral("Mapp att söka igenom")},
            {"resultList", QStringLiteral("Sökresultat")},
            {"countLabel", QStringLiteral("Hittade: 0")}};
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            QCOMPARE(spokenName(w.control<QWidget>(it.key().toLatin1())), it.value());

        // Every control a person can reach, or read, says what it is.
        const auto checkEveryControl = [&] {
            for (QWidget* control : w.window.findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(control);
                const bool reached = control->focusPolicy() & Qt::TabFocus;
                if (!control->isVisible() || !(reached || (label && !label->text().isEmpty())))
                    continue;
                QVERIFY2(!spokenName(control).trimmed().isEmpty(),
                         qPrintable(control->objectName() + " has no name"));
            }
        };
        checkEveryControl();
        QVERIFY(w.search());
        checkEveryControl();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(spokenName(w.control<QWidget>("countLabel")), QStringLiteral("Hittade: 3"));
        click(&w.window, "searchButton"); // "Ny sökning"
        QCOMPARE(spokenName(w.control<QWidget>("countLabel")), QStringLiteral("Hittade: 0"));
    }

    // The folder list draws a tree: each row as tall as a name and its 16-pixel icon need, so
    // that 11 folders fit in the list, and each row, icon and name together, stepped in by its
    // level. The drive box shows the drive's icon. Measured from the pixels drawn.
    void theFolderListIsATree() {
        TestTree tree;
        for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"})
            tree.folder(QStringLiteral("S/T/") + QLatin1String(name));
        Window w(tree.path("S/T"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S/T"); }));
        FolderView* list = w.folderView();
        const int iconSize = list->style()->pixelMetric(QStyle::PM_SmallIconSize);
        QCOMPARE(iconSize, 16);
        const QImage picture = drawnList(list);
        const QList<DrawnRow> rows =
            drawnRows(picture, list->palette().color(QPalette::Base).rgb(), iconSize);
        qsizetype current = 0;
        while (current < rows.size() && !rows[current].highlighted)
            ++current;
        QVERIFY2(current >= 2 && current + 3 < rows.size(),
                 "no ancestors, shown folder, subfolders");

        // The highlight fills the shown folder's row; the others are drawn at the same pitch.
        const int height = rows[current].bottom - rows[current].top + 1;
        QVERIFY2(height >= iconSize && list->viewport()->height() / height >= 11,
                 qPrintable(QStringLiteral("rows %1 pixels high").arg(height)));
        for (qsizetype i = current + 2; i < rows.size(); ++i)
            QCOMPARE(rows[i].top - rows[i - 1].top, height);
        for (const DrawnRow& row : rows)
            QVERIFY2(row.bottom - row.top < height, "a row's icon reaches into the next row");

        // Each ancestor's icon a step further in than its parent's, the subfolders' two steps
        // further than the last ancestor's (one for the shown folder); every name at the same
        // distance from its own icon.
        const int step = rows[1].iconLeft - rows[0].iconLeft;
        QVERIFY2(step >= 8, qPrintable(QStringLiteral("a level steps in %1 pixels").arg(step)));
        for (qsizetype i = 1; i < current; ++i)
            QCOMPARE(rows[i].iconLeft - rows[i - 1].iconLeft, step);
        for (qsizetype i = current + 1; i < rows.size(); ++i)
            QCOMPARE(rows[i].iconLeft, rows[current - 1].iconLeft + 2 * step);
        for (const DrawnRow& row : rows) {
            if (row.highlighted)
                continue;
            const int apart = row.textLeft - row.iconLeft;
            QVERIFY2(std::abs(apart - (rows[0].textLeft - rows[0].iconLeft)) <= 2,
                     qPrintable(QStringLiteral("a name %1 pixels from its icon").arg(apart)));
        }

        auto* driveBox = w.control<QComboBox>("driveBox");
        QVERIFY(waitFor([&] { return driveBox->count() > 0; })); // the mount table is read
        const QImage drive = driveBox->style()
                                 ->standardIcon(QStyle::SP_DriveHDIcon)
                                 .pixmap(iconSize)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QVERIFY(showsIcon(shown(driveBox), drive));
    }

    // A CR or LF in a found name is drawn as a mark of its own: something is drawn for it, the
    // two marks differ, and neither looks like the box of a missing character nor like any of
    // the other control characters 1 to 31. Compared row by row from the pixels of the list,
    // each row's name one letter and the character after it.
    void theLineBreakMarksAreDrawn() {
        TestTree tree;
        const QString missing = QStringLiteral("\u0378"); // unassigned: no font draws it
        const QList<QPair<QChar, QList<int>>> groups = {
            {u'a', {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12}},
            {u'b', {14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25}},
            {u'c', {26, 27, 28, 29, 30, 31}}};
        for (const auto& [letter, controls] : groups) {
            for (const QString& after :
                 {QStringLiteral("\r"), QStringLiteral("\n"), QString(), missing})
                tree.file(QStringLiteral("S/") + letter + after);
            for (const int control : controls)
                tree.file(QStringLiteral("S/") + letter + QChar(control));
        }
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        w.setOption("fullPaths", false);
        QAbstractItemView* list = w.resultList();
        for (const auto& [letter, controls] : groups) {
            w.typePattern(QString(letter) + u'*');
            QVERIFY(w.search());
            QCOMPARE(list->model()->rowCount(), controls.size() + 4);
            QVERIFY(list->selectionModel()->selectedIndexes().isEmpty());
            // Each row's picture by the name it shows.
            const QImage picture = drawnList(list);
            QHash<QString, QImage> rows;
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QModelIndex index = list->model()->index(row, 0);
                const QRect place = list->visualRect(index);
                QVERIFY2(picture.rect().contains(place), "a row out of sight");
                rows.insert(index.data().toString(), picture.copy(place));
            }
            const QImage cr = rows.value(QString(letter) + u'\u240D');
            const QImage lf = rows.value(QString(letter) + u'\u240A');
            QVERIFY(!cr.isNull() && !lf.isNull());
            QVERIFY2(cr != rows.value(QString(letter)), "nothing drawn for CR");
            QVERIFY2(lf != rows.value(QString(letter)), "nothing drawn for LF");
            QVERIFY2(cr != lf, "CR and LF look alike");
            // The letter before a mark is drawn where the style draws it without one.
            const QImage plain = rows.value(QString(letter));
            const QRgb base = list->palette().color(QPalette::Base).rgb();
            int letterEnd = 0;
            for (int x = 0; x < plain.width(); ++x)
                for (int y = 0; y < plain.height(); ++y)
                    if (plain.pixel(x, y) != base)
                        letterEnd = x + 1;
            QVERIFY(letterEnd > 0);
            QCOMPARE(cr.copy(0, 0, letterEnd, cr.height()),
                     plain.copy(0, 0, letterEnd, plain.height()));
            QCOMPARE(lf.copy(0, 0, letterEnd, lf.height()),
                     plain.copy(0, 0, letterEnd, plain.height()));
            QVERIFY2(cr != rows.value(letter + missing), "CR drawn as a missing character");
            QVERIFY2(lf != rows.value(letter + missing), "LF drawn as a missing character");
            for (const int control : controls) {
                const QImage other = rows.value(QString(letter) + QChar(control));
                QVERIFY(!other.isNull());
                QVERIFY2(other != cr && other != lf,
                         qPrintable(QStringLiteral("character %1 looks like a mark").arg(control)));
            }
            click(&w.window, "searchButton"); // "Ny sökning"
            QVERIFY(waitFor([&] { return w.window.state() == MainWindow::State::Options; }));
        }
    }

    void everyTextStandsOutUnderADarkPalette() {
        TestTree tree;
        tree.file("S/Under/a.txt");
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        // The desktop turns dark while the program is open.
        const QPalette before = QApplication::palette();
        QApplication::setPalette(darkPalette());
        QVERIFY(waitFor(
            [&] { return w.window.palette().color(QPalette::Window) == QColor(49, 54, 59); }));
        // The labels, found by what they say.
        const auto labelSaying = [&](const QString& text) {
            for (QLabel* label : w.window.findChildren<QLabel*>())
                if (label->text() == text)
                    return label;
            return static_cast<QLabel*>(nullptr);
        };
        labelSaying(QStringLiteral("Hittade:"))->setObjectName("foundLabel");
        labelSaying(QStringLiteral("Välj enhet och mapp att söka igenom:"))
            ->setObjectName("heading");
        const auto readable = [&](const QStringList& names) {
            for (const QString& name : names) {
                auto* control = w.control<QWidget>(name.toLatin1());
                const double ratio = textContrast(control);
                QVERIFY2(
                    ratio >= 4.5,
                    qPrintable(QStringLiteral("%1: text at %2:1").arg(name).arg(ratio, 0, 'f', 2)));
            }
        };
        readable({"heading", "keepExtensions", "listFolders", "fullPaths", "includeSubfolders",
                  "patternBox", "driveBox", "folderView", "searchButton", "exitButton",
                  "aboutButton"});
        w.setOption("includeSubfolders", true);
        QVERIFY(w.search());
        readable({"foundLabel", "countLabel", "resultList", "removeMarkedButton", "saveListButton",
                  "openFileButton", "searchButton", "exitButton"});
        QApplication::setPalette(before);
    }

    void theFocusIsSeenOnEveryControl() {
        TestTree tree;
        tree.file("S/a.txt");
        Window w(tree.path("S"), tree.folder("files"));
        QVERIFY(waitFor([&] { return w.shownFolder() == tree.path("S"); }));
        auto* search = w.control<QPushButton>("searchButton");

        // Where the program puts the focus, with no key pressed: at the start and after a
        // search. A click elsewhere takes it away.
        QCOMPARE(focused(), search);
        QImage withFocus = shown(search);
        click(&w.window, "patternBox");
        QVERIFY(focused() != search);
        QString unseen = unseenFocus(search, withFocus, shown(search));
        QVERIFY2(unseen.isEmpty(), qPrintable("at the start: " + unseen));
        click(&w.window, "searchButton");
        QVERIFY(waitFor([&] { return w.showsResults(); }));
        QCOMPARE(focused(), search);
        withFocus = shown(search);
        w.clickRow(0);
        QVERIFY(focused() != search);
        unseen = unseenFocus(search, withFocus, shown(search));
        QVERIFY2(unseen.isEmpty(), qPrintable("after a search: " + unseen));

        // Every control the focus visits with Tab, in both states.
        const auto eachSeen = [&] {
            QWidget* first = focused();
            for (int step = 0; step < 20; ++step) {
                QWidget* control = focused();
                const QImage with = shown(control);
                key(&w.window, Qt::Key_Tab);
                const QString unseen = unseenFocus(control, with, shown(control));
                QVERIFY2(unseen.isEmpty(), qPrintable(unseen));
                if (focused() == first)
                    return;
            }
            QFAIL("the focus did not come round");
        };
        eachSeen();
        if (QTest::currentTestFailed())
            return;
        click(&w.window, "searchButton"); // "Ny sökning"
        QVERIFY(waitFor([&] { return w.window.state() == MainWindow::State::Options; }));
        eachSeen();
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    WindowReadableTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_readable.moc"
