#include "app/ApplicationSetup.h"
#include "app/Trovan.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setUpApplication();

    Trovan window;
    window.Form_Load();
    window.show();
    return application.exec();
}
