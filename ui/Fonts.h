#pragma once

// The designed fonts, "MS Sans Serif" and "Arial", are not on Linux; metric-friendly fonts that
// the setup installs stand in for them. Sizes are set in pixels as at 96 dots per inch, so that
// captions fit the designed geometry whatever the display reports.

#include <QFont>

namespace Fonts {
void installSubstitutes();
QFont sansSerif(double points, bool bold = false); // "MS Sans Serif"
QFont arial(double points);
} // namespace Fonts
