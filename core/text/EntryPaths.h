#pragma once

// What a found entry names, and how it is handed to other programs. An entry names a file or a
// folder only when it was listed with its full path and, for a file, with its extension: a name
// alone, a path below the start folder, or a path cut short of its extension is text to read,
// never handed to a file manager or an opener as the name of anything.
//
// Paths go out as file URIs built from the name's own bytes, so that a name that is not UTF-8
// reaches the file manager or the drop target unchanged. Text goes out one entry a line, as the
// list shows it.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QMimeData;
struct SearchOptions;

namespace EntryPaths {

enum class Kind {
    Text,   // a name, a path below the start folder, or a path without its extension
    File,   // the full path of a file
    Folder, // the full path of a folder
};

Kind kindOf(const SearchOptions& options);

// The folder that holds `path`: "/" for the root and for what lies right below it.
QString containingFolder(const QString& path);

// "file://" and the path's bytes, each percent-encoded but "/" and the unreserved characters.
QByteArray fileUri(const QString& path);
// text/uri-list: one URI a line, each line ended by CR LF.
QByteArray uriList(const QStringList& paths);

// The entries one a line, as the list shows them: a line break in a name in its visible form,
// a byte that is not UTF-8 as U+FFFD, the replacement character (text has no way to hold it).
QString text(const QStringList& entries);

// What a copy or a drag of the entries carries: the text, and for paths text/uri-list too.
// The caller owns it.
QMimeData* mimeData(const QStringList& entries, Kind kind);

} // namespace EntryPaths
