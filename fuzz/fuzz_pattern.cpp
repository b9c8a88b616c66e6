// Fuzzes the file-name pattern matcher against a plain dynamic-programming matcher written from
// the pattern rules: the input's first line is the pattern, the rest the name's bytes. The name
// is matched both decoded (matches) and as the system's bytes (matchesBytes): both must give
// the reference's answer. Names also go through the file-name decoding, which must give back
// the very same bytes.

#include "core/FileNames.h"
#include "core/NamePattern.h"

#include <QList>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

char16_t folded(QChar c) {
    return QChar::toCaseFolded(c.unicode());
}

// "*" any run, "?" one character, case-insensitive; a table over every pair of prefixes.
bool globMatches(QStringView glob, QStringView name) {
    const qsizetype g = glob.size();
    const qsizetype n = name.size();
    std::vector<char> row(size_t(n + 1), 0), next(size_t(n + 1), 0);
    row[0] = 1;
    for (qsizetype i = 0; i < g; ++i) {
        std::fill(next.begin(), next.end(), 0);
        const QChar p = glob[i];
        if (p == u'*') {
            char any = 0;
            for (qsizetype j = 0; j <= n; ++j) {
                any = any || row[size_t(j)];
                next[size_t(j)] = any;
            }
        } else {
            for (qsizetype j = 1; j <= n; ++j)
                next[size_t(j)] =
                    row[size_t(j - 1)] && (p == u'?' || folded(p) == folded(name[j - 1]));
        }
        row.swap(next);
    }
    return row[size_t(n)] != 0;
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
