#include "core/text/TextSplit.h"

QStringList splitText(const QString& text, const QString& separator) {
    if (separator.isEmpty())
        return {text};
    QStringList elements;
    qsizetype start = 0;
    for (qsizetype at = text.indexOf(separator); at >= 0; at = text.indexOf(separator, start)) {
        elements.append(text.mid(start, at - start));
        start = at + separator.size();
    }
    if (start < text.size() || elements.isEmpty())
        elements.append(text.mid(start));
    return elements;
}
