#pragma once

// A check box of the option panel whose focus shows as a frame around its text (FocusFrame):
// the style alone shows it only once a key has moved the focus.

#include <QCheckBox>

class OptionBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};
