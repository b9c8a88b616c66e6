#pragma once

// Drives a window as a person does: clicks sent to the window at the spot where a control is
// drawn, so that whatever lies on top there takes them, keys sent to the focused widget, and
// message boxes read and answered as they come up.

#include <QPoint>
#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

namespace UserInput {

// Clicks the window at `spot` (window coordinates): the press goes to the widget drawn there.
void clickAt(QWidget* window, QPoint spot, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Clicks the middle of the named control's visible place; returns the widget that took it.
QWidget* click(QWidget* window, const QString& controlName,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void doubleClickAt(QWidget* window, QPoint spot);
// A right click at `spot` through the window system, as a mouse gives it: the press also asks
// the widget there for its context menu.
void rightClickAt(QWidget* window, QPoint spot);
// The middle of a control's place, in window coordinates.
QPoint spotOf(QWidget* window, const QString& controlName);
// A key pressed and released on whatever has the focus (or the window, if nothing has).
void key(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void type(QWidget* window, const QString& text);

struct Message {
    QString title;
    QString text;
    int icon = 0; // QMessageBox::Icon
    QStringList buttons;
    int width = 0; // of the box as shown
};
// Answers the next message box that comes up within `timeoutMs` with `key` and records it.
// Returns at once; the answer is given from the event loop while the box is up.
void answerNextMessage(Message* seen, int key = Qt::Key_Return, int timeoutMs = 10000);
// Calls `act` with the next modal window (a dialog) that comes up within `timeoutMs`, from the
// event loop while it is up. Returns at once.
void actOnNextModal(const std::function<void(QWidget*)>& act, int timeoutMs = 10000);
// A context menu as it came up: its items' texts in order, and those that could be chosen.
struct Menu {
    QStringList items;
    QStringList enabled;
};
// Clicks `item` in the next context menu that comes up within `timeoutMs`, or closes the menu
// with Esc when `item` is empty or cannot be chosen, and records the menu. Returns at once.
void chooseInNextMenu(const QString& item, Menu* seen = nullptr, int timeoutMs = 10000);
// Records and closes with Esc every message box that comes up while it lives: one that no case
// expects then fails the case instead of holding it up.
class MessageWatch {
public:
    MessageWatch();
    ~MessageWatch();
    QStringList texts; // of the boxes seen, in order

private:
    std::unique_ptr<QTimer> m_timer;
};
// Runs the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace UserInput
