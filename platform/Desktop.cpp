#include "platform/Desktop.h"

#include "platform/SystemDesktop.h"

namespace {
Desktop* installed = nullptr;
}

Desktop& Desktop::current() {
    static SystemDesktop system;
    return installed ? *installed : system;
}

void Desktop::install(Desktop* desktop) {
    installed = desktop;
}

int MsgBox(const QString& prompt, int style, const QString& title) {
    return Desktop::current().messageBox(prompt, style, title);
}

void ShellExecute(const QString& file, const QString& workingFolder) {
    Desktop::current().shellOpen(file, workingFolder);
}

void End() {
    Desktop::current().endProgram();
}
