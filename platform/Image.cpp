#include "platform/Image.h"

#include <QPainter>

Image::Image(QWidget* container) : QWidget(container) {}

void Image::setPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void Image::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}
