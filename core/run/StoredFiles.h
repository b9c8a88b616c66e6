#pragma once

// The two files the program keeps: setup.ini, one line holding the last searched folder, and
// lista.txt, the saved result list, one entry a line. Lines end in CR LF; names are written as
// the system's own bytes, but for a CR or LF inside an entry, which lista.txt holds as "␍" or
// "␊" (LineBreaks) so that each entry stays one line.
//
// Each file is written whole or not at all: into a new file beside it, then renamed over it,
// so that a full disk or a killed program leaves the old file as it was. A link keeps pointing
// where it did: its target is replaced the same way.

#include "core/text/SystemError.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace StoredFiles {

// The folder saved in `file`: its whole first line; empty when there is none to be had.
QString readSavedFolder(const QString& file);

std::optional<SystemError> writeSavedFolder(const QString& file, const QString& folder);
std::optional<SystemError> writeList(const QString& file, const QStringList& entries);

} // namespace StoredFiles
