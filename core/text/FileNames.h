#pragma once

// File names on Linux are bytes. The program holds them as QString; a byte that is not part of
// valid UTF-8 is kept as a lone surrogate (U+DC80 to U+DCFF), so that every name round-trips
// exactly: a folder whose name is not valid UTF-8 can still be listed, entered and saved.

#include <QByteArray>
#include <QString>
#include <string_view>

namespace FileNames {
QString decode(std::string_view bytes);
QByteArray encode(const QString& name);
} // namespace FileNames
