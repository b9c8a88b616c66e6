#pragma once

// A failure the program reports to the user: a number, as the error messages show it, and a
// Swedish text that says what went wrong, followed by the path it concerns. Built from the
// system's own errno, so that a full disk says the disk is full and a missing folder that it
// is missing.

#include <QString>

struct SystemError {
    int number = 0;
    QString description;

    static SystemError fromErrno(int errnoValue, const QString& path = {});
    // The same for a file that was to be opened: a missing one is a missing file.
    static SystemError forFile(int errnoValue, const QString& path);
    // A link that is not followed: another user's, in a folder not theirs.
    static SystemError foreignLink(const QString& link);
};
