#pragma once

// A desktop for the tests: message boxes are recorded and answered without showing anything,
// what would have been opened is recorded, and an ending of the program is counted instead
// of leaving the test process.

#include "platform/Desktop.h"
#include "platform/RuntimeError.h"

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class FakeDesktop : public Desktop {
public:
    struct Box {
        QString prompt;
        int style;
        QString title;
    };
    struct Opened {
        QString file;
        QString workingFolder;
    };

    FakeDesktop() { Desktop::install(this); }
    ~FakeDesktop() override { Desktop::install(nullptr); }

    int messageBox(const QString& prompt, int style, const QString& title) override;
    void shellOpen(const QString& file, const QString& workingFolder) override;
    void endProgram() override { ++ends; }

    std::vector<Box> boxes;
    std::vector<Opened> opened;
    int ends = 0;
    // Answers for Yes/No boxes, taken in order; No when none is left.
    std::deque<int> answers;
    // An error that opening a file raises on the way, when set.
    std::optional<RuntimeError> openFails;
    // Runs while a box is "open", as the user could act then; may be empty.
    std::function<void(const Box&)> whileOpen;
};
