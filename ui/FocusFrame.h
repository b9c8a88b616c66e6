#pragma once

// Draws a focus frame on a control while it has the keyboard focus. The styles show the focus
// only as a change of shade, or not at all until a key has moved it; the program puts the
// focus on the search button itself, after the start, a search and a cancel, where it must be
// seen as well.
//
// Solid, two pixels wide, in the highlight colour where that stands out from the control's
// background by at least 3:1, else in the control's text colour.

#include <QRect>

class QAbstractScrollArea;
class QWidget;

namespace FocusFrame {
// Inside `area` of `surface`, when `owner` has the focus.
void paint(QWidget* owner, QWidget* surface, const QRect& area);
// Inside a list's viewport.
void paint(QAbstractScrollArea* list);
// Inside a control's own edge.
void paint(QWidget* control);
} // namespace FocusFrame
