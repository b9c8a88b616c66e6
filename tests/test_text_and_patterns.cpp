// Cutting texts at a separator, and the file-name pattern rules.

#include "app/Trovan.h"
#include "platform/FileNames.h"
#include "platform/FilePattern.h"
#include "support/TestMain.h"

class TextAndPatternTest : public QObject {
    Q_OBJECT
private slots:
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
    }
    void splitsAtDots() {
        QFETCH(QString, text);
        QFETCH(QStringList, elements);
        const QString before = text;
        QCOMPARE(Trovan::Split(text, "."), elements);
        QCOMPARE(text, before);
    }

    void splitsPathsBlanksAndLongSeparators() {
        QCOMPARE(Trovan::Split("/home/ann/Projekt", "/"),
                 (QStringList{"", "home", "ann", "Projekt"}));
        QCOMPARE(Trovan::Split("/", "/"), QStringList{""});
        QCOMPARE(Trovan::Split("a b c"), (QStringList{"a", "b", "c"}));
        QCOMPARE(Trovan::Split("xaby", "ab"), (QStringList{"x", "y"}));
        QCOMPARE(Trovan::Split("xAby", "ab"), QStringList{"xAby"});
        QCOMPARE(Trovan::Split("abc", ""), QStringList{"abc"});
        QCOMPARE(Trovan::Split("", ""), QStringList{""});
    }

    void patternsMatchAsPeopleExpect_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star dot star, no dot") << "*.*"
                                               << "README" << true;
        QTest::newRow("star dot star, dot") << "*.*"
                                            << "a.b.c" << true;
        QTest::newRow("star") << "*"
                              << "x" << true;
        QTest::newRow("empty") << ""
                               << "anything.at.all" << true;
        QTest::newRow("case") << "*.TXT"
                              << "notes.txt" << true;
        QTest::newRow("case swedish") << "*.ÅÄÖ"
                                      << "x.åäö" << true;
        QTest::newRow("other extension") << "*.txt"
                                         << "notes.txt.bak" << false;
        QTest::newRow("question") << "a?c"
                                  << "abc" << true;
        QTest::newRow("question needs one") << "a?c"
                                            << "ac" << false;
        QTest::newRow("dot star no dot") << "rap*.*"
                                         << "rapport" << true;
        QTest::newRow("dot star with dot") << "rap*.*"
                                           << "rapport.doc" << true;
        QTest::newRow("dot star wrong start") << "rap*.*"
                                              << "xrapport" << false;
        QTest::newRow("list first") << "*.h;*.cpp"
                                    << "main.h" << true;
        QTest::newRow("list second") << "*.h; *.cpp"
                                     << "main.cpp" << true;
        QTest::newRow("list none") << "*.h;*.cpp"
                                   << "main.c" << false;
        QTest::newRow("star in middle") << "a*b*c"
                                        << "aXXbYYc" << true;
        QTest::newRow("star backtracks") << "*ab"
                                         << "aab" << true;
        QTest::newRow("literal") << "Makefile"
                                 << "makefile" << true;
        QTest::newRow("literal longer") << "Makefile"
                                        << "Makefile.am" << false;
    }
    void patternsMatchAsPeopleExpect() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(FilePattern(pattern).matches(name), matches);
    }

    void namesThatAreNotUtf8RoundTrip() {
        const std::string raw = "bad\xff\xfe-\xc3\xa5-\xe2\x82"; // invalid, valid å, cut short
        const QString name = FileNames::decode(raw);
        QVERIFY(name.contains(QChar(0x00E5)));
        const QByteArray back = FileNames::encode(name);
        QCOMPARE(back, QByteArray(raw.data(), qsizetype(raw.size())));
        QCOMPARE(FileNames::encode(QStringLiteral("Åsa 😀")), QStringLiteral("Åsa 😀").toUtf8());
    }
};

TROVAN_TEST_MAIN(TextAndPatternTest)
#include "test_text_and_patterns.moc"
