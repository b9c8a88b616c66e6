#include "app/Endings.h"

#include "core/run/EndSignals.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QSessionManager>

void followEndings(MainWindow& window) {
    RunControl* control = &window.control();
    auto* caught = new EndSignals(&window);
    QObject::connect(caught, &EndSignals::received, control, &RunControl::leave);
    // Qt does not tell a logout from a checkpoint, and a checkpoint must not end the program.
    // The manager asks for data, for state or both, as it likes: either keeps the folder.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, control, &RunControl::keepFolder);
    QObject::connect(qApp, &QGuiApplication::saveStateRequest, control, &RunControl::keepFolder);
}
