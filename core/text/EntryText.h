#pragma once

// The text of one result entry, in the form the search options ask for: a file's full path or
// its name alone, with or without its extension, or a folder's full path or its path below the
// start folder, led by the start folder's own name.

#include "core/text/SearchOptions.h"

#include <QString>

namespace EntryText {

// The start folder's own name: its path's last element ("" for the root).
QString startFolderName(const QString& startFolder);

// What stands before a file's name in a full-path entry: the folder and one separator.
QString filePrefix(const QString& folder);

QString fileEntry(const SearchOptions& options, const QString& prefix, const QString& fileName);
QString folderEntry(const SearchOptions& options, const QString& startName, const QString& folder);

} // namespace EntryText
