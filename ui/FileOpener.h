#pragma once

// Opens a file in the program the desktop associates with it. The program uses xdg-open; the
// tests put a recorder in its place, since a real opener would leave the test machine's
// control.

#include <QString>

class FileOpener {
public:
    virtual ~FileOpener() = default;
    virtual void open(const QString& file) = 0;
};

// Starts xdg-open detached, in the root folder, with the name as its own bytes; the program
// never waits for it and leaves no zombie behind. What the opener then does is the desktop's.
class XdgOpener : public FileOpener {
public:
    void open(const QString& file) override;
};
