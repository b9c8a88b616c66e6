#include "platform/FilePattern.h"

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

} // namespace

FilePattern::FilePattern(const QString& text) : m_text(text) {
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

bool FilePattern::matches(QStringView name) const {
    if (m_matchesAll)
        return true;
    const bool hasDot = m_anyEndsInDotStar && name.contains(u'.');
    for (const Glob& glob : m_globs) {
        if (glob.isStarThenLiteral ? endMatches(glob.folded, name) : globMatches(glob.folded, name))
            return true;
        if (glob.endsInDotStar && !hasDot && globMatches(glob.withoutDotStar, name))
            return true;
    }
    return false;
}

// The name ends in the glob's literal after its leading "*".
bool FilePattern::endMatches(const std::u16string& glob, QStringView name) {
    const qsizetype literal = qsizetype(glob.size()) - 1;
    if (name.size() < literal)
        return false;
    const qsizetype start = name.size() - literal;
    for (qsizetype i = 0; i < literal; ++i) {
        if (glob[size_t(i + 1)] != fold(name[start + i].unicode()))
            return false;
    }
    return true;
}

// Iterative matching with backtracking to the last "*": linear for the patterns people type.
bool FilePattern::globMatches(const std::u16string& glob, QStringView name) {
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
        } else if (g < globSize && (glob[g] == u'?' || glob[g] == fold(name[n].unicode()))) {
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
