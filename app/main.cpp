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

    QApplication application(argc, argv);
    setUpApplication();
    MainWindow window;
    window.load(commandLine.folder);
    window.show();
    const int status = application.exec();
    // A search or a folder read may still be blocked in the file system (a network share
    // that stopped answering): end here without waiting for those threads.
    std::fflush(nullptr);
    _exit(status);
}
