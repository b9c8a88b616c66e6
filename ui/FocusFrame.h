#pragma once

// Draws a focus frame around a list's viewport while the list has the keyboard focus: the
// style alone shows it only as a change of shade.

class QAbstractScrollArea;

namespace FocusFrame {
void paint(QAbstractScrollArea* list);
} // namespace FocusFrame
