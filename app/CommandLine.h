#pragma once

// What the program was asked on its command line, read from the bytes the system handed it: a
// folder to open (its name byte for byte, as any file name), --help or --version, which are
// answered on standard output in Swedish, as the window speaks, and Qt's own options
// (-style Fusion, -platform xcb, -display :1, ...), which go to QApplication untouched. "--"
// ends the options: what follows is a folder, whatever it begins with. Anything else that
// begins with "-", and a second folder, is refused on standard error with exit status 2.

#include <QByteArray>
#include <QList>
#include <QString>

struct CommandLine {
    QString folder;    // absolute and cleaned; empty when none was given
    QString answer;    // --help or --version: printed instead of starting the window
    QString complaint; // a command line that cannot be followed: printed on standard error
    int exitCode = 0;
    QList<QByteArray> toolkitOptions; // Qt's own options, each with its value

    static CommandLine parse(const QList<QByteArray>& arguments);
};
