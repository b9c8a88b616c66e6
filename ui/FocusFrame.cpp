#include "ui/FocusFrame.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <cmath>

namespace {

// Relative luminance and contrast ratio as WCAG 2 defines them.
double luminance(const QColor& colour) {
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

namespace FocusFrame {

// A dotted line or a change of shade is easily taken for the control's own border.
void paint(QWidget* owner, QWidget* surface, const QRect& area) {
    if (!owner->hasFocus())
        return;
    constexpr int Width = 2;
    const QPalette& colours = owner->palette();
    const QColor background = colours.color(QPalette::Active, surface->backgroundRole());
    QColor colour = colours.color(QPalette::Active, QPalette::Highlight);
    if (contrast(colour, background) < 3.0)
        colour = colours.color(QPalette::Active, surface->foregroundRole());
    const QRect r = area.intersected(surface->rect());
    QPainter painter(surface);
    painter.fillRect(r.left(), r.top(), r.width(), Width, colour);
    painter.fillRect(r.left(), r.bottom() - Width + 1, r.width(), Width, colour);
    painter.fillRect(r.left(), r.top(), Width, r.height(), colour);
    painter.fillRect(r.right() - Width + 1, r.top(), Width, r.height(), colour);
}

void paint(QAbstractScrollArea* list) {
    paint(list, list->viewport(), list->viewport()->rect());
}

void paint(QWidget* control) {
    paint(control, control, control->rect());
}

} // namespace FocusFrame
