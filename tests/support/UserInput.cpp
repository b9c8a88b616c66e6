#include "support/UserInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace UserInput {

void clickAt(QWidget* window, QPoint spot, Qt::KeyboardModifiers modifiers) {
    QWidget* target = window->childAt(spot);
    if (!target)
        target = window;
    QTest::mouseClick(target, Qt::LeftButton, modifiers, target->mapFrom(window, spot));
}

QPoint spotOf(QWidget* window, const QString& controlName) {
    auto* control = window->findChild<QWidget*>(controlName);
    if (!control)
        qFatal("no control named %s", qPrintable(controlName));
    return control->mapTo(window, control->rect().center());
}

QWidget* click(QWidget* window, const QString& controlName, Qt::KeyboardModifiers modifiers) {
    const QPoint spot = spotOf(window, controlName);
    QWidget* target = window->childAt(spot);
    clickAt(window, spot, modifiers);
    return target;
}

void doubleClickAt(QWidget* window, QPoint spot) {
    QWidget* target = window->childAt(spot);
    if (!target)
        target = window;
    const QPoint local = target->mapFrom(window, spot);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
}

void rightClickAt(QWidget* window, QPoint spot) {
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier, spot);
}

void key(QWidget* window, int key, Qt::KeyboardModifiers modifiers) {
    // An access key goes through the window system, as a pressed key does, so that the
    // window's shortcuts see it.
    if (modifiers & Qt::AltModifier && window->windowHandle()) {
        QTest::keyClick(window->windowHandle(), Qt::Key(key), modifiers);
        QApplication::processEvents(); // delivered by now, as any other key
        return;
    }
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != window)
        target = window;
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

void type(QWidget* window, const QString& text) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClicks(target, text);
}

void answerNextMessage(Message* seen, int key, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (!box)
            return;
        if (seen) {
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            for (QAbstractButton* button : box->buttons())
                seen->buttons.append(button->text());
            seen->width = box->width();
        }
        QTest::keyClick(box, Qt::Key(key));
    });
    timer->start();
}

void actOnNextModal(const std::function<void(QWidget*)>& act, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((!modal || !modal->isVisible()) && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (modal)
            act(modal);
    });
    timer->start();
}

void chooseInNextMenu(const QString& item, Menu* seen, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!(menu && menu->isVisible()) && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (!menu)
            return;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            if (seen) {
                seen->items.append(action->text());
                if (action->isEnabled())
                    seen->enabled.append(action->text());
            }
            if (action->text() == item && action->isEnabled())
                chosen = action;
        }
        if (chosen)
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                              menu->actionGeometry(chosen).center());
        else
            QTest::keyClick(menu, Qt::Key_Escape);
    });
    timer->start();
}

MessageWatch::MessageWatch() : m_timer(std::make_unique<QTimer>()) {
    m_timer->setInterval(10);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts.append(box->text());
            QTest::keyClick(box, Qt::Key_Escape);
            if (box->isVisible()) // a box that Esc does not close
                box->reject();
        }
    });
    m_timer->start();
}

MessageWatch::~MessageWatch() = default;

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace UserInput
