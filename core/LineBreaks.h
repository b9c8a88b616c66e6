#pragma once

// A name may hold a line break; a list shows and a saved list writes each entry on one line.
// Inside an entry, CR is written as U+240D (␍) and LF as U+240A (␊): visible, the same form
// everywhere, and never taken for a line of its own.

#include <QString>

namespace LineBreaks {
QString visible(const QString& text);
} // namespace LineBreaks
