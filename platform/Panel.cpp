#include "platform/Panel.h"

#include "platform/Twips.h"

Panel::Panel(QWidget* container) : QWidget(container) {
    setAutoFillBackground(true);
}

void Panel::Move(int leftTwips, int topTwips) {
    move(Twips::toPixels(leftTwips), Twips::toPixels(topTwips));
}

int Panel::Width() const {
    return Twips::fromPixels(width());
}

void Panel::setWidth(int widthTwips) {
    resize(Twips::toPixels(widthTwips), height());
}

QColor Panel::BackColor() const {
    return palette().color(QPalette::Window);
}

void Panel::setBackColor(const QColor& color) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, color);
    setPalette(colours);
}
