#include "core/text/LineBreaks.h"

#include <algorithm>

namespace LineBreaks {

QString visible(const QString& text) {
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text; // shared, not copied: almost every name
    QString shown = text;
    for (QChar& c : shown) {
        if (c == u'\r')
            c = QChar(0x240D);
        else if (c == u'\n')
            c = QChar(0x240A);
    }
    return shown;
}

} // namespace LineBreaks
