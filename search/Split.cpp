// Cutting a text at a separator.

#include "app/Trovan.h"

// Unlike a general-purpose splitter, an empty text gives one empty element and a separator at
// the very end gives no empty last element. An empty separator gives the whole text.
QStringList Trovan::Split(const QString& aText, const QString& vSrch) {
    QStringList elements{QString()};
    if (vSrch.isEmpty()) {
        elements[0] = aText;
        return elements;
    }
    QString rest = aText;
    qsizetype index = 0;
    qsizetype position = rest.indexOf(vSrch);
    while (position >= 0) {
        if (index >= elements.size())
            elements.append(QString());
        elements[index] = rest.left(position);
        rest = rest.mid(position + vSrch.size());
        position = rest.indexOf(vSrch);
        ++index;
    }
    if (!rest.isEmpty()) {
        if (index >= elements.size())
            elements.append(QString());
        elements[index] = rest;
    }
    return elements;
}
