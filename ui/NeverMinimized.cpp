#include "ui/NeverMinimized.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class Restorer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowStateChange || !watched->isWidgetType())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && window->isMinimized()) {
            // Once the window system has finished minimizing it.
            QTimer::singleShot(0, window, [window = QPointer<QWidget>(window)] {
                if (window && window->isMinimized())
                    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            });
        }
        return false;
    }
};

} // namespace

namespace NeverMinimized {

void install(QApplication& application) {
    application.installEventFilter(new Restorer(&application));
}

} // namespace NeverMinimized
