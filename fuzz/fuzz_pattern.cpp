// Fuzzes the file-name pattern matcher against a plain dynamic-programming matcher written from
// the pattern rules: the input's first line is the pattern, the rest the name's bytes. The name
// is matched both decoded (matches) and as the system's bytes (matchesBytes): both must give
// the reference's answer. Names also go through the file-name decoding, which must give back
// the very same bytes.

#include "core/text/FileNames.h"
#include "core/text/NamePattern.h"

#include <QList>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// One Unicode character each, case-folded: a surrogate pair is one, a lone surrogate (a byte
// that is not UTF-8) one of its own.
std::u32string characters(QStringView text) {
    std::u32string out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.push_back(QChar::toCaseFolded(c));
    }
    return out;
}

// "*" any run, "?" one character, case-insensitive; a table over every pair of prefixes.
bool globMatches(QStringView globText, QStringView nameText) {
    const std::u32string glob = characters(globText);
    const std::u32string name = characters(nameText);
    const size_t g = glob.size();
    const size_t n = name.size();
    std::vector<char> row(n + 1, 0), next(n + 1, 0);
    row[0] = 1;
    for (size_t i = 0; i < g; ++i) {
        std::fill(next.begin(), next.end(), 0);
        const char32_t p = glob[i];
        if (p == U'*') {
            char any = 0;
            for (size_t j = 0; j <= n; ++j) {
                any = any || row[j];
                next[j] = any;
            }
        } else {
            for (size_t j = 1; j <= n; ++j)
                next[j] = row[j - 1] && (p == U'?' || p == name[j - 1]);
        }
        row.swap(next);
    }
    return row[n] != 0;
}

bool expectedMatch(const QString& pattern, const QString& name) {
    QList<QStringView> globs;
    for (QStringView piece : QStringView(pattern).split(u';')) {
        piece = piece.trimmed();
        if (piece.isEmpty())
            continue;
        if (piece == u"*" || piece == u"*.*")
            return true;
        globs.append(piece);
    }
    if (globs.isEmpty())
        return true;
    for (QStringView glob : globs) {
        if (globMatches(glob, name))
            return true;
        if (glob.endsWith(u".*") && !name.contains(u'.') && globMatches(glob.chopped(2), name))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t lineEnd = bytes.find('\n');
    const std::string_view patternBytes = bytes.substr(0, lineEnd);
    const std::string_view nameBytes =
        lineEnd == std::string_view::npos ? std::string_view() : bytes.substr(lineEnd + 1);

    const QString name = FileNames::decode(nameBytes);
    const QByteArray again = FileNames::encode(name);
    if (std::string_view(again.constData(), size_t(again.size())) != nameBytes)
        std::abort();

    const QString patternText = FileNames::decode(patternBytes);
    const NamePattern pattern(patternText);
    const bool expected = expectedMatch(patternText, name);
    if (pattern.matches(name) != expected)
        std::abort();
    if (pattern.matchesBytes(nameBytes) != expected)
        std::abort();
    return 0;
}
