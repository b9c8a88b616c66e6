// What a found entry names, without a window: in each of the six forms a search gives, the
// entries called files or folders are the files and folders found, byte for byte, and the
// others are not handed out as paths; a file URI carries every byte a name can hold.

#include "core/text/EntryPaths.h"
#include "core/text/FileNames.h"
#include "core/text/SearchOptions.h"
#include "support/SearchRun.h"
#include "support/TestTree.h"

#include <QDir>
#include <QMimeData>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the system says the entry is: 'f' a file, 'd' a folder, '-' nothing by that name.
char onDisk(const QString& entry) {
    struct stat info {};
    if (stat(FileNames::encode(entry).constData(), &info) != 0)
        return '-';
    return S_ISDIR(info.st_mode) ? 'd' : 'f';
}

// By its bytes: Qt's own removal cannot name a file whose name is not UTF-8.
void removeFile(const QString& path) {
    unlink(FileNames::encode(path).constData());
}

} // namespace

class CoreEntryPathsTest : public QObject {
    Q_OBJECT
private slots:
    void eachFormNamesWhatItSays() {
        TestTree tree;
        // Where a name alone or a path below the start folder would be looked for.
        QDir::setCurrent(tree.folder("elsewhere"));
        // Beside "r\xe4kning.txt" lies no file called "r\xe4kning": cut of its extension, an
        // entry names nothing.
        const QString latin = tree.file("S/" + FileNames::decode("r\xe4kning.txt"));
        tree.file("S/Under/rad\nbrytning.txt");
        tree.file("S/Under/djup/c.txt");
        struct Form {
            bool listFolders, fullPaths, keepExtensions;
            EntryPaths::Kind kind;
        };
        using K = EntryPaths::Kind;
        for (const Form form :
             {Form{false, true, true, K::File}, Form{false, true, false, K::Text},
              Form{false, false, true, K::Text}, Form{false, false, false, K::Text},
              Form{true, true, true, K::Folder}, Form{true, false, true, K::Text}}) {
            SearchOptions options;
            options.startFolder = tree.path("S");
            options.includeSubfolders = true;
            options.listFolders = form.listFolders;
            options.fullPaths = form.fullPaths;
            options.keepExtensions = form.keepExtensions;
            const QString what = QStringLiteral("folders %1, full paths %2, extensions %3")
                                     .arg(form.listFolders)
                                     .arg(form.fullPaths)
                                     .arg(form.keepExtensions);
            QVERIFY2(EntryPaths::kindOf(options) == form.kind, qPrintable(what));
            const QStringList entries = runSearch(options).entries;
            QVERIFY2(entries.size() == 3, qPrintable(what));
            const char expected = form.kind == K::File ? 'f' : form.kind == K::Folder ? 'd' : '-';
            for (const QString& entry : entries)
                QVERIFY2(onDisk(entry) == expected, qPrintable(what + ": " + entry));

            // Handed out: as text one a line, with URIs only for paths.
            const std::unique_ptr<QMimeData> data(EntryPaths::mimeData(entries, form.kind));
            QCOMPARE(data->text().count(u'\n'), entries.size() - 1);
            QVERIFY2(data->hasFormat("text/uri-list") == (form.kind != K::Text), qPrintable(what));
            if (form.kind != K::Text) {
                QList<QByteArray> uris = data->data("text/uri-list").split('\n');
                QCOMPARE(uris.takeLast(), QByteArray());
                QCOMPARE(uris.size(), entries.size());
                for (qsizetype i = 0; i < uris.size(); ++i)
                    QCOMPARE(QByteArray::fromPercentEncoding(uris[i].chopped(1)),
                             "file://" + FileNames::encode(entries[i]));
            }
        }
        QDir::setCurrent(QDir::tempPath());
        removeFile(latin); // the temporary folder's own removal would not find it
    }

    void aFileUriCarriesEveryByteOfAName() {
        // Every byte a name can hold, once.
        QByteArray name;
        for (int byte = 1; byte < 256; ++byte)
            if (byte != '/')
                name += char(byte);
        TestTree tree;
        const QString path = tree.file(FileNames::decode(name.constData()));
        QCOMPARE(onDisk(path), 'f');
        const QByteArray uri = EntryPaths::fileUri(path);
        QVERIFY(uri.startsWith("file:///"));
        // Nothing but the unreserved characters, "/" and the escapes stands in it as it is.
        for (const char c : uri.mid(7))
            QVERIFY2(std::isalnum(static_cast<unsigned char>(c)) ||
                         QByteArray("-._~/%").contains(c),
                     uri.constData());
        QCOMPARE(QByteArray::fromPercentEncoding(uri.mid(7)), FileNames::encode(path));

        // The folder shown for an entry, the root's own too.
        QCOMPARE(EntryPaths::containingFolder(path), tree.root());
        QCOMPARE(EntryPaths::containingFolder("/etc"), QStringLiteral("/"));
        QCOMPARE(EntryPaths::containingFolder("/"), QStringLiteral("/"));
        removeFile(path);
    }
};

QTEST_GUILESS_MAIN(CoreEntryPathsTest)
#include "test_core_entry_paths.moc"
