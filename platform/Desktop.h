#pragma once

// The desktop services the program calls: message boxes, opening a file in its associated
// program, ending the program at once. The program uses the system's own (SystemDesktop); the
// tests install one that answers message boxes and records what would have been opened or
// ended, without leaving the test process.

#include <QString>

namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int YesNoQuestion = 36; // Yes and No, question icon; Yes is the default
constexpr int Exclamation = 48;   // OK, exclamation icon
} // namespace MsgBoxStyle

namespace MsgBoxResult {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgBoxResult

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box; an empty title shows the program's name. Returns the button pressed.
    virtual int messageBox(const QString& prompt, int style, const QString& title) = 0;
    // Opens `file` in its associated program, started in `workingFolder`; the result is not known.
    virtual void shellOpen(const QString& file, const QString& workingFolder) = 0;
    // Ends the program at once: nothing after it runs.
    virtual void endProgram() = 0;

    static Desktop& current();
    // Installs another desktop (not owned); nullptr returns to the system's.
    static void install(Desktop* desktop);
};

// The calls as the program's handlers write them.
int MsgBox(const QString& prompt, int style = MsgBoxStyle::OkOnly, const QString& title = {});
void ShellExecute(const QString& file, const QString& workingFolder);
void End();
