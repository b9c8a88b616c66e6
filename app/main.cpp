#include "app/Trovan.h"

#include "platform/Fonts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trovan"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));
    Fonts::installSubstitutes();
    QApplication::setFont(Fonts::sansSerif(8.25));

    Trovan window;
    window.Form_Load();
    window.show();
    return application.exec();
}
