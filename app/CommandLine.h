#pragma once

// What the program was asked on its command line: a folder to open, or --help / --version,
// which are answered on standard output in Swedish, as the window speaks.

#include <QString>
#include <QStringList>

struct CommandLine {
    QString folder;
    QString answer; // printed instead of starting the window, when not empty
    int exitCode = 0;

    static CommandLine parse(const QStringList& arguments);
};
