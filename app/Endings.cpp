#include "app/Endings.h"

#include "core/EndSignals.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QSessionManager>

void followEndings(MainWindow& window) {
    RunControl* control = &window.control();
    auto* caught = new EndSignals(&window);
    QObject::connect(caught, &EndSignals::received, control, &RunControl::leave);
    // Qt does not tell a logout from a checkpoint: a checkpoint must not end the program.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, control, &RunControl::keepFolder);
}
