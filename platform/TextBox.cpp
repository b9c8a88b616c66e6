#include "platform/TextBox.h"

#include "platform/Events.h"

TextBox::TextBox(QWidget* container) : QLineEdit(container) {
    connect(this, &QLineEdit::textChanged, this, [this] { Events::raise(onChange); });
}

int TextBox::SelStart() const {
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TextBox::setSelStart(int start) {
    deselect();
    setCursorPosition(start);
}

void TextBox::setSelLength(int length) {
    setSelection(SelStart(), length);
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    Events::raise(onGotFocus);
}
