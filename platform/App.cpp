#include "platform/App.h"

#include <QApplication>
#include <QCursor>

namespace {
QString testingPath;
int pointer = Screen::DefaultPointer;
} // namespace

namespace App {

QString Path() {
    return testingPath.isEmpty() ? QCoreApplication::applicationDirPath() : testingPath;
}

void setPathForTesting(const QString& folder) {
    testingPath = folder;
}

int Major() {
    return TROVAN_VERSION_MAJOR;
}
int Minor() {
    return TROVAN_VERSION_MINOR;
}

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace App

namespace Screen {

int MousePointer() {
    return pointer;
}

void setMousePointer(int newPointer) {
    if (newPointer == pointer)
        return;
    if (pointer != DefaultPointer)
        QApplication::restoreOverrideCursor();
    if (newPointer == BusyPointer)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    pointer = newPointer;
}

} // namespace Screen
