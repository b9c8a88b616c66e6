// The desktop's opener itself, once: xdg-open found first on PATH gets the file's name as its
// own bytes and the root folder as its working folder.

#include "core/text/FileNames.h"
#include "support/TestTree.h"
#include "ui/FileOpener.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

class SystemOpenerTest : public QObject {
    Q_OBJECT
private slots:
    void xdgOpenGetsTheNameUnchangedInTheRootFolder() {
        TestTree tree;
        const QString record = tree.path("record");
        tree.file("bin/xdg-open",
                  QStringLiteral("#!/bin/sh\nprintf '%s\\n%s\\n' \"$1\" \"$PWD\" > '%1.tmp'\n"
                                 "mv '%1.tmp' '%1'\n")
                      .arg(record)
                      .toUtf8());
        QFile::setPermissions(tree.path("bin/xdg-open"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", FileNames::encode(tree.path("bin")) + ":" + oldPath);
        // Latin-1 bytes that are no UTF-8, a blank and a line's worth of odd characters.
        const QString file = FileNames::decode("/hem/\xc5sa/r\xe4kning med blanksteg \x01$'\".txt");
        XdgOpener().open(file);
        qputenv("PATH", oldPath);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(readBytes(record), FileNames::encode(file) + "\n/\n");
    }
};

QTEST_GUILESS_MAIN(SystemOpenerTest)
#include "test_system_opener.moc"
