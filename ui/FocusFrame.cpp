#include "ui/FocusFrame.h"

#include <QAbstractScrollArea>
#include <QPainter>

namespace FocusFrame {

// Solid, two pixels wide and in the highlight colour, inside the viewport's edge: a dotted
// line or a change of shade is easily taken for the list's own border.
void paint(QAbstractScrollArea* list) {
    if (!list->hasFocus())
        return;
    constexpr int Width = 2;
    QWidget* viewport = list->viewport();
    const QColor colour = list->palette().color(QPalette::Active, QPalette::Highlight);
    const int w = viewport->width();
    const int h = viewport->height();
    QPainter painter(viewport);
    painter.fillRect(0, 0, w, Width, colour);
    painter.fillRect(0, h - Width, w, Width, colour);
    painter.fillRect(0, 0, Width, h, colour);
    painter.fillRect(w - Width, 0, Width, h, colour);
}

} // namespace FocusFrame
