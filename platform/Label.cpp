#include "platform/Label.h"

#include <QPainter>

Label::Label(QWidget* container) : QWidget(container) {}

void Label::setCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void Label::setBackColor(const QColor& color) {
    m_backColor = color;
    update();
}

void Label::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

QSize Label::sizeHint() const {
    return fontMetrics().size(Qt::TextShowMnemonic, m_caption);
}

void Label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_backColor.isValid())
        painter.fillRect(rect(), m_backColor);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(rect(), int(m_alignment) | Qt::TextShowMnemonic | Qt::TextSingleLine,
                     m_caption);
}
