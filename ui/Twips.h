#pragma once

// Geometry is designed in twips, 15 to a pixel at 96 dots per inch.

#include <QRect>

namespace Twips {
constexpr int PerPixel = 15;
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
} // namespace Twips
