#pragma once

// A check box whose Value is 0 (clear) or 1 (set), with a click event.

#include <QCheckBox>
#include <functional>

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(QWidget* container);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }
    int Value() const { return isChecked() ? 1 : 0; }
    void setValue(int value) { setChecked(value != 0); }

    std::function<void()> onClick;
};
