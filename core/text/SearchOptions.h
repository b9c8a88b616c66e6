#pragma once

// What one search looks for: read from the window once, when the search starts, and never
// changed while it runs.

#include <QString>

struct SearchOptions {
    QString startFolder;
    QString pattern = QStringLiteral("*.*");
    bool includeSubfolders = false;
    bool listFolders = false; // one entry per folder holding a match, instead of per file
    bool fullPaths = true;
    bool keepExtensions = true;
};
