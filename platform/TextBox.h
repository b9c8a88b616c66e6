#pragma once

// A single-line text box: Text, SelStart, SelLength, and the change and got-focus events.

#include <QLineEdit>
#include <functional>

class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* container);

    QString Text() const { return text(); }
    void setTextValue(const QString& value) { setText(value); }
    int SelStart() const;
    void setSelStart(int start);
    int SelLength() const { return int(selectedText().size()); }
    void setSelLength(int length);

    std::function<void()> onChange;
    std::function<void()> onGotFocus;

protected:
    void focusInEvent(QFocusEvent* event) override;
};
