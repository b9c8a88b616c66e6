#include "core/text/NamePattern.h"

#include "core/text/FileNames.h"

#include <QList>
#include <algorithm>

namespace {

inline char32_t fold(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? char32_t(c + ('a' - 'A')) : c;
    return QChar::toCaseFolded(c);
}

// The characters of a text: a surrogate pair is one character, a lone surrogate (a byte that
// is not UTF-8, see FileNames) one of its own.
template <typename Visit> void forEachCharacter(QStringView text, Visit visit) {
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            visit(char32_t(c.unicode()));
        }
    }
}

std::u32string folded(QStringView text) {
    std::u32string out;
    out.reserve(size_t(text.size()));
    forEachCharacter(text, [&](char32_t c) { out.push_back(fold(c)); });
    return out;
}

bool hasSurrogates(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
}

// A name seen through the case folding, one character at a time: UTF-16 without surrogates
// (one unit a character, almost every name that is not ASCII), folded characters, or ASCII
// bytes.
struct BmpName {
    QStringView text;
    qsizetype size() const { return text.size(); }
    char32_t at(qsizetype i) const { return fold(text[i].unicode()); }
    bool containsDot() const { return text.contains(u'.'); }
};
struct FoldedName {
    std::u32string characters;
    qsizetype size() const { return qsizetype(characters.size()); }
    char32_t at(qsizetype i) const { return characters[size_t(i)]; }
    bool containsDot() const { return characters.find(U'.') != std::u32string::npos; }
};
struct AsciiName {
    std::string_view bytes;
    qsizetype size() const { return qsizetype(bytes.size()); }
    char32_t at(qsizetype i) const {
        return fold(char32_t(static_cast<unsigned char>(bytes[size_t(i)])));
    }
    bool containsDot() const { return bytes.find('.') != std::string_view::npos; }
};

// The name ends in the glob's literal after its leading "*".
template <typename Name> bool endMatches(const std::u32string& glob, const Name& name) {
    const qsizetype literal = qsizetype(glob.size()) - 1;
    if (name.size() < literal)
        return false;
    const qsizetype start = name.size() - literal;
    for (qsizetype i = 0; i < literal; ++i) {
        if (glob[size_t(i + 1)] != name.at(start + i))
            return false;
    }
    return true;
}

// Iterative matching with backtracking to the last "*": linear for the patterns people type.
template <typename Name> bool globMatches(const std::u32string& glob, const Name& name) {
    const size_t globSize = glob.size();
    const qsizetype nameSize = name.size();
    size_t g = 0;
    qsizetype n = 0;
    size_t starGlob = std::u32string::npos;
    qsizetype starName = 0;
    while (n < nameSize) {
        if (g < globSize && glob[g] == U'*') {
            starGlob = g++;
            starName = n;
        } else if (g < globSize && (glob[g] == U'?' || glob[g] == name.at(n))) {
            ++g;
            ++n;
        } else if (starGlob != std::u32string::npos) {
            g = starGlob + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (g < globSize && glob[g] == U'*')
        ++g;
    return g == globSize;
}

bool isAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

NamePattern::NamePattern(const QString& text) {
    for (QStringView piece : QStringView(text).split(u';')) {
        piece = piece.trimmed();
        if (piece.isEmpty())
            continue;
        Glob glob;
        glob.folded = folded(piece);
        if (glob.folded == U"*" || glob.folded == U"*.*") {
            m_globs.clear();
            m_matchesAll = true;
            return;
        }
        for (char32_t c : glob.folded)
            m_isAscii = m_isAscii && c < 0x80;
        if (piece.endsWith(u".*")) {
            glob.endsInDotStar = true;
            m_anyEndsInDotStar = true;
            glob.withoutDotStar = glob.folded.substr(0, glob.folded.size() - 2);
        }
        glob.isStarThenLiteral = glob.folded.size() > 1 && glob.folded[0] == U'*' &&
                                 glob.folded.find_first_of(U"*?", 1) == std::u32string::npos;
        m_globs.push_back(std::move(glob));
    }
    m_matchesAll = m_globs.empty();
    if (m_isAscii && m_globs.size() == 1 && m_globs.front().isStarThenLiteral &&
        !m_anyEndsInDotStar) {
        const std::u32string& glob = m_globs.front().folded;
        m_asciiEnd.assign(glob.begin() + 1, glob.end()); // every character below 0x80
        m_matchesByAsciiEnd = true;
    }
}

template <typename Name> bool NamePattern::matchesFolded(const Name& name) const {
    const bool hasDot = m_anyEndsInDotStar && name.containsDot();
    for (const Glob& glob : m_globs) {
        if (glob.isStarThenLiteral ? endMatches(glob.folded, name) : globMatches(glob.folded, name))
            return true;
        if (glob.endsInDotStar && !hasDot && globMatches(glob.withoutDotStar, name))
            return true;
    }
    return false;
}

bool NamePattern::matches(QStringView name) const {
    if (m_matchesAll)
        return true;
    if (!hasSurrogates(name))
        return matchesFolded(BmpName{name});
    return matchesFolded(FoldedName{folded(name)});
}

// What matchesBytes() leaves: a character outside ASCII may fold onto an ASCII one (the Kelvin
// sign onto "k"), so only an ASCII name meets an ASCII pattern byte for byte; any other pair is
// compared decoded.
bool NamePattern::matchesOtherBytes(std::string_view name) const {
    if (m_matchesByAsciiEnd && name.size() < m_asciiEnd.size())
        return false; // fewer bytes than the literal has characters: fewer characters too
    if (m_isAscii && isAscii(name))
        return matchesFolded(AsciiName{name});
    return matches(FileNames::decode(name));
}
