#pragma once

// A file-name pattern as people type it in a file finder: "*" any run of characters, "?" one
// character, case-insensitive, several patterns separated by ";". "*.*" and "*" match every name;
// a pattern ending in ".*" also matches names without a dot ("rap*.*" finds "rapport"); an empty
// pattern matches every name. Parsed once, then matched many times.

#include <QString>
#include <QStringView>
#include <vector>

class FilePattern {
public:
    FilePattern() = default;
    explicit FilePattern(const QString& text);

    bool matches(QStringView name) const;
    const QString& text() const { return m_text; }

private:
    struct Glob {
        std::u16string folded;         // the glob, case-folded
        std::u16string withoutDotStar; // for "x.*": "x", matched against names without a dot
        bool endsInDotStar = false;
        bool isStarThenLiteral = false; // "*.txt": a case-insensitive comparison of the end
    };
    static bool globMatches(const std::u16string& glob, QStringView name);
    static bool endMatches(const std::u16string& glob, QStringView name);

    QString m_text;
    std::vector<Glob> m_globs;
    bool m_matchesAll = true;
    bool m_anyEndsInDotStar = false;
};
