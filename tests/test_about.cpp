// The about window: its picture as shipped, and the window as a person opens and closes it.

#include "app/ApplicationSetup.h"
#include "support/TestTree.h"
#include "support/UserInput.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace UserInput;

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void pictureIsATransparentGif() {
        QImageReader reader(QStringLiteral(":/trovan/about.gif"));
        QCOMPARE(reader.format(), QByteArray("gif"));
        const QImage picture = reader.read();
        QVERIFY2(!picture.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(picture.size(), QSize(404, 78));
        QVERIFY(picture.hasAlphaChannel());
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
    }

    void opensOnOmAndClosesOnEachAnswer() {
        TestTree tree;
        MainWindow window;
        window.setFilesFolder(tree.root());
        window.load(tree.root());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Closed by a click on "OK", by Enter and by Esc; the version shows each time. While
        // it is open the main window takes no click and no key.
        auto* searchButton = window.findChild<QPushButton*>("searchButton");
        QSignalSpy pressed(searchButton, &QPushButton::pressed);
        for (const int answer : {0, int(Qt::Key_Return), int(Qt::Key_Escape)}) {
            QString title, version, okText;
            bool mainWindowIgnored = false;
            actOnNextModal([&](QWidget* about) {
                title = about->windowTitle();
                version = about->findChild<QLabel*>("version")->text();
                auto* ok = about->findChild<QPushButton*>();
                okText = ok->text();
                // Through the window system, where a modal window holds the others back. Each
                // is delivered by the time it returns: a press that reached the button would
                // have clicked it by now, or left it down for the click to come.
                QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                  spotOf(&window, "searchButton"));
                QTest::keyClick(window.windowHandle(), Qt::Key_S, Qt::AltModifier);
                mainWindowIgnored = pressed.isEmpty() && !searchButton->isDown() &&
                                    window.state() == MainWindow::State::Options &&
                                    about->isVisible();
                if (answer == 0)
                    clickAt(about, ok->mapTo(about, ok->rect().center()));
                else
                    QTest::keyClick(about, Qt::Key(answer));
            });
            click(&window, "aboutButton");
            QCOMPARE(title, QStringLiteral("Om..."));
            QCOMPARE(version, QStringLiteral("v1.1"));
            QCOMPARE(okText, QStringLiteral("&OK"));
            QVERIFY(mainWindowIgnored);
            QVERIFY(!QApplication::activeModalWidget());
            QCOMPARE(window.state(), MainWindow::State::Options);
        }
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();
    AboutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_about.moc"
