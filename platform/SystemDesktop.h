#pragma once

// The system's desktop: real modal message boxes with Swedish buttons, the desktop's opener
// (xdg-open) started detached, and an immediate end of the process.

#include "platform/Desktop.h"

class SystemDesktop : public Desktop {
public:
    int messageBox(const QString& prompt, int style, const QString& title) override;
    void shellOpen(const QString& file, const QString& workingFolder) override;
    [[noreturn]] void endProgram() override;
};
