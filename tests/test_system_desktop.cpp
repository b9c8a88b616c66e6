// The real desktop services: message boxes as real modal dialogs answered by keys, and the
// desktop's opener started detached, found first on PATH.

#include "platform/FileNames.h"
#include "platform/SystemDesktop.h"
#include "support/TestMain.h"
#include "support/TestTree.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
// Presses `key` in the message box once it is shown, and notes what it showed.
struct BoxAnswer {
    QString title, text, defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    void pressWhenShown(int key) {
        QTimer::singleShot(50, [this, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key(key));
        });
    }
};
} // namespace

class SystemDesktopTest : public QObject {
    Q_OBJECT
private slots:
    void yesNoBoxDefaultsToYesAndEscapeAnswersNo() {
        SystemDesktop desktop;
        BoxAnswer answer;
        answer.pressWhenShown(Qt::Key_Return);
        QCOMPARE(desktop.messageBox("Avsluta programmet?", 36, "Avsluta?"), 6);
        QCOMPARE(answer.title, QStringLiteral("Avsluta?"));
        QCOMPARE(answer.text, QStringLiteral("Avsluta programmet?"));
        QCOMPARE(answer.defaultButton, QStringLiteral("&Ja"));
        QCOMPARE(answer.icon, QMessageBox::Question);
        answer.pressWhenShown(Qt::Key_Escape);
        QCOMPARE(desktop.messageBox("Avsluta programmet?", 36, "Avsluta?"), 7);
    }

    void okBoxesCarryTheProgramsNameAndTheirIcon() {
        SystemDesktop desktop;
        BoxAnswer answer;
        answer.pressWhenShown(Qt::Key_Escape);
        QCOMPARE(desktop.messageBox("Fil sparad:\r\n/x/lista.txt", 0, "Fil sparad"), 1);
        QCOMPARE(answer.text, QStringLiteral("Fil sparad:\n/x/lista.txt"));
        QCOMPARE(answer.icon, QMessageBox::NoIcon);
        QCOMPARE(answer.defaultButton, QStringLiteral("OK"));
        answer.pressWhenShown(Qt::Key_Return);
        QCOMPARE(desktop.messageBox("Åtkomst nekad", 48, QString()), 1);
        QCOMPARE(answer.title, QStringLiteral("Trovan"));
        QCOMPARE(answer.icon, QMessageBox::Warning);
    }

    void theOpenerGetsTheNameUnchangedAndTheRootAsItsFolder() {
        TestTree tree;
        const QString record = tree.path("record");
        tree.file("bin/xdg-open",
                  QStringLiteral("#!/bin/sh\nprintf '%s\\n%s\\n' \"$1\" \"$PWD\" > '%1'\n")
                      .arg(record)
                      .toUtf8());
        QFile::setPermissions(tree.path("bin/xdg-open"), QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ExeOwner | QFile::ReadOther |
                                                             QFile::ExeOther);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", FileNames::encode(tree.path("bin")) + ":" + oldPath);
        const QString file = FileNames::decode("/hem/Åsa/r\xe4kning med blanksteg.txt");
        SystemDesktop().shellOpen(file, "/");
        qputenv("PATH", oldPath);
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(record).count('\n') == 2, 10000);
        QCOMPARE(readBytes(record), FileNames::encode(file) + "\n/\n");
    }
};

TROVAN_TEST_MAIN(SystemDesktopTest)
#include "test_system_desktop.moc"
