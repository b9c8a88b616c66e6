#include "platform/Label.h"

#include <QPainter>
#include <QTimer>

namespace {
// A caption that changes for every found entry is repainted at most this often.
constexpr int RepaintMs = 40;
} // namespace

Label::Label(QWidget* container) : QWidget(container) {}

void Label::setCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    if (m_repaintPending)
        return;
    m_repaintPending = true;
    QTimer::singleShot(RepaintMs, this, [this] {
        m_repaintPending = false;
        update();
    });
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
