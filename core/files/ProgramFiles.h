#pragma once

// Where the program keeps setup.ini and lista.txt: beside itself when it lives in a folder of
// its own that the user can write (an install under ~/.local, or a copy in any folder), and
// otherwise, as for an install in /usr, in the user's own folder for it,
// $XDG_DATA_HOME/trovan (~/.local/share/trovan), made when first asked for.

#include <QString>

namespace ProgramFiles {

QString folder();
// A file in that folder: the folder, one separator and the name.
QString path(const QString& name);

// Decides for a program in `programFolder`; folder() asks with the running program's own.
QString folderFor(const QString& programFolder);

// Where the listings searches read are kept between runs: $XDG_CACHE_HOME/trovan
// (~/.cache/trovan). Only named here; the keeper makes the folder when it first writes.
QString keptListingsFile();

} // namespace ProgramFiles
