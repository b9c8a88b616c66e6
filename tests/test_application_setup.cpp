// What the program sets up before its first window: the windows' icon drawn at every size the
// desktop may ask for, and Qt's own texts in Swedish like the window's.

#include "app/ApplicationSetup.h"

#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <algorithm>
#include <memory>

class ApplicationSetupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(); }

    // At 200 % a 32-pixel icon is drawn from the 64-pixel picture, not blown up from the
    // 32-pixel one.
    void iconIsSharpAtEveryScale() {
        const QIcon icon = QApplication::windowIcon();
        QList<QSize> expected;
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            expected.append(QSize(size, size));
        QList<QSize> sizes = icon.availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(sizes, expected);

        const QImage drawn64(QStringLiteral(":/trovan/icons/trovan-64.png"));
        QImage atDouble = icon.pixmap(QSize(32, 32), 2.0).toImage();
        QCOMPARE(atDouble.size(), QSize(64, 64));
        atDouble.setDevicePixelRatio(1.0);
        QCOMPARE(atDouble.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 drawn64.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // A text field's context menu, as a right click opens it.
    void qtTextsAreSwedish() {
        QLineEdit field;
        const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator())
                texts.append(action->text().section(u'\t', 0, 0));
        }
        QVERIFY2(texts.contains(QStringLiteral("Klistra &in")), qPrintable(texts.join(u'|')));
        QVERIFY2(texts.contains(QStringLiteral("Markera alla")), qPrintable(texts.join(u'|')));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ApplicationSetupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application_setup.moc"
