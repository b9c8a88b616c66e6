#pragma once

// Cuts a text at every occurrence of a separator. Unlike QString::split, an empty text gives
// one empty element and a separator at the very end gives no empty last element, so the last
// element is always the text's last meaningful piece (a path's last name, a name's extension).
// An empty separator gives the whole text as the one element.

#include <QStringList>

QStringList splitText(const QString& text, const QString& separator = QStringLiteral(" "));
