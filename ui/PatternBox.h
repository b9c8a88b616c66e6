#pragma once

// The pattern box: entering it, by Tab or by a click, selects its whole text, so that typing
// replaces the pattern instead of adding to it. Its focus shows as a frame (FocusFrame).

#include <QLineEdit>

class PatternBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_enteredByClick = false;
};
