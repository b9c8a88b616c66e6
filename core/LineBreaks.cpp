#include "core/LineBreaks.h"

namespace LineBreaks {

QString visible(const QString& text) {
    if (!text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString shown = text;
    shown.replace(u'\r', QChar(0x240D));
    shown.replace(u'\n', QChar(0x240A));
    return shown;
}

} // namespace LineBreaks
