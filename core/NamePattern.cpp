#include "core/NamePattern.h"

#include "core/FileNames.h"

#include <QList>

namespace {

inline char16_t fold(char16_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? char16_t(c + ('a' - 'A')) : c;
    return QChar::toCaseFolded(c);
}

std::u16string folded(QStringView text) {
    std::u16string out;
    out.reserve(size_t(text.size()));
    for (QChar c : text)
        out.push_back(fold(c.unicode()));
    return out;
}

// A name seen through the case folding, as UTF-16 or as ASCII bytes.
struct Utf16Name {
    QStringView text;
    qsizetype size() const { return text.size(); }
    char16_t at(qsizetype i) const { return fold(text[i].unicode()); }
    bool containsDot() const { return text.contains(u'.'); }
};
struct AsciiName {
    std::string_view bytes;
    qsizetype size() const { return qsizetype(bytes.size()); }
    char16_t at(qsizetype i) const {
        return fold(char16_t(static_cast<unsigned char>(bytes[size_t(i)])));
    }
    bool containsDot() const { return bytes.find('.') != std::string_view::npos; }
};

// The name ends in the glob's literal after its leading "*".
template <typename Name> bool endMatches(const std::u16string& glob, const Name& name) {
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
template <typename Name> bool globMatches(const std::u16string& glob, const Name& name) {
    const size_t globSize = glob.size();
    const qsizetype nameSize = name.size();
    size_t g = 0;
    qsizetype n = 0;
    size_t starGlob = std::u16string::npos;
    qsizetype starName = 0;
    while (n < nameSize) {
        if (g < globSize && glob[g] == u'*') {
            starGlob = g++;
            starName = n;
        } else if (g < globSize && (glob[g] == u'?' || glob[g] == name.at(n))) {
            ++g;
            ++n;
        } else if (starGlob != std::u16string::npos) {
            g = starGlob + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (g < globSize && glob[g] == u'*')
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
        if (glob.folded == u"*" || glob.folded == u"*.*") {
            m_globs.clear();
            m_matchesAll = true;
            return;
        }
        for (char16_t c : glob.folded)
            m_isAscii = m_isAscii && c < 0x80;
        if (piece.endsWith(u".*")) {
            glob.endsInDotStar = true;
            m_anyEndsInDotStar = true;
            glob.withoutDotStar = glob.folded.substr(0, glob.folded.size() - 2);
        }
        glob.isStarThenLiteral = glob.folded.size() > 1 && glob.folded[0] == u'*' &&
                                 glob.folded.find_first_of(u"*?", 1) == std::u16string::npos;
        m_globs.push_back(std::move(glob));
    }
    m_matchesAll = m_globs.empty();
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
    return m_matchesAll || matchesFolded(Utf16Name{name});
}

// A character outside ASCII may fold onto an ASCII one (the Kelvin sign onto "k"), so only
// an ASCII name meets an ASCII pattern byte for byte; any other pair is compared decoded.
bool NamePattern::matchesBytes(std::string_view name) const {
    if (m_matchesAll)
        return true;
    // "*.ext", the common case: only the name's end is compared. A multi-byte character is
    // made of bytes outside ASCII only, so an ASCII end is the decoded name's end too.
    if (m_isAscii && m_globs.size() == 1 && m_globs.front().isStarThenLiteral &&
        !m_anyEndsInDotStar) {
        const std::u16string& glob = m_globs.front().folded;
        const size_t literal = glob.size() - 1;
        if (name.size() < literal)
            return false;
        const std::string_view end = name.substr(name.size() - literal);
        if (isAscii(end))
            return endMatches(glob, AsciiName{end});
    }
    if (m_isAscii && isAscii(name))
        return matchesFolded(AsciiName{name});
    return matches(FileNames::decode(name));
}
