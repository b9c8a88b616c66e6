#include "ui/CommandButton.h"

#include "ui/FocusFrame.h"

#include <QShortcutEvent>

bool CommandButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut && isEnabled() && isVisible() &&
        !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        click();
        return true;
    }
    return QPushButton::event(event);
}

void CommandButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    FocusFrame::paint(this);
}
