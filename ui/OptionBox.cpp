#include "ui/OptionBox.h"

#include "ui/FocusFrame.h"

#include <QStyleOptionButton>

void OptionBox::paintEvent(QPaintEvent* event) {
    QCheckBox::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect text = style()->subElementRect(QStyle::SE_CheckBoxFocusRect, &option, this);
    FocusFrame::paint(this, this, text.adjusted(-2, -2, 2, 2));
}
