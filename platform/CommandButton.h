#pragma once

// A command button: Caption with an access key ("&Sök"), Enabled, the default and cancel roles
// (Enter and Esc press it; the window honours them), SetFocus and the click event.

#include <QPushButton>
#include <functional>

class CommandButton : public QPushButton {
    Q_OBJECT
public:
    explicit CommandButton(QWidget* container);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }
    bool Enabled() const { return isEnabled(); }
    void setEnabled(bool enabled) { QPushButton::setEnabled(enabled); }
    bool Cancel() const { return m_cancel; }
    void setCancel(bool cancel) { m_cancel = cancel; }
    void SetFocus() { setFocus(Qt::OtherFocusReason); }

    std::function<void()> onClick;

private:
    bool m_cancel = false;
};
