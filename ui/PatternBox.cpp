#include "ui/PatternBox.h"

#include "ui/FocusFrame.h"

#include <QFocusEvent>

void PatternBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    m_enteredByClick = event->reason() == Qt::MouseFocusReason;
    selectAll();
}

// The press that gives the box the focus would place the cursor and drop the selection.
void PatternBox::mousePressEvent(QMouseEvent* event) {
    if (m_enteredByClick)
        return;
    QLineEdit::mousePressEvent(event);
}

void PatternBox::mouseReleaseEvent(QMouseEvent* event) {
    if (m_enteredByClick) {
        m_enteredByClick = false;
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void PatternBox::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    FocusFrame::paint(this);
}
