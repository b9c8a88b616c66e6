#pragma once

// A file-name pattern as people type it in a file finder: "*" any run of characters, "?" one
// character (one Unicode character, also outside the Basic Multilingual Plane, where UTF-16
// takes two units for it; a byte that is not UTF-8 counts as one), case-insensitive, several
// patterns separated by ";". "*.*" and "*" match every name; a pattern ending in ".*" also matches
// names without a dot ("rap*.*" finds "rapport"); an empty pattern matches every name. Parsed once,
// then matched many times.
//
// A name can be matched as it comes from the system, as bytes: an ASCII name against an ASCII
// pattern is compared without decoding it, which is what almost every name in a search is.

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>
#include <vector>

class NamePattern {
public:
    NamePattern() = default;
    explicit NamePattern(const QString& text);

    bool matches(QStringView name) const;
    // Inline, because a search asks it of every file: "*.ext" is decided here.
    bool matchesBytes(std::string_view name) const {
        if (m_matchesAll)
            return true;
        if (m_matchesByAsciiEnd && name.size() >= m_asciiEnd.size()) {
            const char* end = name.data() + name.size() - m_asciiEnd.size();
            if (isAsciiBytes(end, m_asciiEnd.size())) {
                for (size_t i = 0; i < m_asciiEnd.size(); ++i)
                    if (lowerAscii(end[i]) != m_asciiEnd[i])
                        return false;
                return true;
            }
        }
        return matchesOtherBytes(name);
    }
    bool matchesEverything() const { return m_matchesAll; }

private:
    struct Glob {
        std::u32string folded;         // the glob's characters, case-folded
        std::u32string withoutDotStar; // for "x.*": "x", matched against names without a dot
        bool endsInDotStar = false;
        bool isStarThenLiteral = false; // "*.txt": a case-insensitive comparison of the end
    };
    template <typename Name> bool matchesFolded(const Name& name) const;
    bool matchesOtherBytes(std::string_view name) const;
    static char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }
    static bool isAsciiBytes(const char* bytes, size_t size) {
        char any = 0;
        for (size_t i = 0; i < size; ++i)
            any = char(any | bytes[i]);
        return (static_cast<unsigned char>(any) & 0x80) == 0;
    }

    std::vector<Glob> m_globs;
    bool m_matchesAll = true;
    bool m_anyEndsInDotStar = false;
    bool m_isAscii = true;
    // A single ASCII "*literal" without ".*" at its end, matched by the name's last bytes. A
    // multi-byte character is made of bytes outside ASCII only, so an ASCII end of the bytes is
    // the decoded name's end too.
    bool m_matchesByAsciiEnd = false;
    std::string m_asciiEnd; // the literal, case-folded
};
