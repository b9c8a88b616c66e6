// A window that every user can read: each control has a name a screen reader speaks, in
// Swedish; each text stands out from its background under a dark palette, measured from the
// pixels; the keyboard focus can be seen on every control that takes it, also where the
// program itself put it, after the start and after a search.

#include "app/ApplicationSetup.h"
#include "support/TestTree.h"
#include "support/TestWindow.h"
#include "support/UserInput.h"
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

// The control as the window shows it, over what lies behind it.
QImage shown(QWidget* control) {
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
