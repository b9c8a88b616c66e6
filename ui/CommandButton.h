#pragma once

// A command button that acts the moment its access key is pressed, as it does for Enter. A
// plain button waits for its press animation to end, so that an Esc typed right after Alt+S
// reached the window before the search had begun, and was lost. Its focus shows as a frame
// (FocusFrame).

#include <QPushButton>

class CommandButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
