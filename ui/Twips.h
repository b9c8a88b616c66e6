#pragma once

// Geometry is designed in twips, 15 to a pixel at 96 dots per inch.

#include <QRect>

namespace Twips {
constexpr int PerPixel = 15;

// A control's place in its container: left, top, width, height.
struct Place {
    int left, top, width, height;
};

constexpr int toPixels(int twips) {
    return (twips + PerPixel / 2) / PerPixel;
}
constexpr int fromPixels(int pixels) {
    return pixels * PerPixel;
}
inline QRect toRect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips

#include <QWidget>

namespace Twips {
inline void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toRect(left, top, width, height));
}
// A new control of `parent`, at its place.
template <typename Control> Control* placed(QWidget* parent, const Place& place) {
    auto* control = new Control(parent);
    Twips::place(control, place.left, place.top, place.width, place.height);
    return control;
}
} // namespace Twips
