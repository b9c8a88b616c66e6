#include "app/ApplicationSetup.h"
#include "app/CommandLine.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (!commandLine.answer.isEmpty()) {
        std::fputs(commandLine.answer.toLocal8Bit().constData(), stdout);
        return commandLine.exitCode;
    }

    int status = 0;
    {
        QApplication application(argc, argv);
        setUpApplication();
        MainWindow window;
        window.load(commandLine.folder);
        window.show();
        status = application.exec();
        // Leaving took every window from the screen; closing the display here makes sure.
    }
    // A search or a folder read may still be held in the file system (a network share that
    // stopped answering): end here without waiting for those threads.
    std::fflush(nullptr);
    _exit(status);
}
