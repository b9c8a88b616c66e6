// The core's text rules: file-name patterns (as text and as the system's bytes, which must
// agree, and as find -iname reads them), cutting texts at a separator, the six entry forms,
// names that are not UTF-8, and line breaks inside names, shown and saved on one line.

#include "core/run/StoredFiles.h"
#include "core/text/EntryText.h"
#include "core/text/FileNames.h"
#include "core/text/LineBreaks.h"
#include "core/text/NamePattern.h"
#include "core/text/TextSplit.h"
#include "support/TestTree.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <string>

namespace {
QByteArray bytesOf(const char* raw) {
    return QByteArray(raw);
}
} // namespace

class CoreTextTest : public QObject {
    Q_OBJECT
private slots:
    // --- patterns -------------------------------------------------------------------------

    void patternRules_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QByteArray>("name"); // the system's bytes
        QTest::addColumn<bool>("matches");
        const auto row = [](const char* tag, const char* pattern, const QByteArray& name,
                            bool matches) {
            QTest::newRow(tag) << QString::fromUtf8(pattern) << name << matches;
        };
        row("star dot star, no dot", "*.*", "README", true);
        row("star dot star, dots", "*.*", "a.b.c", true);
        row("star", "*", "x", true);
        row("empty pattern", "", "anything.at.all", true);
        row("only blanks and semicolons", " ; ;", "x", true);
        row("star dot star inside a list", "*.h;*.*", "README", true);
        row("case", "*.TXT", "notes.txt", true);
        row("case, literal", "Makefile", "makefile", true);
        row("literal longer", "Makefile", "Makefile.am", false);
        row("other extension", "*.txt", "notes.txt.bak", false);
        row("question", "a?c", "abc", true);
        row("question needs one", "a?c", "ac", false);
        row("star in the middle", "a*b*c", "aXXbYYc", true);
        row("star backtracks", "*ab", "aab", true);
        row("star backtracks, no", "a*b*c", "aXXbYY", false);
        // ";" lists, blanks around the pieces ignored.
        row("list first", "*.h;*.cpp", "main.h", true);
        row("list second, blank", "*.h; *.cpp", "main.cpp", true);
        row("list none", "*.h;*.cpp", "main.c", false);
        row("list, empty piece", "*.h;;*.c", "main.c", true);
        // "x.*" also matches "x" (no dot), but not a longer name without a dot.
        row("dot star, no dot", "rap*.*", "rapport", true);
        row("dot star, dot", "rap*.*", "rapport.doc", true);
        row("dot star, wrong start", "rap*.*", "xrapport", false);
        row("x.* matches x", "x.*", "x", true);
        row("x.* matches x.y", "x.*", "x.y", true);
        row("x.* not xy", "x.*", "xy", false);
        row("x.* not x. of a dotted name", "x.*", "y.x", false);
        row("dot star in a list", "*.h;rap*.*", "rapport", true);
        // "*.ext", the fast path: a comparison of the name's end.
        row("star ext", "*.txt", "a.txt", true);
        row("star ext, only the extension", "*.txt", ".txt", true);
        row("star ext, shorter name", "*.txt", "txt", false);
        row("star ext, empty name part", "*.txt", "a.tx", false);
        row("star ext, case", "*.TxT", "A.tXt", true);
        row("star literal without dot", "*rc", "bashrc", true);
        row("star literal, longer than name", "*.longext", "a.ext", false);
        // Swedish letters fold both ways, in pattern and name, in any case.
        row("swedish upper pattern", "*.ÅÄÖ", "x.\xc3\xa5\xc3\xa4\xc3\xb6", true);
        row("swedish lower pattern", "räk*", "R\xc3\x84KSM\xc3\x96RG\xc3\x85S", true);
        row("swedish question", "?sa", "\xc3\x85sa", true);
        row("swedish differs", "å*", "a.txt", false);
        row("swedish not ascii", "*ö", "o", false);
        // A name that is not ASCII against an ASCII pattern and the reverse.
        row("utf8 name, ascii ext", "*.txt", "\xc3\xa5\xc3\xa4\xc3\xb6.txt", true);
        row("utf8 name, ascii question", "?.txt", "\xc3\xa5.txt", true);
        row("utf8 name, ascii literal", "abc",
            "\xc3\xa5"
            "bc",
            false);
        row("kelvin sign folds onto k", "k*",
            "\xe2\x84\xaa"
            "elvin",
            true);
        row("kelvin sign, ascii pattern upper", "K?",
            "\xe2\x84\xaa"
            "x",
            true);
        row("kelvin in pattern, ascii name", "\xe2\x84\xaa*", "kelvin", true);
        row("non-ascii pattern, ascii name", "å*", "abc", false);
        row("non-ascii pattern, ascii name fast path", "*.åäö", "x.aao", false);
        // Bytes that are not UTF-8: each counts as one character.
        row("invalid byte, star ext", "*.txt", "\xff\xfe.txt", true);
        row("invalid byte, question", "?.txt", "\xff.txt", true);
        row("invalid bytes, two questions", "??.txt", "\xff\xfe.txt", true);
        row("invalid byte, one question too few", "?.txt", "\xff\xfe.txt", false);
        row("latin1 byte is not the letter", "å.txt", "\xe5.txt", false);
        row("latin1 byte, question", "?.txt", "\xe5.txt", true);
        row("latin1 with swedish pattern", "*.åäö", "x.\xe5\xe4\xf6", false);
    }
    void patternRules() {
        QFETCH(QString, pattern);
        QFETCH(QByteArray, name);
        QFETCH(bool, matches);
        const NamePattern parsed(pattern);
        const QString decoded =
            FileNames::decode(std::string_view(name.constData(), size_t(name.size())));
        QCOMPARE(parsed.matches(decoded), matches);
        QCOMPARE(parsed.matchesBytes(std::string_view(name.constData(), size_t(name.size()))),
                 matches);
    }

    void matchesEverything() {
        QVERIFY(NamePattern().matchesEverything());
        QVERIFY(NamePattern("").matchesEverything());
        QVERIFY(NamePattern("*").matchesEverything());
        QVERIFY(NamePattern(" *.* ").matchesEverything());
        QVERIFY(NamePattern("*.h;*").matchesEverything());
        QVERIFY(!NamePattern("*.h").matchesEverything());
        QVERIFY(NamePattern("**").matches(u"x"));
    }

    // Every name in a small alphabet against every pattern: bytes and text always agree.
    void bytesAndTextAgree() {
        const QList<QString> patterns = {
            "*.txt", "*.TXT", "a*",      "?",        "??",  "*a*", "a.*", "*.*", "Å*",   "*ö",
            "*;a?",  "k*",    "\u212a*", "*.\u00e5", "?.?", "*.",  ".*",  "*?*", "a*b*",
        };
        const QList<QByteArray> pieces = {"a",    "A",    "b",        ".",        "k",
                                          "txt",  "TXT",  "\xc3\xa5", "\xc3\x85", "\xe2\x84\xaa",
                                          "\xff", "\xe5", "\xf6"};
        QList<QByteArray> names{""};
        for (int round = 0; round < 3; ++round) {
            const QList<QByteArray> shorter = names;
            for (const QByteArray& name : shorter)
                for (const QByteArray& piece : pieces)
                    if (!names.contains(name + piece))
                        names.append(name + piece);
        }
        QVERIFY(names.size() > 1000);
        for (const QString& text : patterns) {
            const NamePattern pattern(text);
            for (const QByteArray& name : names) {
                const std::string_view bytes(name.constData(), size_t(name.size()));
                QVERIFY2(pattern.matches(FileNames::decode(bytes)) == pattern.matchesBytes(bytes),
                         qPrintable(text + " / " + QString::fromLatin1(name.toHex())));
            }
        }
    }

    // "?" is one character, as find -iname has it, in every plane of Unicode: a character
    // beyond the first plane is two UTF-16 units but one character. Names and patterns stay
    // clear of the two rules find does not share ("x.*" also matching "x", and ";"). Our
    // matches are among find's in a UTF-8 locale; glibc also lets "?" there stand for a single
    // byte ("????.txt" finds "😀.txt"), so find may take more, but only names that match byte
    // for byte, as find in the C locale finds them.
    void patternsMatchAsFindDoesInEveryPlane() {
        const QStringList characters = {"a",          "Z",          "å",          "Ä",
                                        "ß",          "中",         "\U0001F600", "\U00010400",
                                        "\U00010428", "\U0001D538", "\U00020000", "\U00030000",
                                        "\U000E0041", "\U000F0000", "\U0010FFFD"};
        TestTree tree;
        const QString root = tree.folder("names");
        QSet<QString> names{"abc.txt", "\U0001F600\U0001F600\U0001F600.txt", "\U0001F600"};
        for (const QString& first : characters) {
            names.insert(first + ".txt");
            for (const char* second : {"a", "\U0001F600", "\U00010428"})
                names.insert(first + QString::fromUtf8(second) + ".txt");
        }
        for (const QString& name : names)
            tree.file("names/" + name);
        QCOMPARE(QDir(root).entryList(QDir::Files).size(), names.size());

        const auto find = [&](const char* locale, const QString& pattern) {
            QProcess find;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("LC_ALL", locale);
            find.setProcessEnvironment(environment);
            find.start("find", {root, "-mindepth", "1", "-maxdepth", "1", "-iname", pattern,
                                "-printf", "%f\\0"});
            QSet<QString> found;
            if (!find.waitForFinished(10000) || find.exitCode() != 0)
                qFatal("find did not run: %s", qPrintable(find.errorString()));
            for (const QByteArray& name : find.readAllStandardOutput().split('\0'))
                if (!name.isEmpty())
                    found.insert(QString::fromUtf8(name));
            return found;
        };
        const auto listed = [](const QSet<QString>& names) {
            QStringList sorted(names.begin(), names.end());
            sorted.sort();
            return sorted.join(' ');
        };
        const QStringList patterns = {
            "?.txt",       "??.txt",          "???.txt",
            "?",           "*?.txt",          "a?.txt",
            "?a.txt",      "*\U0001F600*",    "?\U0001F600.txt",
            "\U00010400*", "\U00010428?.txt", "*\U0010FFFD*",
            "Å*",          "*A.TXT",          "\U0001F600?\U0001F600.txt"};
        for (const QString& pattern : patterns) {
            const NamePattern parsed(pattern);
            QSet<QString> matched;
            for (const QString& name : names) {
                const QByteArray bytes = FileNames::encode(name);
                const bool byBytes =
                    parsed.matchesBytes(std::string_view(bytes.constData(), size_t(bytes.size())));
                QCOMPARE(parsed.matches(name), byBytes);
                if (byBytes)
                    matched.insert(name);
            }
            const QSet<QString> byCharacters = find("C.UTF-8", pattern);
            const QSet<QString> byBytesAlone = find("C", pattern);
            const QString seen = pattern + ": we match " + listed(matched) + "; find matches " +
                                 listed(byCharacters) + " (byte for byte " + listed(byBytesAlone) +
                                 ")";
            QVERIFY2(!matched.isEmpty(), qPrintable(seen));
            QVERIFY2(byCharacters.contains(matched), qPrintable(seen));
            QVERIFY2((matched | byBytesAlone).contains(byCharacters), qPrintable(seen));
        }
    }

    // --- line breaks in names ---------------------------------------------------------------

    // A name may hold CR and LF: shown and saved, each stays on one line, in the same form.
    void lineBreaksStayOnTheirLine() {
        QCOMPARE(LineBreaks::visible("plain.txt"), QStringLiteral("plain.txt"));
        QCOMPARE(LineBreaks::visible("ny\nrad\r\nslut\r"), QStringLiteral("ny␊rad␍␊slut␍"));

        TestTree tree;
        QStringList entries;
        for (int i = 0; i < 20; ++i)
            entries.append(QStringLiteral("/s/f%1.txt").arg(i));
        entries.insert(3, "/s/två\nrader.txt");
        entries.insert(9, "/s/vagn\rretur.txt");
        entries.insert(15, "/s/\r\n");
        QCOMPARE(entries.size(), 23);
        const QString list = tree.path("lista.txt");
        QCOMPARE(StoredFiles::writeList(list, entries), std::nullopt);
        const QByteArray saved = readBytes(list);
        QVERIFY(saved.endsWith("\r\n"));
        const QList<QByteArray> lines = saved.chopped(2).split('\n');
        QCOMPARE(lines.size(), 23);
        for (const QByteArray& line : lines) {
            QVERIFY2(line.endsWith('\r') || &line == &lines.last(), line.constData());
            QVERIFY2(line.count('\r') == (&line == &lines.last() ? 0 : 1), line.constData());
        }
        QCOMPARE(lines[3], QByteArray("/s/två␊rader.txt\r"));
        QCOMPARE(lines[9], QByteArray("/s/vagn␍retur.txt\r"));
        QCOMPARE(lines[15], QByteArray("/s/␍␊\r"));
    }

    // --- file names -------------------------------------------------------------------------

    void namesThatAreNotUtf8RoundTrip_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("ascii") << bytesOf("plain.txt");
        QTest::newRow("utf8 swedish") << bytesOf("r\xc3\xa4ksm\xc3\xb6rg\xc3\xa5s");
        QTest::newRow("latin1") << bytesOf("latin1-\xe5\xe4\xf6");
        QTest::newRow("invalid and cut short") << bytesOf("bad\xff\xfe-\xc3\xa5-\xe2\x82");
        QTest::newRow("encoded surrogate") << bytesOf("\xed\xa0\x80x");
        QTest::newRow("overlong") << bytesOf("\xc0\xaf\xe0\x80\xaf");
        QTest::newRow("beyond U+10FFFF") << bytesOf("\xf4\x90\x80\x80");
        QTest::newRow("emoji then stray tail") << bytesOf("\xf0\x9f\x98\x80\xb0");
        QTest::newRow("emoji with low surrogate DC80") << bytesOf("\xf0\x9f\x92\x80");
        QTest::newRow("lone tails") << bytesOf("\x80\xbf");
        QTest::newRow("control characters") << bytesOf("ny\nrad\tflik\\");
        // U+FEFF, the byte order mark, is an ordinary character inside a name.
        QTest::newRow("byte order mark") << bytesOf("\xef\xbb\xbf");
        QTest::newRow("byte order mark inside") << bytesOf("a\xef\xbb\xbf\xc3\xa5\xef\xbb\xbf.txt");
        QTest::newRow("empty") << QByteArray();
    }
    void namesThatAreNotUtf8RoundTrip() {
        QFETCH(QByteArray, raw);
        const QString name =
            FileNames::decode(std::string_view(raw.constData(), size_t(raw.size())));
        QCOMPARE(FileNames::encode(name), raw);
    }

    void decodingKeepsValidTextAndEscapesTheRest() {
        const QString name = FileNames::decode("bad\xff-\xc3\xa5");
        QCOMPARE(name.size(), 6);
        QCOMPARE(name[3].unicode(), char16_t(0xDCFF));
        QCOMPARE(name[5], QChar(0x00E5));
        QCOMPARE(FileNames::encode(QStringLiteral("Åsa 😀")), QStringLiteral("Åsa 😀").toUtf8());
        QCOMPARE(FileNames::decode("\xc3\x85sa"), QStringLiteral("Åsa"));
        QCOMPARE(FileNames::decode("\xef\xbb\xbf\xf0\x9f\x98\x80"), QStringLiteral("\uFEFF😀"));
    }

    // --- splitting --------------------------------------------------------------------------

    void splitsAtDots_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("elements");
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("no separator") << "report" << QStringList{"report"};
        QTest::newRow("one") << "report.txt" << QStringList{"report", "txt"};
        QTest::newRow("two") << "archive.tar.gz" << QStringList{"archive", "tar", "gz"};
        QTest::newRow("leading") << ".profile" << QStringList{"", "profile"};
        QTest::newRow("doubled") << "a..b" << QStringList{"a", "", "b"};
        QTest::newRow("trailing") << "a." << QStringList{"a"};
        QTest::newRow("two trailing") << "a.." << QStringList{"a", ""};
        QTest::newRow("only separator") << "." << QStringList{""};
        QTest::newRow("only separators") << "..." << QStringList{"", "", ""};
    }
    void splitsAtDots() {
        QFETCH(QString, text);
        QFETCH(QStringList, elements);
        const QString before = text;
        QCOMPARE(splitText(text, "."), elements);
        QCOMPARE(text, before);
    }

    void splitsPathsBlanksAndLongSeparators() {
        QCOMPARE(splitText("/home/ann/Projekt", "/"), (QStringList{"", "home", "ann", "Projekt"}));
        QCOMPARE(splitText("/home/ann/", "/"), (QStringList{"", "home", "ann"}));
        QCOMPARE(splitText("/", "/"), QStringList{""});
        QCOMPARE(splitText("a b c"), (QStringList{"a", "b", "c"})); // blank by default
        QCOMPARE(splitText("a  b"), (QStringList{"a", "", "b"}));
        QCOMPARE(splitText("xaby", "ab"), (QStringList{"x", "y"}));
        QCOMPARE(splitText("abab", "ab"), (QStringList{"", ""}));
        QCOMPARE(splitText("aab", "ab"), (QStringList{"a"}));
        QCOMPARE(splitText("xAby", "ab"), QStringList{"xAby"}); // case-sensitive
        QCOMPARE(splitText("x.TXT.txt", "txt"), (QStringList{"x.TXT."}));
        QCOMPARE(splitText("abc", ""), QStringList{"abc"}); // an empty separator returns
        QCOMPARE(splitText("", ""), QStringList{""});
        QCOMPARE(splitText("", "ab"), QStringList{""});
        QCOMPARE(splitText("räksmörgås", "ö"), (QStringList{"räksm", "rgås"}));
    }

    // --- entry forms ------------------------------------------------------------------------

    void sixEntryForms() {
        SearchOptions options;
        options.startFolder = "/home/ann/S";
        const QString prefix = EntryText::filePrefix("/home/ann/S/A");
        QCOMPARE(prefix, QStringLiteral("/home/ann/S/A/"));
        const auto file = [&](bool full, bool extension, const QString& name) {
            options.fullPaths = full;
            options.keepExtensions = extension;
            return EntryText::fileEntry(options, prefix, name);
        };
        QCOMPARE(file(true, true, "a.txt"), QStringLiteral("/home/ann/S/A/a.txt"));
        QCOMPARE(file(true, false, "a.txt"), QStringLiteral("/home/ann/S/A/a"));
        QCOMPARE(file(false, true, "a.txt"), QStringLiteral("a.txt"));
        QCOMPARE(file(false, false, "a.txt"), QStringLiteral("a"));

        const QString startName = EntryText::startFolderName(options.startFolder);
        QCOMPARE(startName, QStringLiteral("S"));
        options.fullPaths = true;
        QCOMPARE(EntryText::folderEntry(options, startName, "/home/ann/S/A/A1"),
                 QStringLiteral("/home/ann/S/A/A1"));
        QCOMPARE(EntryText::folderEntry(options, startName, "/home/ann/S"),
                 QStringLiteral("/home/ann/S"));
        options.fullPaths = false;
        QCOMPARE(EntryText::folderEntry(options, startName, "/home/ann/S/A/A1"),
                 QStringLiteral("S/A/A1"));
        QCOMPARE(EntryText::folderEntry(options, startName, "/home/ann/S"), QStringLiteral("S"));
    }

    void extensionsAreCutAtTheLastDotOfTheNameOnly() {
        SearchOptions options;
        options.keepExtensions = false;
        const QString prefix = EntryText::filePrefix("/x/my.folder");
        for (bool full : {true, false}) {
            options.fullPaths = full;
            const QString lead = full ? QStringLiteral("/x/my.folder/") : QString();
            QCOMPARE(EntryText::fileEntry(options, prefix, "archive.tar.gz"), lead + "archive.tar");
            QCOMPARE(EntryText::fileEntry(options, prefix, "report."), lead + "report");
            QCOMPARE(EntryText::fileEntry(options, prefix, "two.."), lead + "two.");
            QCOMPARE(EntryText::fileEntry(options, prefix, "README"), lead + "README");
            QCOMPARE(EntryText::fileEntry(options, prefix, "räksmörgås.åäö"), lead + "räksmörgås");
        }
    }

    void theRootAsStartFolder() {
        QCOMPARE(EntryText::startFolderName("/"), QString());
        QCOMPARE(EntryText::startFolderName("/home/ann/"), QStringLiteral("ann"));
        QCOMPARE(EntryText::filePrefix("/"), QStringLiteral("/"));
        SearchOptions options;
        options.startFolder = "/";
        options.fullPaths = true;
        QCOMPARE(EntryText::fileEntry(options, EntryText::filePrefix("/"), "a.txt"),
                 QStringLiteral("/a.txt"));
        options.fullPaths = false;
        QCOMPARE(EntryText::folderEntry(options, "", "/"), QStringLiteral("/"));
        QCOMPARE(EntryText::folderEntry(options, "", "/usr/include"),
                 QStringLiteral("/usr/include"));
        options.fullPaths = true;
        QCOMPARE(EntryText::folderEntry(options, "", "/"), QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(CoreTextTest)
#include "test_core_text.moc"
