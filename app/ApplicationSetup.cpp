#include "app/ApplicationSetup.h"

#include "ui/Fonts.h"
#include "ui/NeverMinimized.h"

#include <QApplication>

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("Trovan"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));
    Fonts::installSubstitutes();
    QApplication::setFont(Fonts::sansSerif(8.25)); // message boxes too
    NeverMinimized::install(*qApp);
}
