#pragma once

// A name may hold a line break (Linux allows CR and LF in file names). Wherever the program
// shows a name on one line, or writes it as one line of a file, each CR becomes U+240D "␍"
// and each LF U+240A "␊", the symbols made for showing these characters: the line stays one
// line and the break can still be seen.

#include <QString>

namespace LineBreaks {
// `text` with CR and LF in their visible form; `text` itself (not a copy) when it has none.
QString visible(const QString& text);
} // namespace LineBreaks
